#pragma once
// The main window of Tabsend: the tab control with "COM Configuration", "Select and
// download" and "About". The window only starts requests and shows results: every button
// calls a widget-free handler (PortControl, ConnectionHandlers, ModuleMain, LanCompiler),
// and those report back through the small interfaces this class implements.

#include <QElapsedTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/OpenFileDialog.h"
#include "download/DownloadSeams.h"
#include "download/ModuleMain.h"
#include "handlers/ConnectionHandlers.h"
#include "langfiles/LanCompiler.h"
#include "link/ModBusCall.h"
#include "link/PortControl.h"
#include "link/QtEventPump.h"
#include "link/QtSerialPort.h"
#include "link/QtTickTimer.h"
#include "shell/Captions.h"
#include "shell/Messages.h"
#include "shell/Seams.h"
#include "shell/SharedState.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSystemTrayIcon;
class QTabWidget;

namespace tabsend {

class AboutTab;

class Form1 final : public QWidget,
                    public DownloadHost,
                    public SlotDisplay,
                    public MainControls,
                    public WindowRefresh,
                    public ProgressView {
    Q_OBJECT

  public:
    // What the window needs from the program around it. All must outlive the window.
    struct Outside {
        MessageSink* messages = nullptr;   // message boxes
        OpenFileDialog* dialog = nullptr;  // CommonDialog1
        BusyNotice* notice = nullptr;      // LanSetNotifySpan
        std::string programDir;            // where LanTable.ini and harrow.ico live
        // Ends the process at once (the unload handler's last step).
        std::function<void()> endProgram;
        // Serial devices listed after Com9 (none: the system's list).
        std::function<std::vector<std::string>()> extraPorts;
    };

    explicit Form1(Outside outside, QWidget* parent = nullptr);
    ~Form1() override;

    // The load handler: tray icon, start values, slot colours, table path, selection,
    // InitLanParam, port lists, Automatic mode. Runs once, before the first caption is set.
    void Form_Load();
    // The language routine's work on this window: tab captions, control captions, the
    // sixteen message variables, the legal text, the Frame15 caption, in this order.
    void ApplyLanguage(const LanguageCaptions& captions);

    // ---- Handlers of the controls ----
    void Select_Click(int n);
    void Clear_Click(int n);
    void ResetKey_Click();
    void Setbtn_Click();
    void ReadCur_Click();
    void PortOpenbtn_Click();
    void CompareBtn_Click();
    void Downloadbtn_Click();
    void Operation_Click(int n);
    void SetModeOpt_Click(int index);

    // ---- DownloadHost ----
    void SetControlsEnabled(bool enabled) override;
    void PortProcess() override;
    void PortClose_Click() override;
    void setCompareEnabled(bool enabled) override;
    void setDownloadEnabled(bool enabled) override;
    void setDisconnectEnabled(bool enabled) override;

    // ---- SlotDisplay ----
    void setVersionText(int slot, const std::string& text) override;
    void setLanguageText(int slot, const std::string& text) override;
    void setOperationEnabled(int slot, bool enabled) override;
    void setOperationValue(int slot, bool ticked) override;
    void setStatusColor(int slot, std::uint32_t bgr) override;

    // ---- MainControls ----
    using QWidget::setEnabled;
    void setEnabled(Control control, bool enabled) override;
    void setOperationsVisible(bool visible) override;
    void combosChanged() override;

    // ---- WindowRefresh ----
    void refreshLocked() override;

    // ---- ProgressView ----
    void setItemInfo(const std::string& text) override;
    void setProgressRange(int min, int max) override;
    void setProgressValue(int value) override;

    // State for the checks of the tests and the tray.
    SharedState& state() { return state_; }
    const Messages& texts() const { return texts_; }
    LanCompiler& compiler() { return compiler_; }
    PortControl& portControl() { return portControl_; }
    ConnectionHandlers& connection() { return handlers_; }
    // The device the port list's entry opens (the tooltip of Combo1).
    std::string deviceForEntry(int listPosition) const;
    bool trayIconShown() const;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildComTab(QWidget* page);
    void buildSelectTab(QWidget* page);
    void connectHandlers();
    void showSlotBoxes();
    void showSlotBoxes(int n);
    void lockWindow(bool locked);
    void fillPortList();
    void comboEdited();
    void Form_Unload();

    Outside outside_;

    // The tool's state and modules, wired as the one user-interface thread runs them.
    SharedState state_;
    Messages texts_;
    QtEventPump pump_;
    QtTickTimer timer1_;
    QtSerialPort port_;
    ModbusLink link_;
    std::vector<std::string> extraPorts_;
    PortControl portControl_;
    ModuleMain main_;
    ConnectionHandlers handlers_;
    LanCompiler compiler_;

    // Controls, named as the window's design names them.
    QTabWidget* SSTab1 = nullptr;
    // Tab 0
    QGroupBox* Frame16 = nullptr;
    QGroupBox* Frame7 = nullptr;
    QComboBox* Combo1 = nullptr;
    QComboBox* Combo2 = nullptr;
    QComboBox* Combo3 = nullptr;
    QComboBox* Combo4 = nullptr;
    QComboBox* Combo5 = nullptr;
    std::array<QRadioButton*, 2> SetModeOpt{};
    // Tab 1
    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame4 = nullptr;
    std::array<QPushButton*, 3> Select{};
    std::array<QPushButton*, 3> Clear{};
    std::array<QLineEdit*, 3> LanguageBox{};  // Text1..Text3
    std::array<QLineEdit*, 3> VersionBox{};   // Text4..Text6
    QPushButton* ResetKey = nullptr;
    QPushButton* Setbtn = nullptr;
    QPushButton* ReadCur = nullptr;
    std::array<QLineEdit*, 3> LanCode{};  // Lan1Code..Lan3Code
    std::array<QLineEdit*, 3> LanVer{};   // Lan1Ver..Lan3Ver
    std::array<QCheckBox*, 3> Operation{};
    std::array<QFrame*, 3> LanStaColor{};
    QPushButton* PortOpenbtn = nullptr;
    QPushButton* PortClose = nullptr;
    QPushButton* CompareBtn = nullptr;
    QPushButton* Downloadbtn = nullptr;
    QLabel* DownItemInfo = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    // Tab 2
    AboutTab* About = nullptr;

    QSystemTrayIcon* trayIcon_ = nullptr;
    static constexpr int kRefreshMs = 20;
    QElapsedTimer refreshClock_;
    bool mirroringCombos_ = false;
};

}  // namespace tabsend
