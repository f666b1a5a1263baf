#pragma once
// One run of Tabsend: the message boxes, the file dialog, the busy notice, the View Setting
// window and, once "Done" is pressed, the main window.
//
// Scripted runs: when the environment variable TABSEND_AUTOMATE holds a ';'-separated list
// of steps, the program plays them once the View Setting window is up, each after the one
// before has returned:
//   NAME        click the button (or check box) whose object name is NAME, e.g. "Command1"
//               for "Done", "Setbtn" for "Compile";
//   NAME=PATH   for Select1..Select3: the file dialog answers PATH, then the button is clicked;
//   closeWhenProgress=N   close the main window once its progress bar reaches N;
//   quit        end the program with status 0.
// Message boxes are not shown then; each text goes to standard error as "message: <text>".
// A step naming no enabled control ends the program with status 3.

#include <QString>
#include <QStringList>
#include <memory>
#include <string>

#include "app/OpenFileDialog.h"

namespace tabsend {

class Form0;
class Form1;
class LanSetNotifySpan;
class QtMessageSink;

// The steps of TABSEND_AUTOMATE ("" when not set).
QStringList AutomationSteps(const QString& value);

class Program {
  public:
    Program();
    ~Program();
    // Runs the program; gives its exit status.
    int run();

  private:
    class ScriptedDialog;
    Form1& mainWindow();
    void playNextStep();

    QStringList steps_;
    std::unique_ptr<QtMessageSink> messages_;
    std::unique_ptr<ScriptedDialog> dialog_;
    std::unique_ptr<LanSetNotifySpan> notice_;
    std::unique_ptr<Form1> form1_;
    std::unique_ptr<Form0> form0_;
};

}  // namespace tabsend
