#pragma once
// The help window: the picture that tells how to read the firmware version off the DEXIO.
// Modal, centred over the chooser, not shown in the task bar.

#include <QDialog>

class QLabel;

namespace startup {

class Form1 : public QDialog {
    Q_OBJECT
  public:
    explicit Form1(QWidget* chooser);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* Image1;
};

}  // namespace startup
