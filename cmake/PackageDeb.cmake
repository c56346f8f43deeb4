# The Debian package: `cpack --preset deb` (or scripts/package-deb.sh) after a release build
# makes qm-controller_<version>_<arch>.deb in the build folder.
set(CPACK_PACKAGE_NAME qm-controller)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QM Controller developers")
set(CPACK_PACKAGE_CONTACT "QM Controller developers <qm-controller@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control QM Controller measurement data loggers")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME qm-controller)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # name_version_arch.deb
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The package's long description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A desktop program for field engineers who look after battery-powered QM
Controller data loggers, reached over USB HID (the logger, a radio modem or a
Bluetooth modem) or a serial port: identification, clock, measurement schedule,
calibration, remarks, test measurement with a chart, and copies of the logger's
data files into a local DATA folder, with a viewer and CSV and XLSX export.
A udev rule gives the logged-in user access to the loggers.")
# The shared libraries come from dpkg-shlibdeps; what Qt loads at run time it cannot see.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/linux/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/linux/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
