# The Debian package of the program (make package, or cpack -G DEB in a build folder): the three
# programs, the private libraries in /usr/lib/<multiarch>/ardovan (found through $ORIGIN, see the
# RPATH in the top-level CMakeLists.txt), the desktop entry, icons, metainfo, manual pages and the
# documents of packaging/. Library dependencies come from dpkg-shlibdeps.

set(ARDOVAN_PACKAGE_MAINTAINER "The Ardovan developers <vyvojari@ardovan.cz>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ardovan)
set(CPACK_PACKAGE_VENDOR "The Ardovan developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT ${ARDOVAN_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ARDOVAN_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Czech texts of Qt's own buttons and dialogs; the windows work without them, in English.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "burn data discs, ISO images and disc copies
Ardovan writes data to CD, DVD, Blu-ray and HD DVD media, recordable and
rewritable. It burns data discs laid out as ISO 9660 with Joliet names, an
optional ISO 9660:1999 tree, a UDF 1.50 bridge and an El Torito boot record,
streamed to the recorder without an image file in between; it burns ISO image
files, copies discs through an image file, erases rewritable discs and reports
on the recorder and the loaded medium. Its windows speak Czech.

The package holds the application ardovan, the command-line front end
ardovan-cli and ardovan-vdrive, a virtual recorder for machines without a
burner that keeps what it burns as a disc image.")

# Every folder of the package 0755, whatever the umask of the one who builds it.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

include(CPack)
