#!/usr/bin/env bash
# Builds, once, the static Windows libraries that Fidmora's Windows build
# links against, with Debian's MinGW-w64 cross compiler (x86_64, posix
# threads) and from Debian's own source packages:
#
#   Qt 5.15 qtbase   static, release, no OpenGL; Widgets, Network (TLS through
#                    Schannel), Xml, Test; the windows, offscreen and minimal
#                    platform plugins
#   libcurl          Schannel for TLS, libssh2 (Windows CNG) for SFTP
#   libxml2          without Python, ICU, zlib and lzma, with the iconv of
#                    scripts/windows-iconv.c for single-byte code pages
#   xxHash           the header
#
# The result is a cache folder, by default ~/.cache/fidmora/mingw-<hash of
# this script and the iconv source>, or FIDMORA_MINGW_CACHE. A second run
# finds it and takes seconds. Everything is built in a temporary folder and
# the cache is renamed into place only when whole, so an interrupted or failed
# run leaves nothing that a later run would take for complete.
#
# Progress goes to stderr; the cache folder's path is the one line on stdout:
#
#   prefix=$(scripts/windows-toolchain.sh)
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=$PWD/scripts/mingw-w64.cmake \
#         -DFIDMORA_MINGW_PREFIX="$prefix"
#
# Options: --jobs N (parallel compile jobs, default: the number of cores).
# Needs root or sudo when packages are missing or Debian's source entries
# (deb-src) must be enabled.
set -euo pipefail

scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=common.sh
source "$scripts/common.sh"

jobs=$(nproc 2>/dev/null || echo 2)
while [ $# -gt 0 ]; do
    case $1 in
        --jobs) jobs=${2:?--jobs needs a number}; shift 2 ;;
        --jobs=*) jobs=${1#--jobs=}; shift ;;
        -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
        *) echo "windows-toolchain.sh: unknown argument $1 (see --help)" >&2; exit 2 ;;
    esac
done
case $jobs in ''|*[!0-9]*|0) echo "windows-toolchain.sh: --jobs needs a positive number" >&2; exit 2 ;; esac

say() { echo "windows-toolchain: $*" >&2; }
die() { say "$*"; exit 1; }
trap 'say "failed: $BASH_COMMAND (line $LINENO)"' ERR

hash=$(cat "$scripts/windows-toolchain.sh" "$scripts/windows-iconv.c" | sha256sum | cut -c1-16)
cache=${FIDMORA_MINGW_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/fidmora/mingw-$hash}
cache=${cache%/}
manifest=fidmora-toolchain.txt
triple=x86_64-w64-mingw32

started=$(date +%s)
timings=()
current=""

# part NAME FUNCTION: runs FUNCTION in a subshell with its output in the work
# folder's NAME.log, and says how long it took. A failure ends the script;
# cleanup shows the log's end and keeps the whole log beside the cache.
part() {
    local name=$1 fn=$2 t0
    t0=$(date +%s)
    current=$name
    say "$name..."
    ( "$fn" ) >"$work/$name.log" 2>&1
    current=""
    local took=$(( $(date +%s) - t0 ))
    timings+=("$(printf '%-13s %5d s' "$name" "$took")")
    say "$name: ${took} s"
}

