#!/usr/bin/env python3
"""Lists the mutable variables of static storage (globals, file-scope and
function-local statics) of the player's objects, with the count at the end.

Reads the object files of a build (build/src/CMakeFiles/xqcore.dir by
default) with objdump: every object symbol in a writable data section
(.data, .bss and their thread-local kin; not .data.rel.ro, which is read
only once the program is loaded). Type information, vtables, guard
variables and the compiler's own symbols are left out; an inline variable
defined in several objects counts once.

    scripts/count_globals.py [OBJECT_DIR]
"""
import glob
import os
import re
import subprocess
import sys

WRITABLE = re.compile(r'^\.(t?bss|t?data)(\..*)?$')
LEFT_OUT = ('typeinfo', 'vtable', 'guard variable', '.hidden DW.ref.', 'DW.ref.')


def globals_of(objects):
    found = {}
    for path in sorted(glob.glob(os.path.join(objects, '**', '*.o'), recursive=True)):
        out = subprocess.run(['objdump', '-tC', path], capture_output=True, text=True, check=True).stdout
        for line in out.splitlines():
            m = re.match(r'^[0-9a-f]+ (.{7}) (\S+)\s+[0-9a-f]+\s+(.*)$', line)
            if not m:
                continue
            flags, section, name = m.groups()
            if 'O' not in flags or not WRITABLE.match(section) or section.startswith('.data.rel.ro'):
                continue
            if name.startswith(LEFT_OUT):
                continue
            where = os.path.relpath(path, objects)
            # A local symbol is its file's own; a global one (an inline
            # variable included) is one variable wherever it shows.
            key = (where, name) if flags[0] == 'l' else ('', name)
            found.setdefault(key, where)
    return sorted((where, key[1]) for key, where in found.items())


def main(argv):
    objects = argv[1] if len(argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), '..', 'build', 'src', 'CMakeFiles', 'xqcore.dir')
    rows = globals_of(objects)
    for where, name in rows:
        print(f'{where.removesuffix(".o")}: {name}')
    print(f'{len(rows)} mutable variables of static storage')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
