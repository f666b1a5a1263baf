#include "tests/app/WindowRig.h"

#include <QFontMetrics>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <fstream>
#include <random>

namespace tabsend::apptest {

WindowRig::WindowRig(fs::path programDir) : dir_(std::move(programDir)) {
    if (dir_.empty()) {
        std::random_device rd;
        dir_ = fs::temp_directory_path() / ("tabsend-window-" + std::to_string(rd()));
        fs::create_directories(dir_);
        ownDir_ = true;
    }
    Form1::Outside outside;
    outside.messages = &messages;
    outside.dialog = &dialog;
    outside.notice = &notice;
    outside.programDir = dir_.string();
    outside.endProgram = [this] { ++endRequests; };
    outside.extraPorts = [] { return std::vector<std::string>{}; };
    form_ = std::make_unique<Form1>(std::move(outside));
    messages.window = form_.get();
    form_->Form_Load();
}

WindowRig::~WindowRig() {
    form_.reset();
    if (ownDir_) {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
}

std::string WindowRig::text(const char* name) const {
    QWidget* w = get(name);
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text().toStdString();
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdString();
    if (auto* e = qobject_cast<QLineEdit*>(w)) return e->text().toStdString();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title().toStdString();
    if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText().toStdString();
    throw std::runtime_error(std::string("no text on ") + name);
}

fs::path WindowRig::write(const std::string& name, const std::string& text) const {
    const fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p;
}

std::vector<std::string> ClippedCaptions(const QWidget& root) {
    std::vector<std::string> clipped;
    auto report = [&](const QWidget* w, const QString& text, int need) {
        if (need > w->width()) {
            clipped.push_back(w->objectName().toStdString() + " \"" + text.toStdString() +
                              "\" needs " + std::to_string(need) + " px, has " +
                              std::to_string(w->width()));
        }
    };
    for (const QWidget* w : root.findChildren<QWidget*>()) {
        const QFontMetrics fm(w->font());
        if (auto* b = qobject_cast<const QPushButton*>(w)) {
            const int margin = 2 * w->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, w);
            report(w, b->text(), fm.horizontalAdvance(b->text()) + margin);
        } else if (auto* c = qobject_cast<const QCheckBox*>(w)) {
            const int indicator =
                w->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
                w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w);
            report(w, c->text(), fm.horizontalAdvance(c->text()) + indicator);
        } else if (auto* l = qobject_cast<const QLabel*>(w)) {
            if (!l->pixmap().isNull() || l->wordWrap()) continue;
            report(w, l->text(), fm.horizontalAdvance(l->text()));
        } else if (auto* g = qobject_cast<const QGroupBox*>(w)) {
            report(w, g->title(), fm.horizontalAdvance(g->title()) + 2 * fm.height());
        }
    }
    return clipped;
}

}  // namespace tabsend::apptest
