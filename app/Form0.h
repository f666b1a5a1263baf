#pragma once
// The View Setting window: the start-up check for "LanTable.ini" in the working folder and
// the choice of the user-interface language. "Done" applies the language to the main window
// (creating it on first use), closes this window and shows the main window.

#include <QWidget>
#include <functional>

#include "shell/Seams.h"

class QComboBox;
class QPushButton;

namespace tabsend {

class Form1;

class Form0 final : public QWidget {
    Q_OBJECT

  public:
    // `mainWindow` gives the main window, creating it (and running its load handler) the
    // first time it is called.
    Form0(MessageSink& messages, std::function<Form1&()> mainWindow, QWidget* parent = nullptr);

    // -1 when "LanTable.ini" exists in the working folder; otherwise shows
    // "System file corrupt." and gives 0.
    std::int16_t LanTableFileExistChk();
    // The load handler: the check, then the language list with "English" selected.
    // False when the program must end (the table file is missing).
    bool Form_Load();
    // The "Done" button.
    void Command1_Click();

  private:
    MessageSink& messages_;
    std::function<Form1&()> mainWindow_;
    QComboBox* Combo1 = nullptr;
    QPushButton* Command1 = nullptr;
};

}  // namespace tabsend
