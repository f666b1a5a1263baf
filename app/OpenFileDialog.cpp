#include "app/OpenFileDialog.h"

#include <QFileDialog>
#include <QString>
#include <QStringList>

namespace tabsend {

std::string QtNameFilters(const std::string& filter, std::string* selected, int filterIndex) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString name = parts[i];
        const QString pattern = parts[i + 1];
        // "ini文件(*.ini)" already names its pattern; the dialog reads the last "(…)".
        if (!name.contains('(')) name += " (" + pattern + ")";
        filters << name;
    }
    if (selected) {
        const qsizetype pick = filterIndex - 1;
        *selected = pick >= 0 && pick < filters.size() ? filters[pick].toStdString() : "";
    }
    return filters.join(";;").toStdString();
}

std::string QtOpenFileDialog::ShowOpen(const std::string& filter, int filterIndex) {
    std::string selected;
    const std::string filters = QtNameFilters(filter, &selected, filterIndex);
    QString chosen = QString::fromStdString(selected);
    const QString path = QFileDialog::getOpenFileName(parent_, QString(), QString(),
                                                      QString::fromStdString(filters), &chosen);
    return path.toStdString();
}

}  // namespace tabsend
