// The window tests run in one QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/ToolFont.h"
#include "tests/support/OffscreenQt.h"

int main(int argc, char** argv) {
    tabsend::testkit::OffscreenQt offscreen;
    QApplication app(argc, argv);
    tabsend::UseToolFont();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
