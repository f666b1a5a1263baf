#pragma once
// How the launcher starts a build of Tabsend: one request (command line, working folder,
// environment) handed to a starter. The program uses the real one; tests record requests.

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace startup {

struct StartRequest {
    QString program;                  // relative to workingDirectory, e.g. "Normal/Tabsend"
    QStringList arguments;            // always empty: the builds take no arguments
    QString workingDirectory;         // the launcher's own working folder
    QProcessEnvironment environment;  // the launcher's own environment
};

class ProcessStarter {
  public:
    virtual ~ProcessStarter() = default;
    // Starts the program and returns at once, without waiting for it to end.
    // False when it could not be started.
    virtual bool start(const StartRequest& request) = 0;
};

// Starts the program as a separate process that outlives the launcher.
class DetachedStarter : public ProcessStarter {
  public:
    bool start(const StartRequest& request) override;
};

// A message box with an OK button only and no icon, titled "Startup".
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    virtual void show(const QString& text) = 0;
};

class QtMessageBoxes : public MessageBoxes {
  public:
    void show(const QString& text) override;
};

}  // namespace startup
