"""Runs one end-to-end test file, or the part of it one pass takes:

    python3 run_e2e.py [--pass screen|sound|all] FILE

The sound pass runs only the tests marked @measures_sound, whose verdict
rests on the recorded sound; the test command runs it with nothing else
beside it. The screen pass runs the others, several files side by side.
`all` (the default) runs the whole file. Exits 0 when every test run
passed; a pass that finds no test of its kind in the file runs nothing and
passes."""

import argparse
import importlib
import os
import sys
import unittest


def marked(test):
    method = getattr(test, getattr(test, "_testMethodName", ""), None)
    return bool(getattr(method, "measures_sound", False))


def flatten(suite):
    for item in suite:
        if isinstance(item, unittest.TestSuite):
            yield from flatten(item)
        else:
            yield item


def chosen(suite, which):
    tests = list(flatten(suite))
    if which == "sound":
        return [t for t in tests if marked(t)]
    if which == "screen":
        return [t for t in tests if not marked(t)]
    return tests


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--pass", dest="which", choices=("screen", "sound", "all"), default="all")
    parser.add_argument("file")
    args = parser.parse_args(argv)
    folder, file_name = os.path.split(os.path.abspath(args.file))
    sys.path.insert(0, folder)
    module = importlib.import_module(os.path.splitext(file_name)[0])
    tests = chosen(unittest.defaultTestLoader.loadTestsFromModule(module), args.which)
    print("%s: %d test%s in the %s pass" % (args.file, len(tests), "" if len(tests) == 1 else "s", args.which),
          flush=True)
    result = unittest.TextTestRunner(verbosity=2).run(unittest.TestSuite(tests))
    return 0 if result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
