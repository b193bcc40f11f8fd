"""The floor check on small trees of its own."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'scripts', 'check_floors.py')


def run_on(files):
    with tempfile.TemporaryDirectory() as src:
        for path, text in files.items():
            os.makedirs(os.path.join(src, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(src, path), 'w') as f:
                f.write(text)
        return subprocess.run([sys.executable, SCRIPT, src], capture_output=True, text=True)


class CheckFloorsTest(unittest.TestCase):
    def test_down_and_level_includes_pass(self):
        result = run_on({
            '1_low/a.h': '#pragma once\n',
            '2_mid/b.h': '#include "1_low/a.h"\n#include <curses.h>\n',
            '2_mid/b.cpp': '#include "2_mid/b.h"\n#include "2_other/c.h"\n',
            '2_other/c.h': '#pragma once\n',
        })
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(result.stdout, '')

    def test_an_include_from_above_fails_with_its_file_and_line(self):
        result = run_on({
            '1_low/a.h': '#pragma once\n',
            '1_low/a.cpp': '#include "1_low/a.h"\n\n  #  include "3_top/t.h"\n',
            '3_top/t.h': '#include "1_low/a.h"\n',
        })
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, '1_low/a.cpp:3: floor 1 includes "3_top/t.h" from floor 3\n')

    def test_only_the_player_reaches_the_sound_library(self):
        result = run_on({
            '1_player/lib.h': '#pragma once\n#include <mikmod.h>\n',
            '1_player/deeper.h': '#include "1_player/lib.h"\n',
            '1_player/free.h': '#include <vector>\n',
            '1_player/a.cpp': '#include <mikmod.h>\n#include "1_player/deeper.h"\n',
            '2_screen/direct.cpp': '#include <curses.h>\n#include <mikmod.h>\n',
            '2_screen/through.h': '#include "1_player/free.h"\n#include "1_player/deeper.h"\n',
            '3_top/clean.cpp': '#include "1_player/free.h"\n',
        })
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout,
                         '2_screen/direct.cpp:2: only the player includes <mikmod.h>\n'
                         '2_screen/through.h:2: "1_player/deeper.h" brings in <mikmod.h>, which only the player includes\n')


if __name__ == '__main__':
    unittest.main()
