#include "ui/frame/command_table.h"

#include <algorithm>

namespace zep8 {
namespace {

using Qt::ALT;
using Qt::CTRL;
using Qt::SHIFT;

constexpr CommandKey Standard(QKeySequence::StandardKey key) {
    return {key, {}};
}
constexpr CommandKey Keys(QKeyCombination combination) {
    return {QKeySequence::UnknownKey, combination};
}

// The toolbar's groups, left to right.
constexpr int kFileTools = 1;
constexpr int kDeviceTools = 2;
constexpr int kViewTools = 3;

const CommandRow kCommands[] = {
    {.id = ID_FILE_NEW,
     .menu = MenuOf::File,
     .text = "&Новый\tCtrl+N",
     .keys = {Standard(QKeySequence::New)},
     .prompt = "Создать новую конфигурацию",
     .tip = "Новый",
     .image = "new",
     .toolGroup = kFileTools},
    {.id = ID_FILE_OPEN,
     .menu = MenuOf::File,
     .text = "&Открыть...\tCtrl+O",
     .keys = {Standard(QKeySequence::Open)},
     .prompt = "Открыть существующую конфигурацию",
     .tip = "Открыть",
     .image = "open",
     .toolGroup = kFileTools},
    {.id = ID_FILE_SAVE,
     .menu = MenuOf::File,
     .text = "&Сохранить\tCtrl+S",
     .keys = {Standard(QKeySequence::Save)},
     .prompt = "Сохранить конфигурацию",
     .tip = "Сохранить",
     .image = "save",
     .toolGroup = kFileTools},
    {.id = ID_FILE_SAVE_AS, .menu = MenuOf::File, .text = "Сохранить &как..."},
    {.menu = MenuOf::File},
    {.id = ID_FILE_MRU, .menu = MenuOf::File, .text = "Последние файлы"},
    {.menu = MenuOf::File},
    {.id = ID_APP_EXIT,
     .menu = MenuOf::File,
     .text = "&Выход",
     .prompt = "Закрыть программу-конфигуратор",
     .tip = "Закрыть"},

    {.id = ID_READ_ALL,
     .menu = MenuOf::Device,
     .text = "Считать все параметры\tAlt+R",
     .keys = {Keys(ALT | Qt::Key_R)},
     .prompt = "Считать все параметры из прибора",
     .tip = "Считать все параметры",
     .image = "read",
     .toolGroup = kDeviceTools,
     .needsModule = true,
     .exchanges = true},
    {.id = ID_WRITE_ALL,
     .menu = MenuOf::Device,
     .text = "Записать все параметры\tAlt+W",
     .keys = {Keys(ALT | Qt::Key_W)},
     .prompt = "Записать все параметры из прибора",
     .tip = "Записать все параметры",
     .image = "write",
     .toolGroup = kDeviceTools,
     .needsModule = true,
     .exchanges = true},
    {.id = ID_WRITE_CHANGED,
     .menu = MenuOf::Device,
     .text = "Записать изменения\tAlt+U",
     .keys = {Keys(ALT | Qt::Key_U)},
     .prompt = "Записать только измененные параметры из прибора",
     .tip = "Записать изменения",
     .image = "write_changed",
     .toolGroup = kDeviceTools,
     .needsModule = true,
     .exchanges = true},
    {.id = ID_COMPARE,
     .menu = MenuOf::Device,
     .text = "Сравнить с параметрами в приборе",
     .needsModule = true,
     .exchanges = true},
    {.id = ID_BATCH_WRITE,
     .menu = MenuOf::Device,
     .text = "Записать конфигурацию в несколько приборов",
     .exchanges = true},
    {.id = ID_AUTO_READ,
     .menu = MenuOf::Device,
     .text = "Режим автоматического чтения",
     .needsModule = true,
     .checkable = true},
    {.id = ID_DIFFERENCES_BEFORE_WRITE,
     .menu = MenuOf::Device,
     .text = "Показывать отличия перед записью",
     .checkable = true},
    {.menu = MenuOf::Device},
    {.id = ID_CHANGE_PASSWORD, .menu = MenuOf::Device, .text = "Смена пароля", .needsModule = true},
    {.id = ID_FACTORY_RESET,
     .menu = MenuOf::Device,
     .text = "Восстановление заводских установок\tAlt+I",
     .keys = {Keys(ALT | Qt::Key_I)},
     .needsModule = true,
     .exchanges = true},
    {.id = ID_CALIBRATION,
     .menu = MenuOf::Device,
     .text = "Юстировка\tAlt+C",
     .keys = {Keys(ALT | Qt::Key_C)},
     .needsModule = true,
     .exchanges = true},
    {.menu = MenuOf::Device},
    {.id = ID_SINGLE_POINT,
     .menu = MenuOf::Device,
     .text = "Опрос отдельного параметра\tCtr+Alt+S",
     .keys = {Keys(CTRL | ALT | Qt::Key_S)},
     .needsModule = true,
     .exchanges = true},
    {.id = ID_CHECK_LINK,
     .menu = MenuOf::Device,
     .text = "Проверить связь с прибором\tAlt+N",
     .keys = {Keys(ALT | Qt::Key_N)},
     .needsModule = true,
     .exchanges = true},
    {.id = ID_CONVERTER_SEMI,
     .menu = MenuOf::Converter,
     .text = "Полуавтоматический (PK-2)",
     .checkable = true},
    {.id = ID_CONVERTER_AUTO,
     .menu = MenuOf::Converter,
     .text = "Автоматический (RT 4410)",
     .checkable = true},
    {.id = ID_PORT_SETUP,
     .menu = MenuOf::Device,
     .text = "Настройка порта",
     .needsModule = true,
     .exchanges = true},
    {.id = ID_BUS_SURVEY,
     .menu = MenuOf::Device,
     .text = "Поиск приборов на линии",
     .exchanges = true},
    {.id = ID_LINK_DOCTOR, .menu = MenuOf::Device, .text = "Диагностика связи", .exchanges = true},
    {.id = ID_SERVICE_REPORT,
     .menu = MenuOf::Device,
     .text = "Отчёт о приборе...",
     .exchanges = true},

    {.id = ID_VIEW_STATUS_BAR, .menu = MenuOf::View, .text = "По&дсказки", .checkable = true},
    {.menu = MenuOf::View},
    {.id = ID_TREND_PLOT,
     .menu = MenuOf::View,
     .text = "График опроса входов",
     .image = "plot",
     .toolGroup = kViewTools},
    {.id = ID_BUS_MONITOR, .menu = MenuOf::View, .text = "Монитор обмена", .checkable = true},
    {.id = ID_SHOW_INDEXES,
     .menu = MenuOf::View,
     .text = "Показывать линейные индексы",
     .checkable = true},

    {.id = ID_HELP, .menu = MenuOf::Help, .text = "Справка\tF1", .keys = {Keys(Qt::Key_F1)}},
    {.menu = MenuOf::Help},
    {.id = ID_APP_ABOUT,
     .menu = MenuOf::Help,
     .text = "&О программе...",
     .prompt = "Показать информацию о программе",
     .tip = "О программе...",
     .image = "about",
     .toolGroup = kViewTools},
    {.id = ID_EXPORT_HTML, .menu = MenuOf::Help, .text = "Экспорт списка параметров в HTML"},

    // The program's own network settings and their apply: keys only, and on
    // without the module (a run without it is how new settings are prepared).
    {.id = ID_PROGRAM_NETWORK,
     .keys = {Keys(ALT | Qt::Key_P), Keys(ALT | SHIFT | Qt::Key_P)},
     .exchanges = true},
    {.id = ID_APPLY_NETWORK, .keys = {Keys(ALT | Qt::Key_A)}, .exchanges = true},
};

}  // namespace

QKeySequence CommandKey::sequence() const {
    if (standard != QKeySequence::UnknownKey) return QKeySequence(standard);
    return QKeySequence(combination);
}

std::span<const CommandRow> CommandTable() {
    return kCommands;
}

const CommandRow* FindCommand(int id) {
    const auto found = std::find_if(std::begin(kCommands), std::end(kCommands),
                                    [id](const CommandRow& row) { return row.id == id; });
    return found == std::end(kCommands) || id == 0 ? nullptr : &*found;
}

const char* MenuTitle(MenuOf menu) {
    switch (menu) {
        case MenuOf::File:
            return "&Файл";
        case MenuOf::Device:
            return "Прибор &ЗЕП8";
        case MenuOf::Converter:
            return "Преобразователь интерфейса";
        case MenuOf::View:
            return "Пр&осмотр";
        case MenuOf::Help:
            return "&Справка";
        case MenuOf::None:
            break;
    }
    return "";
}

}  // namespace zep8
