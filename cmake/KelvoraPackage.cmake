# `make package` (or cpack in a build folder): a Debian package of what the install
# rules put under /usr. The libraries it needs are found by dpkg-shlibdeps from the
# binaries themselves; the programs, data and plugins it runs are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelvora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Live picture, stills and scans from USB document cameras")
set(CPACK_PACKAGE_DESCRIPTION
    "Kelvora works with USB document cameras: the presenter camera that films a sheet of
paper on a desk, and the high-speed document scanner camera. A narrow launcher bar
switches between full-screen tools: the live picture, a scanner workstation with
PDF and text recognition, side-by-side comparison and a picture viewer.")
set(CPACK_PACKAGE_CONTACT "Kelvora developers <kelvora@localhost>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The project's own libraries stand in the program folder, not in a library path.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "tesseract-ocr, tesseract-ocr-chi-sim, tesseract-ocr-eng, fonts-wqy-zenhei, qt6-image-formats-plugins")
include(CPack)
