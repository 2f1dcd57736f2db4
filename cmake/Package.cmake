# Install rules and the Debian package: `cmake --install BUILD` puts the program under
# the prefix; `cpack -G DEB` in the build folder makes tessaly_VERSION_ARCH.deb for /usr.
install(TARGETS tessaly RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(CPACK_PACKAGE_NAME tessaly)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessaly developers")
set(CPACK_PACKAGE_CONTACT "Tessaly developers <maintainers@users.noreply.c-seed-195ac650.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "drives web pages on a schedule")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Tessaly drives web pages on a schedule. Each tab of its window holds a task\n"
  "panel and a browser; when a task falls due, its action runs in the tab's page:\n"
  "a script, or a recorded mouse gesture delivered as real input without moving\n"
  "the cursor. The interface is in Simplified Chinese.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, fonts-arphic-uming, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_GENERATOR DEB)
include(CPack)