as_root() {
    if [ "$(id -u)" = 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        die "needs root (or sudo) for: $*"
    fi
}

# --- the cache --------------------------------------------------------------

t0=$(date +%s)
fidmora_install "${FIDMORA_WINDOWS_PACKAGES[@]}" >&2
timings+=("$(printf '%-13s %5d s' packages $(( $(date +%s) - t0 )))")

found() {
    if [ -f "$cache/$manifest" ]; then
        say "found in the cache: $cache ($(( $(date +%s) - started )) s)"
        echo "$cache"
        exit 0
    fi
}
found

cache_root=$(dirname "$cache")
mkdir -p "$cache_root"
# One build at a time: a second run waits, then finds the first one's cache.
exec 9>"$cache.lock"
if ! flock -n 9; then
    say "another run is building $cache; waiting for it"
    flock 9
fi
found

# Whatever a killed run left under a temporary name is not to be trusted.
rm -rf "$cache".partial.*
partial="$cache.partial.$$"
work=$(mktemp -d "${TMPDIR:-/tmp}/fidmora-mingw.XXXXXX")
chmod 755 "$work"
done_ok=0
cleanup() {
    local rc=$?
    if [ -n "$current" ]; then
        local kept="$cache_root/mingw-$hash-failed-$current.log"
        cp "$work/$current.log" "$kept" 2>/dev/null || kept="(lost)"
        tail -n 40 "$work/$current.log" >&2 2>/dev/null || true
        say "$current failed (exit $rc) after $(( $(date +%s) - started )) s; its whole log: $kept"
    fi
    rm -rf "$work"
    [ "$done_ok" = 1 ] || rm -rf "$partial"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir -p "$partial"/{include,lib,licenses} "$work/bin" "$work/src"
say "building into $cache (work folder $work, $jobs jobs)"

# The posix-thread compilers under the plain names that Qt's mkspec and the
# libraries' build systems call, whatever the system's alternatives say.
for tool in gcc g++ c++ cpp gcc-ar gcc-nm gcc-ranlib; do
    ln -s "$(command -v $triple-$tool-posix)" "$work/bin/$triple-$tool"
done
export PATH="$work/bin:$PATH"

# The libraries' own build systems use this; it knows nothing of Qt.
cat >"$work/cross.cmake" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $work/bin/$triple-gcc)
set(CMAKE_CXX_COMPILER $work/bin/$triple-g++)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_FIND_ROOT_PATH "$partial" /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
cmake_lib() {
    local src=$1 build=$2
    shift 2
    cmake -S "$src" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$work/cross.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$partial" \
        -DBUILD_SHARED_LIBS=OFF "$@"
    cmake --build "$build" -j"$jobs"
    cmake --install "$build"
}

# --- the parts --------------------------------------------------------------

# apt-get source needs deb-src entries; where the system has none, they are
# added for the same Debian archives as its deb entries.
enable_deb_src() {
    local out=/etc/apt/sources.list.d/fidmora-deb-src
    local sources=() lists=() f
    for f in /etc/apt/sources.list.d/*.sources; do [ -f "$f" ] && sources+=("$f"); done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do [ -f "$f" ] && lists+=("$f"); done
    # deb822 stanzas of type deb that point at Debian, repeated as deb-src.
    if [ ${#sources[@]} -gt 0 ]; then
        awk 'BEGIN { RS=""; ORS="\n\n" }
             /(^|\n)Types:[^\n]*deb/ && !/(^|\n)Types:[^\n]*deb-src/ && /debian/ && !/(^|\n)Enabled: *no/ {
                 sub(/(^|\n)Types:[^\n]*/, "Types: deb-src"); print }' "${sources[@]}" >"$work/deb-src.sources"
        [ -s "$work/deb-src.sources" ] && as_root cp "$work/deb-src.sources" "$out.sources"
    fi
    if [ ${#lists[@]} -gt 0 ]; then
        grep -h '^deb[[:space:]].*debian' "${lists[@]}" | sed 's/^deb/deb-src/' >"$work/deb-src.list" || true
        [ -s "$work/deb-src.list" ] && as_root cp "$work/deb-src.list" "$out.list"
    fi
    [ -s "$work/deb-src.sources" ] || [ -s "$work/deb-src.list" ] || { echo "no Debian deb entry to mirror"; return 1; }
    echo "added deb-src entries:"; cat "$work"/deb-src.* 
    as_root apt-get update -qq
}

fetch_sources() {
    local pkgs=(qtbase-opensource-src curl libxml2 libssh2)
    if ! apt-cache showsrc "${pkgs[0]}" 2>/dev/null | grep -q '^Version:'; then
        as_root apt-get update -qq || true
        apt-cache showsrc "${pkgs[0]}" 2>/dev/null | grep -q '^Version:' || enable_deb_src
    fi
    cd "$work/src"
    local p
    for p in "${pkgs[@]}"; do
        if apt-get source -q "$p"; then
            echo "$p $(sed -n 's/^Version: //p' ./"${p}"_*.dsc | head -n 1)" >>"$work/versions"
        else
            unpack_without_dsc "$p"
        fi
    done
    cat "$work/versions"
}

# A mirror may lack a package's .dsc while it serves the tarballs, which apt
# has checked against the signed index all the same: they are unpacked as
# dpkg-source would (format 3.0 quilt), the patches of the series applied.
unpack_without_dsc() {
    local p=$1 orig debian version dir line
    debian=$(ls ./"${p}"_*.debian.tar.* 2>/dev/null | sort -V | tail -n 1)
    orig=$(ls ./"${p}"_*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n 1)
    if [ -z "$debian" ] || [ -z "$orig" ]; then
        echo "the source of $p could not be fetched"
        return 1
    fi
    version=${debian#./"${p}"_}
    version=${version%.debian.tar.*}
    dir="$p-${version%-*}"
    echo "$p: no .dsc on the mirror; unpacking $orig and $debian"
    mkdir "$dir"
    tar -xf "$orig" -C "$dir" --strip-components=1
    tar -xf "$debian" -C "$dir"
    if [ -f "$dir/debian/patches/series" ]; then
        while read -r line; do
            line=${line%%#*}
            line=${line%% *}
            [ -z "$line" ] || patch -d "$dir" -p1 --no-backup-if-mismatch -s <"$dir/debian/patches/$line"
        done <"$dir/debian/patches/series"
    fi
    echo "$p $version (from its tarballs: the mirror lacked the .dsc)" >>"$work/versions"
}
srcdir() { find "$work/src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" | head -n 1; }

build_xxhash() {
    cp /usr/include/xxhash.h "$partial/include/"
    [ ! -f /usr/include/xxh3.h ] || cp /usr/include/xxh3.h "$partial/include/"
    cp /usr/share/doc/libxxhash-dev/copyright "$partial/licenses/xxhash.copyright" 2>/dev/null || true
    echo "xxhash $(dpkg-query -W -f='${Version}' libxxhash-dev)" >>"$work/versions"
}

build_iconv() {
    cat >"$partial/include/iconv.h" <<'EOF'
/* iconv for the Windows build: UTF-8 and single-byte Windows code pages
   (scripts/windows-iconv.c in Fidmora's sources). */
#ifndef FIDMORA_ICONV_H
#define FIDMORA_ICONV_H
#include <stddef.h>
#ifdef __cplusplus
extern "C" {
#endif
typedef void *iconv_t;
iconv_t iconv_open(const char *tocode, const char *fromcode);
size_t iconv(iconv_t cd, char **inbuf, size_t *inbytesleft, char **outbuf, size_t *outbytesleft);
int iconv_close(iconv_t cd);
#ifdef __cplusplus
}
#endif
#endif
EOF
    $triple-gcc -O2 -Wall -Wextra -std=c99 -I"$partial/include" -c "$scripts/windows-iconv.c" -o "$work/iconv.o"
    $triple-ar rcs "$partial/lib/libiconv.a" "$work/iconv.o"
}

build_libxml2() {
    local src
    src=$(srcdir libxml2)
    cmake_lib "$src" "$work/build-libxml2" \
        -DLIBXML2_WITH_PYTHON=OFF -DLIBXML2_WITH_ICU=OFF -DLIBXML2_WITH_ICONV=ON \
        -DLIBXML2_WITH_ZLIB=OFF -DLIBXML2_WITH_LZMA=OFF \
        -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF -DLIBXML2_WITH_MODULES=OFF \
        -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_TESTS=OFF
    cp "$src/debian/copyright" "$partial/licenses/libxml2.copyright"
}

build_libssh2() {
    local src
    src=$(srcdir libssh2)
    cmake_lib "$src" "$work/build-libssh2" -DCRYPTO_BACKEND=WinCNG \
        -DENABLE_ZLIB_COMPRESSION=OFF -DBUILD_EXAMPLES=OFF -DBUILD_TESTING=OFF
    cp "$src/debian/copyright" "$partial/licenses/libssh2.copyright"
}

build_curl() {
    local src
    src=$(srcdir curl)
    # libssh2's own static dependencies (bcrypt, crypt32, ws2_32) follow it
    # in curl's list of libraries, which Schannel needs as well.
    cmake_lib "$src" "$work/build-curl" \
        -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF -DPICKY_COMPILER=OFF \
        -DCURL_USE_SCHANNEL=ON -DCURL_USE_OPENSSL=OFF -DCURL_WINDOWS_SSPI=ON \
        -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none \
        -DCURL_USE_LIBSSH2=ON -DLIBSSH2_INCLUDE_DIR="$partial/include" \
        -DLIBSSH2_LIBRARY="$partial/lib/libssh2.a" \
        -DCURL_ZLIB=OFF -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DUSE_NGHTTP2=OFF \
        -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=ON -DCURL_USE_LIBPSL=OFF \
        -DCURL_DISABLE_LDAP=ON -DCURL_DISABLE_LDAPS=ON -DENABLE_UNICODE=ON
    cp "$src/debian/copyright" "$partial/licenses/curl.copyright"
    grep -q 'USE_SCHANNEL 1' "$work/build-curl/lib/curl_config.h"
    grep -q 'USE_LIBSSH2 1' "$work/build-curl/lib/curl_config.h"
    grep -q 'libssh2.a;.*bcrypt' "$partial/lib/cmake/CURL/CURLTargets.cmake"
}

qt_configure() {
    local src
    src=$(srcdir qtbase-opensource-src)
    mkdir -p "$work/build-qt"
    cd "$work/build-qt"
    # Qt names two system libraries as Windows spells them; MinGW's are in
    # lower case, and the cross linker and CMake's find_library care.
    sed -i 's/-lSecur32/-lsecur32/g; s/-lCrypt32/-lcrypt32/g' "$src/src/network/ssl/ssl.pri"
    # Debian's tarball leaves out the bundled SQLite and WinTab: no SQL
    # module (Fidmora has no use for it) and no tablet events.
    "$src/configure" -xplatform win32-g++ -device-option CROSS_COMPILE=$triple- \
        -prefix "$partial/qt" -opensource -confirm-license \
        -release -static -static-runtime -nomake examples -nomake tests \
        -no-opengl -no-dbus -no-icu -no-openssl -schannel \
        -no-feature-sql -no-sql-sqlite -no-feature-concurrent -no-feature-tabletevent \
        -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
        -no-direct2d
    grep -q 'QT_FEATURE_schannel 1' "$work/build-qt/src/network/qtnetwork-config.h" \
        || { echo "Qt was configured without Schannel"; return 1; }
    cp "$src/debian/copyright" "$partial/licenses/qtbase.copyright"
}

qt_build() {
    cd "$work/build-qt"
    make -j"$jobs"
}

qt_install() {
    cd "$work/build-qt"
    make install
    # qmake finds its prefix through this file wherever the cache lies.
    printf '[Paths]\nPrefix=..\nHostPrefix=..\n' >"$partial/qt/bin/qt.conf"

    # The cross-built Qt has no translation tools: find_package(Qt5 ...
    # LinguistTools) gets the host's lrelease and lupdate, which write
    # .qm files that serve both systems.
    local host=/usr/lib/x86_64-linux-gnu/cmake/Qt5LinguistTools
    local dir="$partial/qt/lib/cmake/Qt5LinguistTools"
    [ -x /usr/lib/qt5/bin/lrelease ] && [ -f "$host/Qt5LinguistToolsMacros.cmake" ] \
        || { echo "the host's Qt translation tools are missing (qttools5-dev, qttools5-dev-tools)"; return 1; }
    mkdir -p "$dir"
    cp "$host/Qt5LinguistToolsMacros.cmake" "$host/Qt5LinguistToolsConfigVersion.cmake" "$dir/"
    cat >"$dir/Qt5LinguistToolsConfig.cmake" <<'EOF'
# The host's Qt translation tools, for the cross build (windows-toolchain.sh).
foreach(tool lrelease lupdate lconvert)
    if(NOT EXISTS /usr/lib/qt5/bin/${tool})
        message(FATAL_ERROR "The host's /usr/lib/qt5/bin/${tool} is missing (apt-get install qttools5-dev-tools)")
    endif()
    if(NOT TARGET Qt5::${tool})
        add_executable(Qt5::${tool} IMPORTED)
        set_target_properties(Qt5::${tool} PROPERTIES IMPORTED_LOCATION /usr/lib/qt5/bin/${tool})
    endif()
endforeach()
set(Qt5_LRELEASE_EXECUTABLE Qt5::lrelease)
set(Qt5_LUPDATE_EXECUTABLE Qt5::lupdate)
include("${CMAKE_CURRENT_LIST_DIR}/Qt5LinguistToolsMacros.cmake")
EOF
}

# The build wrote its temporary path into the package files (curl's list of
# libraries, Qt's .prl and .pri files); they get the cache's own.
finish() {
    local f left
    { grep -rlI --null -F "$partial" "$partial" || true; } | while IFS= read -r -d '' f; do
        sed -i "s|$partial|$cache|g" "$f"
    done
    left=$(grep -rlI -F "$partial" "$partial" || true)
    [ -z "$left" ] || { echo "still naming the temporary folder: $left"; return 1; }
    # Qt's package files look up every system library its .prl files name:
    # one that MinGW lacks would fail each program's configure, so it fails here.
    local l missing=""
    for l in $(grep -rh '^QMAKE_PRL_LIBS_FOR_CMAKE' --include='*.prl' "$partial/qt" | grep -oE -- '-l[A-Za-z0-9_]+' | sort -u); do
        [ -f "/usr/$triple/lib/lib${l#-l}.a" ] || [ -f "$partial/qt/lib/lib${l#-l}.a" ] || missing+=" ${l#-l}"
    done
    [ -z "$missing" ] || { echo "Qt names libraries that MinGW does not have:$missing"; return 1; }
    {
        echo "Fidmora's Windows toolchain ($triple, posix threads), built $(date -u '+%Y-%m-%d %H:%M UTC')"
        echo "compiler $($triple-g++ -dumpversion) ($(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix))"
        echo "sources (Debian):"
        sed 's/^/  /' "$work/versions"
        echo "TLS: Schannel (Qt and curl); SFTP: libssh2 with Windows CNG"
        echo "iconv: UTF-8 and single-byte Windows code pages (windows-iconv.c)"
    } >"$partial/$manifest"
    cat "$partial/$manifest"
}

part sources fetch_sources
part xxhash build_xxhash
part iconv build_iconv
part libxml2 build_libxml2
part libssh2 build_libssh2
part curl build_curl
part qt-configure qt_configure
part qt-build qt_build
part qt-install qt_install
part finish finish

# Whole: into place with one rename.
rm -rf "$cache"
mv -T "$partial" "$cache"
done_ok=1
say "done in $(( $(date +%s) - started )) s; the parts:"
printf '  %s\n' "${timings[@]}" >&2
say "$(du -sh "$cache" | cut -f1) in $cache"
echo "$cache"
