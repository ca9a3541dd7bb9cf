#include "ui/frame/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#ifdef ZEP8_EMBEDDED_QT_TRANSLATIONS
// Qt for Windows is built here without translations: the program carries
// qtbase_ru inside it, in a resource of this static library.
static void InitQtTranslationsResource() {
    Q_INIT_RESOURCE(qt_translations);
}
#endif

namespace zep8 {

bool InstallQtTranslations() {
    static bool installed = false;
    if (installed) return true;
    // Lives as long as the application: a removed translator takes its texts along.
    auto* translator = new QTranslator(QCoreApplication::instance());
    bool loaded = translator->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                                   QLibraryInfo::path(QLibraryInfo::TranslationsPath));
#ifdef ZEP8_EMBEDDED_QT_TRANSLATIONS
    if (!loaded) {
        InitQtTranslationsResource();
        loaded = translator->load(QLocale::system(), QStringLiteral("qtbase"), QStringLiteral("_"),
                                  QStringLiteral(":/qt_translations"));
    }
#endif
    if (!loaded) {
        delete translator;
        return false;
    }
    installed = QCoreApplication::installTranslator(translator);
    return installed;
}

}  // namespace zep8
