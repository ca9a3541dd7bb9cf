#pragma once

namespace zep8 {

// Qt's own texts (file dialogs, standard buttons, the edit boxes' menus) in
// the language of the system's locale, from the translations installed with
// Qt (qtbase_ru from qt6-translations-l10n). The program's own texts are
// Russian already and stay as they are. Once per process; false when no
// translation was found (the English defaults stay).
bool InstallQtTranslations();

}  // namespace zep8
