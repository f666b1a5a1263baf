#pragma once
// For the main() of a widget test program: the offscreen platform unless another was asked
// for, and a private runtime folder (0700) when none is set, so Qt runs headless and quiet.
// Make it before the QApplication and keep it until the end of main().

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

namespace tabsend::testkit {

class OffscreenQt {
  public:
    OffscreenQt() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir_.isValid()) {
            QFile::setPermissions(runtimeDir_.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", runtimeDir_.path().toLocal8Bit());
        }
    }

  private:
    QTemporaryDir runtimeDir_;
};

}  // namespace tabsend::testkit
