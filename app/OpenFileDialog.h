#pragma once
// The open-file dialog behind the Select buttons (CommonDialog1): a filter, the entry of it
// shown first and an empty starting name; gives the chosen path, or "" when cancelled.

#include <string>

class QWidget;

namespace tabsend {

class OpenFileDialog {
  public:
    virtual ~OpenFileDialog() = default;
    // `filter` in the "Name|pattern|Name|pattern" form; `filterIndex` counts from 1.
    virtual std::string ShowOpen(const std::string& filter, int filterIndex) = 0;
};

// The filter of the Select buttons: language files first, then all files.
inline constexpr const char* kSourceFileFilter = "ini文件(*.ini)|*.ini|所有文件(*.*)|*.*";

// "Name|pattern|Name|pattern" as a file dialog's name filters ("Name (pattern)").
std::string QtNameFilters(const std::string& filter, std::string* selected, int filterIndex);

// The real dialog, modal over `parent`.
class QtOpenFileDialog final : public OpenFileDialog {
  public:
    explicit QtOpenFileDialog(QWidget* parent) : parent_(parent) {}
    std::string ShowOpen(const std::string& filter, int filterIndex) override;

  private:
    QWidget* parent_;
};

}  // namespace tabsend
