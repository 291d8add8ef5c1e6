#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds libarchive and the compression libraries it reads and writes
# with (zlib, bzip2, liblzma from xz-utils, zstd) for 32-bit Windows with
# mingw-w64, as static libraries, from Debian's source packages.
#
# Usage: scripts/build-windows-libarchive.sh PREFIX
# Installs headers into PREFIX/include and libraries into PREFIX/lib, and
# writes PREFIX/stamp last; when the stamp names the same package versions the
# script returns at once, so a build tree keeps its result across rebuilds.
# The sources are fetched with `apt-get source`; the deb-src lines it needs are
# added under /etc/apt/sources.list.d when missing (as root, or with sudo).
set -euo pipefail

prefix=$(realpath -m "${1:?usage: build-windows-libarchive.sh PREFIX}")
host=i686-w64-mingw32
packages=(zlib bzip2 xz-utils libzstd libarchive)
jobs=$(($(nproc) < 2 ? $(nproc) : 2))

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi

# deb-src lines mirroring the binary sources, once.
sources_list=/etc/apt/sources.list.d/varnoket-src.sources
if [[ -z "$(apt-cache showsrc libarchive 2>/dev/null)" ]]; then
  if [[ ! -f $sources_list ]]; then
    echo "build-windows-libarchive: adding deb-src lines in $sources_list" >&2
    $sudo tee "$sources_list" >/dev/null <<'EOF'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  fi
  $sudo apt-get update -q
fi

# The versions this build is made of, newest first per package.
versions() { apt-cache showsrc "$1" | sed -n 's/^Version: //p' | sort -rV | uniq; }
wanted=""
for package in "${packages[@]}"; do
  wanted+="$package $(versions "$package" | tr '\n' ' ')"$'\n'
done
if [[ -f $prefix/stamp && "$(cat "$prefix/stamp")" == "$(printf '%s' "$wanted")" ]]; then
  exit 0
fi

work="$prefix.work"
rm -rf "$prefix" "$work"
mkdir -p "$prefix/include" "$prefix/lib" "$work"
cd "$work"

# Fetch and unpack each package, falling back to an older version when a
# mirror lacks the newest one's files.
declare -A dir
for package in "${packages[@]}"; do
  fetched=""
  for version in $(versions "$package"); do
    if apt-get source -q --download-only "$package=$version" >/dev/null 2>&1; then
      fetched=$version
      break
    fi
  done
  [[ -n $fetched ]] || { echo "build-windows-libarchive: cannot fetch $package" >&2; exit 1; }
  dsc=$(ls "${package}_${fetched#*:}.dsc")
  dpkg-source -q -x "$dsc" "src-$package" >/dev/null
  dir[$package]="$work/src-$package"
  echo "build-windows-libarchive: $package $fetched" >&2
done

cc=$(command -v $host-gcc-posix || command -v $host-gcc)
cflags="-O2"
archive() { "$host-ar" rcs "$1" "${@:2}"; }

# zlib and bzip2: their library sources compiled as they are.
(
  cd "${dir[zlib]}"
  sources=(adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate
           inftrees trees uncompr zutil)
  for s in "${sources[@]}"; do "$cc" $cflags -c "$s.c" -o "$s.o"; done
  archive "$prefix/lib/libz.a" "${sources[@]/%/.o}"
  cp zlib.h zconf.h "$prefix/include/"
)
(
  cd "${dir[bzip2]}"
  sources=(blocksort huffman crctable randtable compress decompress bzlib)
  for s in "${sources[@]}"; do "$cc" $cflags -D_FILE_OFFSET_BITS=64 -c "$s.c" -o "$s.o"; done
  archive "$prefix/lib/libbz2.a" "${sources[@]/%/.o}"
  cp bzlib.h "$prefix/include/"
)
# liblzma: the library alone.
(
  cd "${dir[xz-utils]}"
  ./configure -q --host=$host --prefix="$prefix" CC="$cc" CFLAGS="$cflags" \
    --enable-static --disable-shared --disable-xz --disable-xzdec --disable-lzmadec \
    --disable-lzmainfo --disable-lzma-links --disable-scripts --disable-doc --disable-nls \
    >/dev/null
  make -s -j"$jobs" -C src/liblzma >/dev/null
  make -s -C src/liblzma install >/dev/null
)
# zstd: the static library, without the legacy formats.
(
  cd "${dir[libzstd]}/lib"
  make -s -j"$jobs" libzstd.a CC="$cc" AR="$host-ar" ZSTD_LEGACY_SUPPORT=0 ZSTD_NO_ASM=1 \
    CFLAGS="$cflags" >/dev/null
  cp libzstd.a "$prefix/lib/"
  cp zstd.h zstd_errors.h zdict.h "$prefix/include/"
)
# libarchive: the library alone, with those four and no other dependency.
(
  cd "${dir[libarchive]}"
  cmake -S . -B build -G Ninja -Wno-dev \
    -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_C_COMPILER="$cc" -DCMAKE_RC_COMPILER=$host-windres \
    -DCMAKE_FIND_ROOT_PATH="$prefix;/usr/$host" \
    -DCMAKE_FIND_ROOT_PATH_MODE_PROGRAM=NEVER -DCMAKE_FIND_ROOT_PATH_MODE_LIBRARY=ONLY \
    -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=ONLY \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_C_FLAGS="-DLZMA_API_STATIC" \
    -DENABLE_ZLIB=ON -DENABLE_BZip2=ON -DENABLE_LZMA=ON -DENABLE_ZSTD=ON \
    -DENABLE_LZ4=OFF -DENABLE_LZO=OFF -DENABLE_LIBB2=OFF -DENABLE_OPENSSL=OFF -DENABLE_MBEDTLS=OFF \
    -DENABLE_NETTLE=OFF -DENABLE_LIBXML2=OFF -DENABLE_EXPAT=OFF -DENABLE_PCREPOSIX=OFF \
    -DENABLE_PCRE2POSIX=OFF -DENABLE_CNG=OFF -DENABLE_ICONV=OFF -DENABLE_ACL=OFF \
    -DENABLE_XATTR=OFF -DENABLE_TAR=OFF -DENABLE_CPIO=OFF -DENABLE_CAT=OFF -DENABLE_TEST=OFF \
    -DENABLE_INSTALL=ON -DBUILD_SHARED_LIBS=OFF >/dev/null
  cmake --build build -j"$jobs" --target archive_static >/dev/null
  cp build/libarchive/libarchive.a "$prefix/lib/" 2>/dev/null ||
    cp build/libarchive/libarchive_static.a "$prefix/lib/libarchive.a"
  cp libarchive/archive.h libarchive/archive_entry.h "$prefix/include/"
)

rm -rf "$work"
printf '%s' "$wanted" >"$prefix/stamp"
echo "build-windows-libarchive: done in $prefix" >&2
