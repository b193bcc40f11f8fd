#!/usr/bin/env python3
"""Fails when a source file includes a header from a floor above its own.

The folders under src/ start with their floor's number (1_player,
2_screen, 3_panels, ...): a file may include headers from its own floor and
the floors below it, never from one above. Each include that goes up is
printed as "file:line: ..." and the exit status is 1.

    scripts/check_floors.py [SRC_DIR]      SRC_DIR defaults to src/
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"')
FLOOR = re.compile(r'^(\d+)_')


def floor_of(path):
    """The floor of a path relative to the source folder, or None."""
    m = FLOOR.match(path.split('/')[0])
    return int(m.group(1)) if m else None


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
    found = upward_includes(src)
    for line in found:
        print(line)
    if found:
        print('includes go up a floor: a file may include only its own floor and those below', file=sys.stderr)
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
