# The two commands of a fresh Debian 12 machine:
#   make run   installs what is missing, builds, and starts the application
#   make test  installs what is missing, builds from scratch and runs every test
# make package builds the Debian packages build/jqz6811_<version>_<arch>.deb (the window
# program) and build/jqz6811-cli_<version>_<arch>.deb (the command-line programs);
# make windows-zip the zip of the programs for Windows, make windows-installer their setup program.
.PHONY: run test build deps bench clean package windows-zip windows-installer

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

# The programs for Windows users (the window program where ../shared/qt6-mingw holds Qt for
# Windows): build-windows/jqz6811-<version>-windows-x86_64.zip, and their setup program
# build-windows/jqz6811-<version>-setup.exe
windows-zip windows-installer: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build --target jqz_quickinfo jqz_drawings jqz_manual -j $$(nproc)
	cmake -S . -B build-windows -G Ninja $$(scripts/windows-toolchain.sh build-windows) \
	  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE=-O1 -DJQZ_HOST_BUILD_DIR=$$PWD/build
	cmake --build build-windows --target $@ -j $$(nproc)

clean:
	rm -rf build build-asan build-tsan build-fuzz build-windows *.log
