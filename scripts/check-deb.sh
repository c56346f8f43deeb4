#!/usr/bin/env bash
# Checks a built Debian package: its contents and desktop files (always), then, as root, installs
# it with apt-get, runs the installed program and purges the package again.
#   scripts/check-deb.sh build/release/qm-controller_<version>_<arch>.deb
set -euo pipefail

deb=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "check-deb: $*" >&2
    exit 1
}

app_id=org.qmcontroller.QmController
rule=usr/lib/udev/rules.d/70-qm-controller.rules
expected=(
    usr/bin/qm-controller
    "$rule"
    usr/share/applications/$app_id.desktop
    usr/share/metainfo/$app_id.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/qm-controller.svg
    usr/share/icons/hicolor/48x48/apps/qm-controller.png
    usr/share/icons/hicolor/256x256/apps/qm-controller.png
    usr/share/man/man1/qm-controller.1.gz
    usr/share/doc/qm-controller/copyright
)

echo "check-deb: contents of $(basename "$deb")"
dpkg-deb -x "$deb" "$work/root"
for f in "${expected[@]}"; do
    [ -f "$work/root/$f" ] || fail "the package has no /$f"
done
# Each listing is taken whole before it is searched: grep -q stops reading at the first match,
# and under pipefail the writer's broken pipe would fail the check.
depends=$(dpkg-deb -f "$deb" Depends)
grep -q 'libqt6widgets6' <<<"$depends" || fail "Depends does not name the Qt libraries"
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)
grep -q '^\./postinst$' <<<"$control" || fail "no postinst script"
grep -Eq '^SUBSYSTEM=="hidraw", ATTRS\{product\}=="QM Controller", TAG\+="uaccess"$' \
    "$work/root/$rule" || fail "the udev rule does not give the logged-in user the loggers"
desktop-file-validate "$work/root/usr/share/applications/$app_id.desktop"
appstreamcli validate --no-net "$work/root/usr/share/metainfo/$app_id.metainfo.xml"

if [ "$(id -u)" -ne 0 ]; then
    echo "check-deb: passed (contents; not root, so not installed)"
    exit 0
fi

echo "check-deb: apt-get install"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --reinstall "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "apt-get install failed"; }
[ -x /usr/bin/qm-controller ] || fail "/usr/bin/qm-controller is not installed"
# Help needs no display.
env -u QT_QPA_PLATFORM -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/qm-controller --help \
    >"$work/help.txt" || fail "qm-controller --help failed"
grep -q -- '--demo' "$work/help.txt" || fail "qm-controller --help does not list --demo"

# Started in a writable folder, the program keeps DATA there; the read-out changes the window.
unset XDG_CONFIG_HOME XDG_DOCUMENTS_DIR
export QT_QPA_PLATFORM=offscreen HOME="$work/home"
mkdir -p "$work/run" "$HOME"
(cd "$work/run" && /usr/bin/qm-controller --demo --screenshot "$work/start.png" --after 0 &&
    /usr/bin/qm-controller --demo --screenshot "$work/read-out.png") 2>"$work/run.log" ||
    { cat "$work/run.log"; fail "the installed program did not make its screenshots"; }
[ "$(head -c 8 "$work/read-out.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
    fail "the read-out picture is not a PNG"
width=$(od -An -tu1 -j16 -N4 "$work/read-out.png" | awk '{print $1*16777216+$2*65536+$3*256+$4}')
[ "$width" -eq 370 ] || fail "the read-out picture is $width pixels wide, not the window's 370"
! cmp -s "$work/start.png" "$work/read-out.png" || fail "the read-out did not change the window"
[ -d "$work/run/DATA" ] || fail "no DATA folder in the start folder"

# Started in /, as from a desktop menu, it keeps DATA in the documents folder.
(cd / && /usr/bin/qm-controller --demo --screenshot "$work/root-start.png" --after 0) \
    2>"$work/run.log" || { cat "$work/run.log"; fail "the program started in / failed"; }
[ -d "$HOME/Documents/QM Controller/DATA" ] || fail "started in /, DATA is not in Documents"

echo "check-deb: apt-get purge"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq qm-controller >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "apt-get purge failed"; }
[ ! -e /usr/bin/qm-controller ] || fail "/usr/bin/qm-controller is still there after removal"
[ ! -e "/$rule" ] || fail "the udev rule is still there after removal"
echo "check-deb: passed (contents, installed and run)"
