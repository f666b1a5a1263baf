# Where `cmake --install` puts things, relative to the install prefix.
#
#   <appdir>/Startup                      the launcher; the folder it is started in
#   <appdir>/LanTable.ini                 found by each build's start-up check
#   <appdir>/Normal/Tabsend               the Normal build, its LanTable.ini and harrow.ico
#   <appdir>/Compatibility/Tabsend        the Compatibility build, the same two files
#   <appdir>/examples/                    example language source files
#   <appdir>/tabsend-cli, dexio-sim       command-line tool and device simulator
#   bin/dex-language-tool                 start script (per-user copy, then Startup)
#   share/applications, share/icons       desktop entry and its icon
#
# The Debian package installs with the prefix /usr, so the program folder is
# /usr/lib/dex-language-tool. -DTABSEND_INSTALL_APPDIR=. puts Startup at the prefix itself.
# Only variables: every CMake file that installs something includes this.

set(TABSEND_INSTALL_APPDIR "lib/dex-language-tool"
    CACHE STRING "Program folder of Startup and the two builds, relative to the install prefix")
set(TABSEND_PACKAGE_NAME "dex-language-tool")

# The files every fresh program folder starts with, made in the build tree by app/Builds.cmake.
set(TABSEND_INITIAL_DIR ${CMAKE_BINARY_DIR}/initial)
set(TABSEND_INITIAL_TABLE ${TABSEND_INITIAL_DIR}/LanTable.ini)
set(TABSEND_HARROW ${TABSEND_INITIAL_DIR}/harrow.ico)
set(TABSEND_DESKTOP_ICON ${TABSEND_INITIAL_DIR}/${TABSEND_PACKAGE_NAME}.png)
