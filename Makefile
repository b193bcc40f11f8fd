# Shortcuts for developers; the README's two scripts do the same from a
# fresh machine.
.PHONY: all run test bench install clean

all:
	scripts/build.sh build

run:
	./play-demo.sh

test:
	./run-tests.sh

bench: all
	python3 bench/run.py

install: all
	cmake --install build

clean:
	rm -rf build build-asan
