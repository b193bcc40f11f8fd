# Shortcuts for developers; the README's two scripts do the same from a
# fresh machine.
.PHONY: all run test bench install deb clean

all:
	scripts/build.sh build

run:
	./play-demo.sh

test:
	./run-tests.sh

bench: all
	python3 bench/run.py
	python3 bench/render.py

install: all
	cmake --install build

# A Release build without the tests, packaged and checked.
deb:
	scripts/build.sh build-release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
	scripts/check-deb.sh build-release

clean:
	rm -rf build build-asan build-release
