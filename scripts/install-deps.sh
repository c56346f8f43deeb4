#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on Debian 12 (bookworm).
# Idempotent: when every package is present it returns without touching apt.
set -euo pipefail

packages=(
    # build tools
    cmake ninja-build g++ clang-format clang-tidy
    # Qt 6: widgets, serial port, charts, translations tools, offscreen/xcb platform plugins
    qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-charts-dev qt6-l10n-tools
    qt6-qpa-plugins libqt6opengl6-dev libgl-dev
    # Qt's own Russian texts (dialog buttons) while the window is in Russian
    qt6-translations-l10n
    # USB HID
    libhidapi-dev libudev-dev
    # the data viewer (plots, needs Qt print support) and the XLSX export; minizip reads the
    # exported workbook back in the tests
    libqcustomplot-dev libxlsxwriter-dev libminizip-dev
    # the NetCDF export (Linux only: Debian ships no libnetcdf for mingw-w64); netcdf-bin gives
    # ncdump to look into an exported file
    libnetcdf-dev netcdf-bin
    # the stations file of a collection (TOML, used as headers only)
    libtomlplusplus-dev
    # alarms by mail (SMTP)
    libcurl4-gnutls-dev
    # tests and benchmarks
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    # the alarm mail's test receives it on a local SMTP server
    python3-aiosmtpd
    # running the Qt program and its tests without a display
    xvfb xauth fonts-dejavu-core
    # the report's tests read the PDF back (pdftotext); pdftoppm draws its pages as pictures
    poppler-utils
    # the status page's test looks at it in a real browser (headless)
    chromium
    # the Windows builds and running them under wine (fonts-wine: text in the windows plugin;
    # dpkg-dev: apt-get source for hidapi's Windows backend, QCustomPlot and libxlsxwriter;
    # libz-mingw-w64-dev: zlib for libxlsxwriter; unzip: the zip check; python3: the wine
    # checks' reading of pictures and workbooks)
    g++-mingw-w64-x86-64-posix wine64 wine fonts-wine dpkg-dev xz-utils unzip libz-mingw-w64-dev
    python3
    # the Debian package: its dependencies (dpkg-shlibdeps) and the checks of its desktop files
    desktop-file-utils appstream
    # the PostgreSQL archive (libpq) and the server its tests start
    libpq-dev postgresql-15
    # used by the scripts themselves
    util-linux
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    sudo=()
elif command -v sudo >/dev/null; then
    sudo=(sudo)
else
    echo "install-deps: missing ${missing[*]}; run this script as root or install sudo" >&2
    exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
