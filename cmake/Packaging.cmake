# The Debian package: scripts/package configures with the prefix /usr and
# runs cpack. dpkg-shlibdeps derives the dependencies from the libraries
# the programs link: Qt 6, pugixml, OpenSSL and libcapi20-3 (which quorlin
# links and libcorvane.so opens at run time); the package check insists on
# each of them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME telvora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Telvora)
set(CPACK_PACKAGE_CONTACT "Telvora <packaging@telvora.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ISDN notes from PC to PC, answering station and call monitor")
set(CPACK_PACKAGE_DESCRIPTION
    "Telvora sends short notes from PC to PC over a direct ISDN data call
(CAPI 2.0 through libcapi20), files every incoming note and telephone
call, forwards them by e-mail, SMS or into a file, and sends SMS and
e-mail. velo is the Qt window, quorlin the answering station (with a
systemd user unit), telvora the command line, relay the forwarding
program and capisim a simulated ISDN exchange to try it without a line.")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# nmcli, for relay profiles and mail servers reached over a dial-up connection.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "network-manager")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
include(CPack)
