# The two commands of a fresh Debian 12 machine:
#   make run   installs what is missing, builds, and starts the application
#   make test  installs what is missing, builds from scratch and runs every test
# make package builds the Debian package build/jqz6811_<version>_<arch>.deb.
.PHONY: run test build deps bench clean package

deps:
	./scripts/install-deps.sh

build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build -j $$(nproc)

run: build
	./build/jqz6811

test: deps
	./scripts/test-all.sh

package: build
	cmake --build build --target package

bench: build
	./build/bench/jqz_bench
	QT_QPA_PLATFORM=offscreen ./build/bench/jqz_bench_ui

clean:
	rm -rf build build-asan build-tsan build-fuzz *.log
