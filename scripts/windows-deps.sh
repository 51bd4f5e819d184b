#!/usr/bin/env bash
# Installs the Debian packages for HVX's Windows build (mingw-w64, Wine) and
# builds the libraries its programs link, libzmq, TinyXML, GoogleTest, CLI11,
# nlohmann-json, zlib, libpng and libtiff, as static Windows libraries (headers
# only for CLI11 and nlohmann-json) from Debian's own
# sources (Debian's patches applied) into a cache folder that
# cmake/mingw-w64-x86_64.cmake reads:
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

# Source packages built here; apt-get source needs their names.
sources=(zeromq3 tinyxml cli11 nlohmann-json3 zlib libpng1.6 tiff)
# The versions of source package $1 that apt knows, newest first.
source_versions() {
  local v i out=()
  while read -r v; do
    i=0
    while [ "$i" -lt ${#out[@]} ] && dpkg --compare-versions "${out[i]}" gt "$v"; do
      i=$((i + 1))
    done
    out=("${out[@]:0:i}" "$v" "${out[@]:i}")
  done < <(apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -u)
  if [ ${#out[@]} -gt 0 ]; then printf '%s\n' "${out[@]}"; fi
}
declare -A offered
list_sources() {
  local p
  for p in "${sources[@]}"; do offered[$p]="$(source_versions "$p" | paste -sd' ')"; done
}
# The version a library is built for: the newest on offer.
newest() { echo "${offered[$1]%% *}"; }
all_offered() {
  local p
  for p in "${sources[@]}"; do [ -n "${offered[$p]}" ] || return 1; done
}
list_sources
if ! all_offered; then
  # deb-src entries present but their package lists not fetched yet.
  $SUDO apt-get update -qq
  list_sources
fi
if ! all_offered; then
  echo "windows-deps: no Debian source for one of: ${sources[*]}" >&2
  exit 1
fi
zmq_version="$(newest zeromq3)"
tinyxml_version="$(newest tinyxml)"
cli11_version="$(newest cli11)"
json_version="$(newest nlohmann-json3)"
zlib_version="$(newest zlib)"
png_version="$(newest libpng1.6)"
tiff_version="$(newest tiff)"
gtest_version="$(dpkg-query -W -f='${Version}' googletest)"
compiler="$(dpkg-query -W -f='${Version}\n' g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev | paste -sd' ')"

stamps="$prefix/stamps"
# What a library in the cache was built for: its source version, the cross
# compiler and these build steps. The stamp's first line; a second one names
# the source version it was actually built from when that is an older one.
key() { echo "$1 compiler=$compiler recipe=$recipe"; }
# fresh NAME VERSION: the cache holds NAME built for VERSION as below.
fresh() { [ "$(head -n 1 "$stamps/$1" 2>/dev/null)" = "$(key "$2")" ]; }
# stamp NAME VERSION: records NAME as built for VERSION, from source $built.
stamp() {
  { key "$2"; if [ "$built" != "$2" ]; then echo "source $built"; fi; } >"$stamps/$1"
}

if fresh zeromq3 "$zmq_version" && fresh tinyxml "$tinyxml_version" &&
   fresh googletest "$gtest_version" && fresh cli11 "$cli11_version" &&
   fresh nlohmann-json3 "$json_version" &&
   fresh zlib "$zlib_version" && fresh libpng1.6 "$png_version" &&
   fresh tiff "$tiff_version"; then
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

# fetch PACKAGE: unpacks the patched source of the newest version on offer
# that can be downloaded, into folder $src, and sets $built to that version.
# The source of a security update is not always there to download (its binary
# packages are): then the version before it is taken, and said so.
fetch() {
  local v upstream
  for v in ${offered[$1]}; do
    if (cd "$work" && apt-get source -q "$1=$v" >"$work/log" 2>&1); then
      upstream="${v#*:}"
      src="$work/$1-${upstream%-*}"
      built="$v"
      if [ "$v" != "$(newest "$1")" ]; then
        echo "windows-deps: no source to download for $1 $(newest "$1"); building $v" >&2
      fi
      return 0
    fi
  done
  tail -n 20 "$work/log" >&2
  echo "windows-deps: could not download any source of $1 (${offered[$1]})" >&2
  return 1
}

# Version of a Debian source package without epoch, revision or repack suffix.
upstream() { local v="${1#*:}"; v="${v%-*}"; v="${v%%+*}"; echo "${v%.dfsg}"; }

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
  fetch zeromq3
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
  v="${built#*:}"
  write_pc libzmq "${v%-*}" "ZeroMQ messaging library (static, Windows)" \
    "-lzmq -lws2_32 -liphlpapi -lrpcrt4" "-DZMQ_STATIC"
  stamp zeromq3 "$zmq_version"
fi

if ! fresh tinyxml "$tinyxml_version"; then
  echo "windows-deps: building TinyXML $tinyxml_version" >&2
  fetch tinyxml
  # As Debian's debian/rules: the STL interface, without tinystr.
  objs=()
  for f in tinyxml tinyxmlparser tinyxmlerror; do
    quiet $host-g++-posix -O2 -DTIXML_USE_STL -c "$src/$f.cpp" -o "$work/$f.o"
    objs+=("$work/$f.o")
  done
  rm -f "$prefix/lib/libtinyxml.a"
  quiet $host-ar rcs "$prefix/lib/libtinyxml.a" "${objs[@]}"
  install -m 644 "$src/tinyxml.h" "$prefix/include/"
  v="${built#*:}"
  write_pc tinyxml "${v%-*}" "TinyXML parser (static, Windows)" "-ltinyxml" "-DTIXML_USE_STL"
  stamp tinyxml "$tinyxml_version"
fi

if ! fresh googletest "$gtest_version"; then
  echo "windows-deps: building GoogleTest $gtest_version" >&2
  # Debian's googletest package ships its patched source here. Installs
  # lib/cmake/GTest for find_package(GTest).
  cmake_build /usr/src/googletest "$work/gtest-build" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
  sed -i "s|$prefix/|\${pcfiledir}/../../|" "$prefix"/lib/pkgconfig/g{test,mock}*.pc
  key "$gtest_version" >"$stamps/googletest"
fi

if ! fresh cli11 "$cli11_version"; then
  echo "windows-deps: installing CLI11 $cli11_version" >&2
  fetch cli11
  # Headers only; the install adds the config for find_package(CLI11 CONFIG),
  # under lib/ like the other libraries'.
  cmake_build "$src" "$work/cli11-build" -DCMAKE_INSTALL_DATADIR=lib \
    -DBUILD_TESTING=OFF -DCLI11_BUILD_TESTS=OFF -DCLI11_BUILD_EXAMPLES=OFF \
    -DCLI11_BUILD_DOCS=OFF -DCLI11_INSTALL=ON
  sed -i "s|^prefix=$prefix\$|prefix=\${pcfiledir}/../..|" "$prefix/lib/pkgconfig/CLI11.pc"
  stamp cli11 "$cli11_version"
fi

if ! fresh nlohmann-json3 "$json_version"; then
  echo "windows-deps: installing nlohmann-json $json_version" >&2
  fetch nlohmann-json3
  # Headers only; the install adds the config for find_package(nlohmann_json
  # CONFIG), under lib/ like the other libraries'.
  cmake_build "$src" "$work/json-build" -DCMAKE_INSTALL_DATADIR=lib \
    -DJSON_BuildTests=OFF -DJSON_Install=ON
  stamp nlohmann-json3 "$json_version"
fi

if ! fresh zlib "$zlib_version"; then
  echo "windows-deps: building zlib $zlib_version" >&2
  fetch zlib
  # Debian's source leaves out upstream's win32/ makefiles; as they do, every
  # library source into libz.a with the zconf.h as shipped. Built before
  # libpng and libtiff, which find it here.
  objs=()
  for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite \
           infback inffast inflate inftrees trees uncompr zutil; do
    quiet $host-gcc-posix -O2 -c "$src/$f.c" -o "$work/z-$f.o"
    objs+=("$work/z-$f.o")
  done
  rm -f "$prefix/lib/libz.a"
  quiet $host-ar rcs "$prefix/lib/libz.a" "${objs[@]}"
  install -m 644 "$src/zlib.h" "$src/zconf.h" "$prefix/include/"
  write_pc zlib "$(upstream "$built")" "zlib compression library (static, Windows)" "-lz" ""
  stamp zlib "$zlib_version"
fi

if ! fresh libpng1.6 "$png_version"; then
  echo "windows-deps: building libpng $png_version" >&2
  fetch libpng1.6
  # The static library alone (libpng16.a, and libpng.a linking to it): no
  # programs, tests, man pages or libpng-config.
  cmake_build "$src" "$work/png-build" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_EXECUTABLES=OFF -DPNG_TESTS=OFF \
    -DSKIP_INSTALL_EXECUTABLES=ON -DSKIP_INSTALL_PROGRAMS=ON \
    -DSKIP_INSTALL_FILES=ON -DSKIP_INSTALL_EXPORT=ON
  for pc in libpng16 libpng; do
    write_pc $pc "$(upstream "$built")" "PNG reference library (static, Windows)" "-lpng16 -lz" ""
  done
  stamp libpng1.6 "$png_version"
fi

if ! fresh tiff "$tiff_version"; then
  echo "windows-deps: building libtiff $tiff_version" >&2
  fetch tiff
  # Deflate through zlib and libtiff's built-in codecs; every codec that needs
  # another library off, as are the C++ interface, tools, tests and docs.
  cmake_build "$src" "$work/tiff-build" -DBUILD_SHARED_LIBS=OFF \
    -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
    -Dtiff-opengl=OFF -Dsphinx=OFF -Dcxx=OFF -Dzlib=ON -Dlibdeflate=OFF \
    -Djpeg=OFF -Dold-jpeg=OFF -Djpeg12=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF \
    -Dzstd=OFF -Dwebp=OFF
  # Without zlib found, libtiff's build leaves Deflate out and says nothing.
  if ! grep -q '^#define ZIP_SUPPORT 1' "$prefix/include/tiffconf.h"; then
    echo "windows-deps: libtiff was built without Deflate (zlib not found)" >&2
    exit 1
  fi
  write_pc libtiff-4 "$(upstream "$built")" "TIFF library (static, Windows)" "-ltiff -lz" ""
  stamp tiff "$tiff_version"
fi
