# Sources of the About tab, the busy notice and the logo artwork.
list(APPEND TABSEND_WINDOW_SOURCES
  AboutTab.cpp
  LanSetNotifySpan.cpp
  Logo.cpp
)
