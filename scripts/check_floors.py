#!/usr/bin/env python3
"""Fails when a source file includes a header from a floor above its own,
or reaches the sound library from outside the player.

The folders under src/ start with their floor's number (1_player,
2_screen, 3_panels, ...): a file may include headers from its own floor and
the floors below it, never from one above. Only the player's folder
(1_player) may include the sound library's header <mikmod.h>, directly or
through a header of ours. Each include that breaks a rule is printed as
"file:line: ..." and the exit status is 1.

    scripts/check_floors.py [SRC_DIR]      SRC_DIR defaults to src/
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
SYSTEM_INCLUDE = re.compile(r'^\s*#\s*include\s*<([^>]+)>')
SOUND_LIBRARY = 'mikmod.h'
PLAYER = '1_player'
FLOOR = re.compile(r'^(\d+)_')


def floor_of(path):
    """The floor of a path relative to the source folder, or None."""
    m = FLOOR.match(path.split('/')[0])
    return int(m.group(1)) if m else None


def source_files(src):
    """The sources under `src`, as paths relative to it, with their lines."""
    for folder, _, files in sorted(os.walk(src)):
        for name in sorted(files):
            if not name.endswith(('.h', '.cpp')):
                continue
            path = os.path.relpath(os.path.join(folder, name), src).replace(os.sep, '/')
            with open(os.path.join(src, path), encoding='utf-8', errors='replace') as f:
                yield path, f.read().splitlines()


def sound_library_includes(src):
    """Includes outside the player that bring in the sound library: the
    header itself, or one of ours that includes it, however deep."""
    files = dict(source_files(src))
    reaches = {}

    def reaches_library(header, seen=()):
        if header in reaches:
            return reaches[header]
        lines = files.get(header)
        found = False
        if lines is not None and header not in seen:
            for line in lines:
                system = SYSTEM_INCLUDE.match(line)
                ours = INCLUDE.match(line)
                if (system and system.group(1) == SOUND_LIBRARY) or \
                        (ours and reaches_library(ours.group(1), seen + (header,))):
                    found = True
                    break
        reaches[header] = found
        return found

    found = []
    for path, lines in files.items():
        if path.split('/')[0] == PLAYER or floor_of(path) is None:
            continue
        for number, line in enumerate(lines, 1):
            system = SYSTEM_INCLUDE.match(line)
            ours = INCLUDE.match(line)
            if system and system.group(1) == SOUND_LIBRARY:
                found.append(f'{path}:{number}: only the player includes <{SOUND_LIBRARY}>')
            elif ours and reaches_library(ours.group(1)):
                found.append(f'{path}:{number}: "{ours.group(1)}" brings in <{SOUND_LIBRARY}>, which only the player includes')
    return sorted(found)


def upward_includes(src):
    found = []
    for folder, _, files in sorted(os.walk(src)):
        for name in sorted(files):
            path = os.path.relpath(os.path.join(folder, name), src).replace(os.sep, '/')
            own = floor_of(path)
            if own is None or not name.endswith(('.h', '.cpp')):
                continue
            with open(os.path.join(src, path), encoding='utf-8', errors='replace') as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = floor_of(m.group(1))
                    if target is not None and target > own:
                        found.append(f'{path}:{number}: floor {own} includes "{m.group(1)}" from floor {target}')
    return found


def main(argv):
    src = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src')
    upward = upward_includes(src)
    library = sound_library_includes(src)
    for line in upward + library:
        print(line)
    if upward:
        print('includes go up a floor: a file may include only its own floor and those below', file=sys.stderr)
    if library:
        print('the sound library is the player\'s: nothing above it includes <mikmod.h>', file=sys.stderr)
    return 1 if upward or library else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
