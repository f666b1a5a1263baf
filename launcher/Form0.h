#pragma once
// The chooser: which firmware family the DEXIO runs, and so which build of Tabsend to start.

#include <QWidget>
#include <cstdint>

#include "launcher/ProcessStart.h"

class QComboBox;
class QGroupBox;
class QPushButton;

namespace startup {

// The builds, relative to the launcher's working folder.
#ifdef Q_OS_WIN
inline constexpr const char* kNormalBuild = "Normal/Tabsend.exe";
inline constexpr const char* kCompatibilityBuild = "Compatibility/Tabsend.exe";
#else
inline constexpr const char* kNormalBuild = "Normal/Tabsend";
inline constexpr const char* kCompatibilityBuild = "Compatibility/Tabsend";
#endif

class Form0 : public QWidget {
    Q_OBJECT
  public:
    Form0(ProcessStarter& starter, MessageBoxes& messages);

    // The load handler, run before the window is shown. When a build is missing it tells
    // so, closes the chooser and returns false: the launcher ends without starting anything.
    bool Form_Load();

  private slots:
    void Command1_Click();  // "Done"
    void Command2_Click();  // "Help"

  private:
    int16_t SysFileExistChk();

    ProcessStarter& starter_;
    MessageBoxes& messages_;
    QGroupBox* Frame1;
    QComboBox* Combo1;
    QPushButton* Command2;
    QPushButton* Command1;
};

}  // namespace startup
