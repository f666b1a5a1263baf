// The launcher tests run in one QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "tests/support/OffscreenQt.h"

int main(int argc, char** argv) {
    tabsend::testkit::OffscreenQt offscreen;
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Startup"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
