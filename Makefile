# Shortcuts for developers; the README's two scripts do the same from a
# fresh machine.
.PHONY: all run test bench bench-busy install deb clean

all:
	scripts/build.sh build

run:
	./play-demo.sh

test:
	./run-tests.sh

bench: all
	python3 bench/run.py
	python3 bench/render.py
	python3 bench/packs.py
	python3 bench/walk.py

# The sound beside a parallel build, and with the terminal stopped.
bench-busy: all
	python3 bench/busy.py

install: all
	cmake --install build

# A Release build without the tests, packaged and checked.
deb:
	scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
	scripts/check-deb.sh build-release

clean:
	rm -rf build build-asan build-release
