#include "ui/frame/csv_save.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace zep8 {

QString AskCsvPath(QWidget* parent, const QString& caption, const QString& stem) {
    const QString proposed = QDir::home().filePath(
        QStringLiteral("%1-%2.csv")
            .arg(stem, QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))));
    QString path = QFileDialog::getSaveFileName(parent, caption, proposed,
                                                QStringLiteral("Таблица CSV (*.csv)"));
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
    return path;
}

}  // namespace zep8
