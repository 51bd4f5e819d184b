#!/usr/bin/env bash
# Installs the Debian packages for HVX's Windows build (mingw-w64, Wine) and
# builds the libraries its programs link, libzmq, TinyXML and GoogleTest, as
# static Windows libraries from Debian's own sources (Debian's patches applied)
# into a cache folder that cmake/mingw-w64-x86_64.cmake reads:
#   ${HVX_WIN_DEPS:-~/.cache/hvx-win-deps}/{include,lib,lib/pkgconfig,lib/cmake}
# Each library is rebuilt only when its source version, the cross compiler or
# this script's build steps change; otherwise the script does nothing.
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
prefix="${HVX_WIN_DEPS:-$HOME/.cache/hvx-win-deps}"
mkdir -p "$prefix"
prefix="$(cd "$prefix" && pwd)"
host=x86_64-w64-mingw32
# Raise when the build steps below change: caches built the old way are rebuilt.
recipe=1

packages=(
  g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64
  dpkg-dev cmake make googletest
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

need_update=0
# apt-get source needs deb-src entries; take them from the machine's own
# Debian mirror and suites.
if ! grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      $SUDO tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list |
      $SUDO tee /etc/apt/sources.list.d/debian-src.list >/dev/null
  fi
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "$need_update" -eq 1 ] || [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The source versions apt-get source would fetch, e.g. zeromq3_4.3.4-6.dsc.
dsc_uris() { apt-get source --print-uris -qq zeromq3 tinyxml 2>/dev/null || true; }
source_version() { sed -n "s/^'[^']*' $1_\(.*\)\.dsc .*/\1/p" <<<"$uris"; }
uris="$(dsc_uris)"
if [ -z "$uris" ]; then
  # deb-src entries present but their package lists not fetched yet.
  $SUDO apt-get update -qq
  uris="$(dsc_uris)"
fi
zmq_version="$(source_version zeromq3)"
tinyxml_version="$(source_version tinyxml)"
if [ -z "$zmq_version" ] || [ -z "$tinyxml_version" ]; then
  echo "windows-deps: no Debian source for zeromq3 or tinyxml" >&2
  exit 1
fi
gtest_version="$(dpkg-query -W -f='${Version}' googletest)"
compiler="$(dpkg-query -W -f='${Version}\n' g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev | paste -sd' ')"

stamps="$prefix/stamps"
# What a library in the cache was built from: its source version, the cross
# compiler and these build steps.
key() { echo "$1 compiler=$compiler recipe=$recipe"; }
# fresh NAME VERSION: the cache holds NAME built from VERSION as below.
fresh() { [ "$(cat "$stamps/$1" 2>/dev/null)" = "$(key "$2")" ]; }

if fresh zeromq3 "$zmq_version" && fresh tinyxml "$tinyxml_version" &&
   fresh googletest "$gtest_version"; then
  exit 0
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/hvx-win-deps.XXXXXX")"
trap 'rm -rf "$work"' EXIT
# apt downloads as the _apt user when run as root; let it write here.
if [ "$(id -u)" -eq 0 ]; then chown _apt "$work"; fi
mkdir -p "$prefix/include" "$prefix/lib/pkgconfig" "$stamps"

# Runs a command with its output in a log, shown only when it fails.
quiet() {
  "$@" >"$work/log" 2>&1 || { tail -n 40 "$work/log" >&2; echo "windows-deps: failed: $*" >&2; return 1; }
}

# fetch PACKAGE VERSION: unpacks the patched source, prints its folder.
fetch() {
  local upstream="${2#*:}"
  (cd "$work" && quiet apt-get source -q "$1=$2") || return 1
  echo "$work/$1-${upstream%-*}"
}

# CMake configure, build and install of a source tree into the cache.
cmake_build() {
  local src=$1 build=$2
  shift 2
  quiet cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DHVX_WIN_DEPS="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_BUILD_TYPE=Release "$@"
  quiet cmake --build "$build" -j2
  quiet cmake --install "$build"
}

# .pc files name their folder relative to themselves, so the cache can move.
write_pc() {
  local name=$1 version=$2 description=$3 libs=$4 cflags=$5
  cat >"$prefix/lib/pkgconfig/$name.pc" <<EOF
prefix=\${pcfiledir}/../..
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: $name
Description: $description
Version: $version
Libs: -L\${libdir} $libs
Cflags: -I\${includedir} $cflags
EOF
}

if ! fresh zeromq3 "$zmq_version"; then
  echo "windows-deps: building libzmq $zmq_version (takes minutes)" >&2
  src="$(fetch zeromq3 "$zmq_version")"
  # HVX talks tcp: no ipc:// (it would be on, as mingw has afunix.h). No libbsd
  # or libsodium: CURVE uses libzmq's own tweetnacl, so the library needs
  # nothing but Windows' own system libraries.
  cmake_build "$src" "$work/zmq-build" \
    -DBUILD_SHARED=OFF -DBUILD_STATIC=ON -DBUILD_TESTS=OFF \
    -DZMQ_WIN32_WINNT=0x0A00 -DZMQ_HAVE_IPC=OFF \
    -DWITH_LIBBSD=OFF -DWITH_LIBSODIUM=OFF -DENABLE_CURVE=ON \
    -DENABLE_DRAFTS=OFF -DWITH_DOC=OFF -DWITH_DOCS=OFF \
    -DENABLE_PRECOMPILED=OFF -DENABLE_CPACK=OFF \
    -DZEROMQ_CMAKECONFIG_INSTALL_DIR=lib/cmake/ZeroMQ
  # libzmq's own .pc lacks the Windows libraries and ZMQ_STATIC, which users of
  # the static library must define (else they look for DLL imports).
  v="${zmq_version#*:}"
  write_pc libzmq "${v%-*}" "ZeroMQ messaging library (static, Windows)" \
    "-lzmq -lws2_32 -liphlpapi -lrpcrt4" "-DZMQ_STATIC"
  key "$zmq_version" >"$stamps/zeromq3"
fi

if ! fresh tinyxml "$tinyxml_version"; then
  echo "windows-deps: building TinyXML $tinyxml_version" >&2
  src="$(fetch tinyxml "$tinyxml_version")"
  # As Debian's debian/rules: the STL interface, without tinystr.
  objs=()
  for f in tinyxml tinyxmlparser tinyxmlerror; do
    quiet $host-g++-posix -O2 -DTIXML_USE_STL -c "$src/$f.cpp" -o "$work/$f.o"
    objs+=("$work/$f.o")
  done
  rm -f "$prefix/lib/libtinyxml.a"
  quiet $host-ar rcs "$prefix/lib/libtinyxml.a" "${objs[@]}"
  install -m 644 "$src/tinyxml.h" "$prefix/include/"
  v="${tinyxml_version#*:}"
  write_pc tinyxml "${v%-*}" "TinyXML parser (static, Windows)" "-ltinyxml" "-DTIXML_USE_STL"
  key "$tinyxml_version" >"$stamps/tinyxml"
fi

if ! fresh googletest "$gtest_version"; then
  echo "windows-deps: building GoogleTest $gtest_version" >&2
  # Debian's googletest package ships its patched source here. Installs
  # lib/cmake/GTest for find_package(GTest).
  cmake_build /usr/src/googletest "$work/gtest-build" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
  sed -i "s|$prefix/|\${pcfiledir}/../../|" "$prefix"/lib/pkgconfig/g{test,mock}*.pc
  key "$gtest_version" >"$stamps/googletest"
fi
