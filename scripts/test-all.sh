#!/usr/bin/env bash
# Installs what is missing, builds both programs and runs every test: the unit tests
# natively and under Wine, the end-to-end tests with the native program and with the
# Windows program under Wine, and the native suites once more under the sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v ninja >/dev/null || need+=(ninja-build)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -d /usr/src/googletest/googletest ] || need+=(googletest)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(mingw-w64 g++-mingw-w64-x86-64-posix)
command -v wine >/dev/null || need+=(wine64 wine)
command -v faketime >/dev/null || need+=(faketime)
if [ ${#need[@]} -gt 0 ]; then
    echo "== installing: ${need[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${need[@]}" >/dev/null
fi

export WINEDEBUG=-all
# A first Wine start creates its prefix; do it before any test is timed by ctest.
wineboot --init >/dev/null 2>&1 || true

echo "== Windows build (build-win)"
cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win -j "$jobs"

echo "== native build (build)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVAULTIX_WIN_EXE="$root/build-win/vaultix.exe" >/dev/null
cmake --build build -j "$jobs"

echo "== unit tests of the Windows build under Wine"
(cd build-win && ctest --output-on-failure -j "$jobs" < /dev/null)

echo "== native unit tests and end-to-end tests (native and Wine)"
(cd build && ctest --output-on-failure -j "$jobs" < /dev/null)

echo "== native tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVAULTIX_SANITIZE=ON \
    -DVAULTIX_WIN_EXE="" >/dev/null
cmake --build build-asan -j "$jobs"
(cd build-asan && ASAN_OPTIONS=detect_leaks=1:verify_asan_link_order=0 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$jobs" < /dev/null)

echo "== all tests passed"
