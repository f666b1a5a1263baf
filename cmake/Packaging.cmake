# The install beyond the programs (examples, start script, desktop entry and icon) and the
# packages: a Debian package and a .tar.gz of the same install, made by CPack from the
# already built tree (`cmake --build build --target package`, or scripts/dev.sh package).
include(${CMAKE_SOURCE_DIR}/cmake/InstallLayout.cmake)

install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${TABSEND_INSTALL_APPDIR}/examples)

# The start script finds the program folder relative to its own place in bin/.
file(RELATIVE_PATH TABSEND_APPDIR_FROM_BIN /prefix/bin /prefix/${TABSEND_INSTALL_APPDIR})
if(TABSEND_APPDIR_FROM_BIN STREQUAL "")
  set(TABSEND_APPDIR_FROM_BIN ".")
endif()
configure_file(${CMAKE_SOURCE_DIR}/packaging/dex-language-tool.in
               ${CMAKE_BINARY_DIR}/packaging/${TABSEND_PACKAGE_NAME} @ONLY)
install(PROGRAMS ${CMAKE_BINARY_DIR}/packaging/${TABSEND_PACKAGE_NAME} DESTINATION bin)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/${TABSEND_PACKAGE_NAME}.desktop
        DESTINATION share/applications)
install(FILES ${TABSEND_DESKTOP_ICON} DESTINATION share/icons/hicolor/64x64/apps)

set(CPACK_PACKAGE_NAME ${TABSEND_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "DEX Language Tool team")
set(CPACK_PACKAGE_CONTACT "DEX Language Tool team <dex-language-tool@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Service tool that downloads display languages into a DEXIO unit over a serial line")
set(CPACK_PACKAGE_DESCRIPTION
    "Startup asks which firmware the DEXIO runs and starts the matching build of Tabsend \
(Normal or Compatibility), which compiles language source files into LanTable.ini and \
downloads them over Modbus RTU. Includes tabsend-cli for scripts and the dexio-sim simulator.")
set(CPACK_GENERATOR "DEB;TGZ")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)  # the build carries debug information; the packages do not
set(CPACK_VERBATIM_VARIABLES ON)

# Debian: installed under /usr, the program folder is /usr/lib/dex-language-tool. The Qt
# libraries come from dpkg-shlibdeps; fonts and the X11 platform are loaded at run time.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-droid-fallback")

include(CPack)
