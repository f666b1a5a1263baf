# The two builds of Tabsend, from one source tree:
#
#   target           folder          letter  version label   DEXIO firmware
#   Tabsend          Normal          N       Ver1.6.0N       v 1.2.xxx (or above)
#   Tabsend_Compat   Compatibility   C       Ver1.6.0C       v 1.1.xxx
#
# Both programs are named Tabsend and differ only in BuildInfo.cpp, compiled with the
# build's letter and folder name (TABSEND_BUILD_LETTER, TABSEND_BUILD_NAME). Each folder in
# the build tree also gets the files the program expects beside itself, and the build tree's
# top gets the LanTable.ini of the start-up check, so Startup runs from <build> as it runs
# from an install.
include(${CMAKE_SOURCE_DIR}/cmake/InstallLayout.cmake)

# Our own pictures (harrow.ico, the program icon), drawn by a small generator.
add_subdirectory(${CMAKE_SOURCE_DIR}/tools/artwork ${CMAKE_BINARY_DIR}/tools/artwork)

# The files every fresh program folder starts with, made once in <build>/initial:
# - LanTable.ini as a compile without language files writes it, the same as after a Reset:
#   LanTotalNum 0 and three dummy slots. The start-up check only needs the file to exist,
#   but a table that reads like a reset one keeps Restore and a download without a compile
#   on the safe side (no slot due, no strings), whatever the operator presses first.
# - harrow.ico, the pointer over the About tab's web link.
# - the program icon for the desktop entry.
# (Their paths are set in cmake/InstallLayout.cmake.)
add_custom_command(
  OUTPUT ${TABSEND_INITIAL_TABLE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TABSEND_INITIAL_DIR}
  COMMAND ${CMAKE_COMMAND} -E remove -f ${TABSEND_INITIAL_TABLE}
  COMMAND tabsend-cli compile --quiet --table ${TABSEND_INITIAL_TABLE}
  DEPENDS tabsend-cli
  COMMENT "Writing the initial LanTable.ini")
add_custom_command(
  OUTPUT ${TABSEND_HARROW} ${TABSEND_DESKTOP_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${TABSEND_INITIAL_DIR}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:artwork> harrow.ico
          ${TABSEND_HARROW}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:artwork> icon 64
          ${TABSEND_DESKTOP_ICON}
  DEPENDS artwork
  COMMENT "Drawing harrow.ico and the program icon")

# The table at the top of the build tree, for the start-up check of a build started from there.
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/LanTable.ini
  COMMAND ${CMAKE_COMMAND} -E copy ${TABSEND_INITIAL_TABLE} ${CMAKE_BINARY_DIR}/LanTable.ini
  DEPENDS ${TABSEND_INITIAL_TABLE})
set(TABSEND_BUILD_TREE_FILES ${CMAKE_BINARY_DIR}/LanTable.ini ${TABSEND_DESKTOP_ICON})

# One build: the program in <build>/<folder>, its table and pointer beside it (copied once;
# a table the program has written since is left alone until the initial one changes), and
# the same three files in <appdir>/<folder> of an install.
function(tabsend_add_build target letter folder)
  add_executable(${target} main.cpp BuildInfo.cpp)
  target_compile_definitions(${target} PRIVATE TABSEND_BUILD_LETTER='${letter}'
                                               TABSEND_BUILD_NAME="${folder}")
  target_link_libraries(${target} PRIVATE tabsend_windows)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME Tabsend
                        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/${folder})

  set(dir ${CMAKE_BINARY_DIR}/${folder})
  add_custom_command(
    OUTPUT ${dir}/LanTable.ini ${dir}/harrow.ico
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${CMAKE_COMMAND} -E copy ${TABSEND_INITIAL_TABLE} ${dir}/LanTable.ini
    COMMAND ${CMAKE_COMMAND} -E copy ${TABSEND_HARROW} ${dir}/harrow.ico
    DEPENDS ${TABSEND_INITIAL_TABLE} ${TABSEND_HARROW})
  list(APPEND TABSEND_BUILD_TREE_FILES ${dir}/LanTable.ini ${dir}/harrow.ico)
  set(TABSEND_BUILD_TREE_FILES ${TABSEND_BUILD_TREE_FILES} PARENT_SCOPE)

  install(TARGETS ${target} RUNTIME DESTINATION ${TABSEND_INSTALL_APPDIR}/${folder})
  install(FILES ${TABSEND_INITIAL_TABLE} ${TABSEND_HARROW}
          DESTINATION ${TABSEND_INSTALL_APPDIR}/${folder})
endfunction()

tabsend_add_build(Tabsend N Normal)
tabsend_add_build(Tabsend_Compat C Compatibility)

add_custom_target(tabsend_build_files ALL DEPENDS ${TABSEND_BUILD_TREE_FILES})
add_dependencies(Tabsend tabsend_build_files)
add_dependencies(Tabsend_Compat tabsend_build_files)

install(FILES ${TABSEND_INITIAL_TABLE} DESTINATION ${TABSEND_INSTALL_APPDIR})
