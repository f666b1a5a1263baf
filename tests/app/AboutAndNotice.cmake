# Tests of the About tab, the busy notice and the logo.
list(APPEND TABSEND_WINDOW_TESTS
  AboutTabTest.cpp
  LanSetNotifySpanTest.cpp
  LogoTest.cpp
)
# The link test receives the opened address in a slot of its own.
set(CMAKE_AUTOMOC ON)
