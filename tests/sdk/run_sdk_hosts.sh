#!/bin/sh
# The SDK as a host developer uses it: installs the build into a folder, configures and builds the
# host project of tests/sdk/host and the platform's host program (programs/host) against it with
# find_package(Vantel), and runs the test hosts under Wine: one that frees its block after
# unloading the library, one that frees it before, and a program linked against the import
# libraries.
#   run_sdk_hosts.sh <build folder> <source folder>
set -eu
build=$1 src=$2 work=$1/sdk-test
fail() { echo "sdk: $*" >&2; exit 1; }
rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "install failed"
for f in include/vantel/vantel.h lib/libVantel10.dll.a lib/libVantelFx.dll.a lib/libVantelPlatform.dll.a \
         lib/cmake/Vantel/VantelConfig.cmake lib/cmake/Vantel/VantelConfigVersion.cmake bin/Vantel10.dll \
         bin/VantelFx.dll bin/VantelPlatform.dll bin/Parlance10.dll bin/run.exe bin/host.exe bin/QORRIGHT.exe; do
  [ -f "$work/prefix/$f" ] || fail "the SDK lacks $f"
done
cmake -S "$src/tests/sdk/host" -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" -DCMAKE_PREFIX_PATH="$work/prefix" >"$work/configure.log" 2>&1 \
  || { cat "$work/configure.log"; fail "the host project does not configure"; }
cmake --build "$work/build" >"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "the host project does not build"; }
# The platform's host program builds from the installed SDK as well.
cmake -S "$src/programs/host" -B "$work/host-program" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-i686.cmake" -DCMAKE_PREFIX_PATH="$work/prefix" >"$work/host.log" 2>&1 &&
  cmake --build "$work/host-program" >>"$work/host.log" 2>&1 || { cat "$work/host.log"; fail "host.exe does not build from the SDK"; }

wine=$build/wine-run
WINEPATH=$(winepath -w "$work/prefix/bin"); export WINEPATH
dll=$(winepath -w "$work/prefix/bin/Vantel10.dll")
for order in after before; do
  mkdir -p "$work/$order/app" "$work/$order/Swap"
  cp "$work/build/sdk_host.exe" "$work/$order/app/"
  Swap=$(winepath -w "$work/$order/Swap"); export Swap
  code=0
  "$wine" "$work/$order/app/sdk_host.exe" "$order" "$dll" /install || code=$?
  [ "$code" = 0 ] || fail "the host that frees its block $order unloading the library ended with $code"
done
"$wine" "$work/build/sdk_linked.exe" || fail "the program linked against the import libraries failed ($?)"
echo "sdk: both hosts and the linked program ran"
