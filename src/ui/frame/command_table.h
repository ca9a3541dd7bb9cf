#pragma once

#include <QKeySequence>
#include <span>

namespace zep8 {

// Menu commands, by the numbers the program has always used for them.
enum CommandId : int {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_MRU = 57616,
    ID_APP_EXIT = 57665,
    ID_READ_ALL = 300,
    ID_WRITE_ALL = 301,
    ID_WRITE_CHANGED = 302,
    ID_COMPARE = 308,
    ID_AUTO_READ = 303,
    ID_CHANGE_PASSWORD = 314,
    ID_FACTORY_RESET = 136,
    ID_CALIBRATION = 304,
    ID_SINGLE_POINT = 196,
    ID_CHECK_LINK = 134,
    ID_CONVERTER_SEMI = 32785,
    ID_CONVERTER_AUTO = 32787,
    ID_PORT_SETUP = 32798,
    ID_VIEW_STATUS_BAR = 59393,
    ID_SHOW_INDEXES = 130,
    ID_HELP = 57670,
    ID_APP_ABOUT = 57664,
    ID_EXPORT_HTML = 32790,
    ID_PROGRAM_NETWORK = 137,
    ID_APPLY_NETWORK = 311,
    ID_TREND_PLOT = 32800,
    ID_LINK_DOCTOR = 32830,
    ID_BUS_SURVEY = 32831,
    ID_BUS_MONITOR = 32832,
    ID_BATCH_WRITE = 32833,
    ID_SERVICE_REPORT = 32840,
    ID_DIFFERENCES_BEFORE_WRITE = 32820,
};

// Where a command is offered.
enum class MenuOf { None, File, Device, Converter, View, Help };

// A key of a command: one of the platform's standard keys, or a combination.
struct CommandKey {
    QKeySequence::StandardKey standard = QKeySequence::UnknownKey;
    QKeyCombination combination{};
    bool empty() const {
        return standard == QKeySequence::UnknownKey && combination.toCombined() == 0;
    }
    QKeySequence sequence() const;
};

// One command of the window. The menus, the toolbar, the status-bar prompts
// and which commands a run without the module switches off are all made from
// the rows of one table, in its order.
struct CommandRow {
    int id = 0;                  // 0: a separator in `menu`
    MenuOf menu = MenuOf::None;  // None: reached by its keys only
    const char* text = "";       // as the menu shows it, the keys' text after a tab
    CommandKey keys[2] = {};
    const char* prompt = nullptr;  // the status-bar prompt
    const char* tip = nullptr;     // the tool tip
    const char* image = nullptr;   // the toolbar's image; null: not on the toolbar
    int toolGroup = 0;             // toolbar buttons of one group stand together
    bool needsModule = false;      // off in a run without the module
    bool exchanges = false;        // waits while the window's own exchange runs
    bool checkable = false;
};

// Every command, in the order of the menus.
std::span<const CommandRow> CommandTable();
// The row of `id`; null for an id the table does not have.
const CommandRow* FindCommand(int id);
// A menu's title in the menu bar (or the converter submenu's in the device menu).
const char* MenuTitle(MenuOf menu);

}  // namespace zep8
