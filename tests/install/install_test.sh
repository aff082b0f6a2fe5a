#!/usr/bin/env bash
# install_test.sh BUILD: installs BUILD into a temporary prefix and builds consumer.cpp against it twice, through
# find_package(Brivondel) and, after moving the installation elsewhere, through pkg-config (so a .pc file that names
# the old folder fails); each consumer must run. The installed programs answer --version and have manual pages.
set -u
here=$(cd "$(dirname "$0")" && pwd) build=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/bv-install.XXXXXX") && trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; cat "$work/log" 2>/dev/null | tail -n 20; exit 1; }
export SDL_VIDEODRIVER=offscreen

cmake --install "$build" --prefix "$work/prefix" >"$work/log" 2>&1 || fail "cmake --install"
cmake -S "$here" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$work/prefix" >"$work/log" 2>&1 || fail "find_package(Brivondel)"
cmake --build "$work/cmake" >"$work/log" 2>&1 || fail "building through find_package"
"$work/cmake/consumer" || fail "the find_package consumer exited with $?"

# Only public headers are installed, and the library has no test entry point (the hooks live in the tests' own library).
[ "$(ls "$work/prefix/include")" = "$(printf 'brivondel.h\nbrivondel_linux.h')" ] || fail "installed headers: $(ls "$work/prefix/include")"
! nm -C "$work"/prefix/lib/libbrivondel.* 2>/dev/null | grep -q 'test::' || fail "the installed library has test entry points"

mv "$work/prefix" "$work/moved" && prefix=$work/moved
flags=$(PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --cflags --libs --static brivondel) || fail "pkg-config"
c++ -std=c++20 "$here/consumer.cpp" -o "$work/pc-consumer" $flags >"$work/log" 2>&1 || fail "building with: $flags"
LD_LIBRARY_PATH=$prefix/lib "$work/pc-consumer" || fail "the pkg-config consumer exited with $?"

for program in zarvel bv-render bv-pcx; do
  version=$("$prefix/bin/$program" --version) && [[ $version =~ ^$program\ \(Brivondel\)\ [0-9]+\.[0-9]+\.[0-9]+$ ]] ||
    fail "$program --version said '$version'"
  [ -s "$prefix/share/man/man1/$program.1" ] || fail "no manual page for $program"
done
[ -s "$prefix/share/brivondel/CUBE.PCX" ] || fail "no CUBE.PCX in share/brivondel"
echo "installed, consumed through CMake and pkg-config"
