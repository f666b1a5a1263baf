#pragma once
// The content of the main window's "About" tab: the logo, the version label, the rights
// notice, the web link and the legal text in its frame.
//
// Controls (objectName): Picture2 (logo), Label10 (version), Label11 (rights notice),
// Label12 (web link), Frame15 (frame of the legal text), Text7 (legal text, read-only).
// The legal text and the frame's caption come with the UI language; the rest never changes.
//
// The web link: a click opens the address in the default browser without waiting (through
// QDesktopServices; a failure shows nothing). Every mouse move over it loads "harrow.ico"
// from the program folder again and makes it the link's pointer; a missing or unreadable
// file leaves the standard pointer.

#include <QString>
#include <QWidget>

class QGroupBox;
class QLabel;
class QPlainTextEdit;

namespace tabsend {

class AboutTab : public QWidget {
  public:
    // Texts of our own: the rights notice and the web address of the link.
    static const QString& RightsNotice();
    static const QString& WebAddress();
    // Name of the link's pointer file in the program folder.
    static constexpr const char* kLinkCursorFile = "harrow.ico";

    // `programDir`: the folder of the program, where "harrow.ico" is looked for.
    explicit AboutTab(const QString& programDir, QWidget* parent = nullptr);

    void setLegalText(const QString& text);
    void setFrame15Caption(const QString& caption);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void layOut();

    QLabel* logo_;
    QLabel* version_;
    QLabel* rights_;
    QLabel* link_;
    QGroupBox* frame_;
    QPlainTextEdit* text_;
};

}  // namespace tabsend
