# Tests of the About tab, the busy notice and the logo.
list(APPEND TABSEND_WINDOW_TESTS)
