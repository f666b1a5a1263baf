# The Normal build of Tabsend, in <build>/Normal. BuildInfo.cpp carries the build's letter.
add_executable(Tabsend main.cpp BuildInfo.cpp)
target_compile_definitions(Tabsend PRIVATE TABSEND_BUILD_LETTER='N' TABSEND_BUILD_NAME="Normal")
target_link_libraries(Tabsend PRIVATE tabsend_windows)
set_target_properties(Tabsend PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/Normal)
