#include "ui/frame/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zep8 {

bool InstallQtTranslations() {
    static bool installed = false;
    if (installed) return true;
    // Lives as long as the application: a removed translator takes its texts along.
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    installed = QCoreApplication::installTranslator(translator);
    return installed;
}

}  // namespace zep8
