// The real-port tests need an event loop on the main thread: QSerialPort moves bytes from
// socket notifiers, and QtEventPump/QtTickTimer run on QCoreApplication.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
