#!/usr/bin/env bash
# Makes the Qt kit the Windows build needs (the tarball the windows preset reads, by default
# ../shared/toolchains/qt6.4.2-mingw64-r2.tar.xz), on Debian 12 with 2 cores in about 45 minutes
# and a few GB of space in WORK:
#   1. build-qtbase-mingw.sh   qtbase 6.4.2 from Debian's qt6-base source package (apt-get source,
#                              needs a deb-src entry) with Debian's patches: Core, Gui, Widgets,
#                              PrintSupport, Test; DirectWrite and Direct2D off; then small test
#                              programs run under wine
#   2. build-modules-mingw.sh  Qt Serial Port and Qt Charts 6.4.2 into the same prefix
#   3. the prefix, its DLLs stripped, packed as OUT with qt6.4.2-mingw64/ inside
# Then: QMC_WINDOWS_KIT=OUT scripts/test.sh (or cmake --preset windows -DQMC_QT_KIT=OUT).
# Usage: make-kit.sh OUT.tar.xz [WORK (default ./qt-kit-work)]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$(realpath -m "${1:?usage: make-kit.sh OUT.tar.xz [WORK]}")
work=$(realpath -m "${2:-$PWD/qt-kit-work}")
mkdir -p "$work" "$(dirname "$out")"

Q="$work" bash "$here/build-qtbase-mingw.sh"
PREFIX="$work/prefix" WORK="$work/modules" bash "$here/build-modules-mingw.sh"

stage="$work/stage"
rm -rf "$stage"
mkdir -p "$stage"
cp -a "$work/prefix" "$stage/qt6.4.2-mingw64"
find "$stage" -name '*.dll' -exec x86_64-w64-mingw32-strip --strip-unneeded {} +
tar -C "$stage" -cJf "$out" qt6.4.2-mingw64
echo "make-kit.sh: wrote $out"
