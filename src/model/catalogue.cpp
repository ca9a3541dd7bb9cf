#include "model/catalogue.h"

#include <array>
#include <mutex>

#include "platform/process_state.h"
#include "platform/text.h"

namespace zep8 {
namespace {

using Items = CatalogueEntry::Items;

constexpr std::string_view kBaudRates[] = {"2400",  "4800",  "9600",  "14400", "19200",
                                           "28800", "38400", "57600", "115200"};
constexpr std::string_view kParities[] = {kParityNone, kParityEven, kParityOdd};
constexpr std::string_view kStopBits[] = {"1", "2"};
constexpr std::string_view kAddressLengths[] = {"8", "11"};
constexpr std::string_view kProtocols[] = {"АРВО", "ModBUS-RTU", "ModBUS-ASCII", "DCON"};
constexpr std::string_view kOnOff[] = {"Выключен", "Включен"};

// Sensor types. The texts mix Latin and Cyrillic look-alike letters exactly as
// the module's documentation prints them; do not "correct" them.
constexpr std::string_view kSensorTypes[] = {
    "Датчик отключен",                                      // 0
    "ТСМ100М (Cu 100) W100=1,426",                          // 1
    "ТСМ50М (Cu 50) W100=1,426",                            // 2
    "ТСП100П (Pt 100) W100=1,385",                          // 3
    "ТСП100П (Pt'100) W100=1,391",                          // 4
    "ТХК(L)",                                               // 5
    "ТХА(K)",                                               // 6
    "Датчик –50…+50мВ",                                     // 7
    "ТСП50П (Pt 50) W100=1,385",                            // 8
    "ТСП50П (Pt'50) W100=1,391",                            // 9
    "ТСМ50М (Cu'50) W100=1,428",                            // 10
    "Датчик 4…20мА",                                        // 11
    "Датчик 0…20мА",                                        // 12
    "Датчик 0…5мА",                                         // 13
    "Датчик 0…1В",                                          // 14
    "ТСМ100М (Cu'100) W100=1,428",                          // 15
    "ТСМ гр.23 (53 Ом)",                                    // 16
    "ТПР (B)",                                              // 17
    "ТПП (S)",                                              // 18
    "ТПП (R)",                                              // 19
    "TНН (N)",                                              // 20
    "ТЖК (J)",                                              // 21
    "ТВР (А-1)",                                            // 22
    "ТВР (А-2)",                                            // 23
    "TВР (А-3)",                                            // 24
    "TМК (Т)",                                              // 25
    "Резистивный датчик задвижки до 0,9 кОм",               // 26
    "Датчик положения задвижки с токовым выходом 0..20мА",  // 27
    "Датчик положения задвижки с токовым выходом 0..5мА",   // 28
    "Датчики контактные (сухие)",                           // 29
    "ТСН100Н (Ni 100) W100=1,617",                          // 30
    "ТСМ500М W100=1.426",                                   // 31
    "ТСМ500М W100=1.428",                                   // 32
    "ТСП500П (Pt 500) W100=1.385",                          // 33
    "ТСП500П (Pt'500) W100=1.391",                          // 34
    "ТСН500Н (Ni 500) W100=1.617",                          // 35
    "ТСМ1000М W100=1.426",                                  // 36
    "ТСМ1000М W100=1.428",                                  // 37
    "ТСП1000П (Pt 1000) W100=1.385",                        // 38
    "ТСП1000П (Pt'1000) W100=1.391",                        // 39
    "ТСН1000Н (Ni 1000) W100=1.617",                        // 40
    "Резистивный датчик задвижки до 2,0 кОм",               // 41
};

constexpr CatalogueEntry Entry(std::string_view name, std::string_view title,
                               std::string_view flags, ValueType type) {
    CatalogueEntry e;
    e.name = name;
    e.title = title;
    e.writable = flags.find('W') != std::string_view::npos;
    e.hasAttributes = flags.find('A') != std::string_view::npos;
    e.indexed = flags.find('I') != std::string_view::npos;
    e.type = type;
    return e;
}

constexpr CatalogueEntry Enum(CatalogueEntry e, std::span<const std::string_view> items,
                              std::string_view factoryDefault = {}) {
    e.items = Items::Fixed;
    e.fixedItems = items;
    e.factoryDefault = factoryDefault;
    return e;
}

constexpr CatalogueEntry Number(CatalogueEntry e, std::uint8_t decimals, double min, double max,
                                std::string_view factoryDefault) {
    e.decimals = decimals;
    e.min = min;
    e.max = max;
    e.factoryDefault = factoryDefault;
    return e;
}

constexpr CatalogueEntry WithItems(CatalogueEntry e, Items items, std::string_view factoryDefault) {
    e.items = items;
    e.factoryDefault = factoryDefault;
    return e;
}

const CatalogueEntry kCatalogue[] = {
    // General (read-only, decoded by name).
    Entry("dev", "Название прибора", "", PT_ASCII),
    Entry("ver", "Версия ПО", "", PT_ASCII),
    Entry("exit", "Причина перезапуска прибора", "", PT_ASCII),
    // Network.
    Enum(Entry("bPS", "Скорость обмена данными", "WA", PT_ENUM), kBaudRates, "9600"),
    WithItems(Entry("LEn", "Длина слова данных", "WA", PT_ENUM), Items::DataLength, "8"),
    Enum(Entry("PrtY", "Контроль по четности слова данных", "WA", PT_ENUM), kParities, kParityNone),
    Enum(Entry("Sbit", "Количество стоп-бит в посылке", "WA", PT_ENUM), kStopBits, "1"),
    Enum(Entry("A.Len", "Длина сетевого адреса", "WA", PT_ENUM), kAddressLengths, "8"),
    Number(Entry("Addr", "Базовый адрес прибора", "WA", PT_INTEGER), 0, 0, 2047, "16"),
    Number(Entry("RS.dL", "Задержка ответа по RS-485, мс", "WA", PT_INTEGER), 0, 0, 50, "2"),
    Enum(Entry("Prot", "Протокол обмена", "WA", PT_ENUM), kProtocols, "АРВО"),
    WithItems(Entry("Port", "Порт компьютера", "W", PT_ENUM), Items::SerialPorts, {}),
    // The program's alone: the module has no such parameter.
    Enum(Entry("Echo", "Эхо передатчика", "W", PT_ENUM), kOnOff, "Выключен"),
    // Inputs, common to all.
    Enum(Entry("Cj-.C", "Режим работы", "WA", PT_ENUM), kOnOff, "Включен"),
    // Per input.
    Enum(Entry("in-t", "Тип датчика", "WAI", PT_ENUM), kSensorTypes, "Датчик отключен"),
    Number(Entry("in.Fd", "Постоянная времени  цифрового фильтра", "WAI", PT_INTEGER), 0, 0, 1800,
           "0"),
    Number(Entry("Itrl", "Интервал между измерениями", "WAI", PT_DECIMAL), 1, 0.3, 30, "0.5"),
    Number(Entry("in.SH", "Сдвиг характеристики датчика", "WAI", PT_DECIMAL), 0, -999, 9999, "0"),
    Number(Entry("in.SL", "Наклон характеристики датчика", "WAI", PT_DECIMAL), 3, 0.9, 1.1, "1"),
    Number(Entry("in.FG", "Полоса цифрового фильтра", "WAI", PT_DECIMAL), 0, 0, 9999, "0"),
    Number(
        Entry("Ain.L", "Нижняя граница диапазона измерения активного датчика", "WAI", PT_DECIMAL),
        0, -999, 9999, "0"),
    Number(
        Entry("Ain.H", "Верхняя граница диапазона измерения активного датчика", "WAI", PT_DECIMAL),
        0, -999, 9999, "100"),
    Number(Entry("dP", "Смещение десятичной точки", "WAI", PT_INTEGER), 0, 0, 3, "0"),
    // The program's service rows; never sent to the module.
    Entry(" ", "Версия программы", "", PT_NONE),
    Entry("  ", "Копирайт", "", PT_NONE),
    Entry("   ", "Операционная система", "", PT_NONE),
    Entry("    ", "Сохранять протокол в файл", "W", PT_ASCII),
    // Measured value of an input (decoded by name) and a module parameter no node shows.
    Entry("rEAd", "Измерение", "W", PT_NONE),
    Entry("n.Flt", "Кол-во активных фильтров сообщений", "WA", PT_NONE),
};

constexpr std::string_view kInputParameters[] = {"in-t",  "in.Fd", "Itrl",  "in.SH", "in.SL",
                                                 "in.FG", "Ain.L", "Ain.H", "dP"};

std::mutex portProviderMutex;
PortListProvider portProvider;

std::vector<std::string> SerialPortItems() {
    std::string list;
    {
        std::lock_guard lock(portProviderMutex);
        if (portProvider) list = portProvider();
    }
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(':', start);
        // A serial device server ("tcp://HOST:PORT") keeps its own two colons.
        if (end != std::string::npos && list.compare(end, 3, "://") == 0) {
            std::size_t host = end + 3;
            if (host < list.size() && list[host] == '[') host = list.find(']', host);  // [::1]
            const std::size_t portColon = list.find(':', host);
            end = portColon == std::string::npos ? portColon : list.find(':', portColon + 1);
        }
        if (end == std::string::npos) end = list.size();
        if (end > start) items.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

// "7" and "8" data bits, less what the module's current protocol cannot carry.
std::vector<std::string> DataLengthItems() {
    const int mode = processState().ProtocolMode.load();
    std::vector<std::string> items;
    if (mode != PROTOCOL_MODBUS_RTU && mode != PROTOCOL_DCON) items.emplace_back("7");
    if (mode != PROTOCOL_MODBUS_ASCII) items.emplace_back("8");
    return items;
}

}  // namespace

std::string NormaliseName(std::string_view name) {
    std::string_view trimmed = name;
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.remove_suffix(1);
    return std::string(trimmed.empty() ? name : trimmed);
}

std::span<const CatalogueEntry> CatalogueEntries() {
    return kCatalogue;
}

const CatalogueEntry* FindCatalogueEntry(std::string_view name) {
    const std::string normalised = NormaliseName(name);
    for (const CatalogueEntry& entry : kCatalogue) {
        if (EqualsIgnoreCase(entry.name, normalised)) return &entry;
    }
    return nullptr;
}

ParamDescriptor GetDescriptor(std::string_view name) {
    ParamDescriptor d;
    if (Utf8Length(name) <= 8) d.name = std::string(name);
    const CatalogueEntry* entry = FindCatalogueEntry(name);
    if (!entry) return d;
    d.type = entry->type;
    d.decimals = entry->decimals;
    d.min = entry->min;
    d.max = entry->max;
    switch (entry->items) {
        case Items::None:
            break;
        case Items::Fixed:
            d.items.assign(entry->fixedItems.begin(), entry->fixedItems.end());
            break;
        case Items::SerialPorts:
            d.items = SerialPortItems();
            break;
        case Items::DataLength:
            d.items = DataLengthItems();
            break;
    }
    return d;
}

std::optional<std::string_view> FactoryDefault(std::string_view name) {
    const CatalogueEntry* entry = FindCatalogueEntry(name);
    if (!entry || entry->factoryDefault.empty()) return std::nullopt;
    return entry->factoryDefault;
}

std::span<const std::string_view> InputParameterNames() {
    return kInputParameters;
}

void SetPortListProvider(PortListProvider provider) {
    std::lock_guard lock(portProviderMutex);
    portProvider = std::move(provider);
}

}  // namespace zep8
