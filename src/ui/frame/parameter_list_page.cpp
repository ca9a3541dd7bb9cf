#include "ui/frame/parameter_list_page.h"


#include <initializer_list>
#include <iterator>
#include <span>
#include <string_view>

#include "model/catalogue.h"
#include "platform/codepage.h"
#include "platform/text.h"
#include "platform/user_folders.h"
#include "platform/whole_file.h"

namespace zep8 {
namespace {

using Texts = std::span<const std::string_view>;

struct ParameterRow {
    std::string_view name;
    std::string_view hash;
    std::string_view title;
    std::string_view type;  // empty when `choices` lists the values
    Texts choices;          // numbered from 0, as the module counts them
    std::string_view index;
    std::string_view range;
    std::string_view attributes;
};

struct ParameterGroup {
    std::string_view name;
    std::span<const ParameterRow> rows;
};

struct ExceptionCode {
    std::string_view code;
    std::string_view meaning;
};

struct DataFormat {
    std::string_view mnemonic;
    std::string_view description;
};

constexpr std::string_view kNoIndex = "нет индекса";
constexpr std::string_view kPerInput = "0, 1 .. 7";
constexpr std::string_view kNoLimits = "нет ограничений";
constexpr std::string_view kUsual = "обычн. атрибуты";
constexpr std::string_view kNoAttributes = "нет атрибутов";

constexpr std::string_view kBaudRates[] = {"2400",  "4800",  "9600",  "14400", "19200",
                                           "28800", "38400", "57600", "115200"};
constexpr std::string_view kDataBits[] = {"7", "8"};
constexpr std::string_view kParities[] = {kParityNone, kParityEven, kParityOdd};
constexpr std::string_view kStopBits[] = {"1", "2"};
constexpr std::string_view kAddressLengths[] = {"8", "11"};
constexpr std::string_view kOffOn[] = {"Выключен", "Включен"};
constexpr std::string_view kPriorities[] = {"1", "2", "3", "4", "5", "6", "7", "8"};
// The page's own sensor names: older wording than the program's list, kept as published.
constexpr std::string_view kSensorTypes[] = {"Датчик отключен",
                                             "ТСМ 100М W100=1,426",
                                             "ТСМ 50М W100=1,426",
                                             "ТСП 100П W100=1,385",
                                             "ТСП 100П W100=1,391",
                                             "ТХК(L)",
                                             "ТХА(K)",
                                             "Датчик -50..+50мВ",
                                             "ТСП 50П W100=1,385",
                                             "ТСМ 50П W100=1,391",
                                             "ТСМ 50М W100=1,428",
                                             "Датчик 4..20мА",
                                             "Датчик 0..20мА",
                                             "Датчик 0..5мА",
                                             "Датчик 0..1В",
                                             "ТСМ 100М W100=1,428",
                                             "ТСМ гр.23",
                                             "ТПР (B)",
                                             "ТПП (S)",
                                             "ТПП (R)",
                                             "TНН (N)",
                                             "ТЖК (J)",
                                             "ТВР (А-1)",
                                             "ТВР (А-2)",
                                             "TВР (А-3)",
                                             "TМК (Т)",
                                             "Датчик положения резистивный",
                                             "Токовая задвижка 0..20мА или_4…20мА",
                                             "Токовая задвижка 0..5мА",
                                             "Состояние_сухих_контактов"};

constexpr ParameterRow kGeneral[] = {
    {"dev", "D681", "Название прибора", "ASCI", {}, kNoIndex, kNoLimits, kNoAttributes},
    {"ver", "2D5B", "Версия ПО", "ASCI", {}, kNoIndex, kNoLimits, kNoAttributes},
    {"exit", "92ED", "Причины перезапуска прибора", "ASCI", {}, kNoIndex, kNoLimits, kNoAttributes},
};

constexpr ParameterRow kNetwork[] = {
    {"bPS", "B760", "Скорость обмена данными", {}, kBaudRates, kNoIndex, kNoLimits, kUsual},
    {"LEn", "523F", "Длина слова данных", {}, kDataBits, kNoIndex, kNoLimits, kUsual},
    {"PrtY", "E8C4", "Контроль четности", {}, kParities, kNoIndex, kNoLimits, kUsual},
    {"Sbit", "B72E", "Количество стоп-бит", {}, kStopBits, kNoIndex, kNoLimits, kUsual},
    {"A.Len", "1ED2", "Длина сетевого адреса", {}, kAddressLengths, kNoIndex, kNoLimits, kUsual},
    {"Addr", "9F62", "Базовый адрес прибора", "DEC_dot", {}, kNoIndex, "от 0 до 2047", kUsual},
};

constexpr ParameterRow kAllInputs[] = {
    {"Cj-.C",
     "FA68",
     "Режим работы автоматической коррекции по температуре свободных концов ТП",
     {},
     kOffOn,
     kNoIndex,
     kNoLimits,
     kUsual},
};

constexpr ParameterRow kEachInput[] = {
    {"in-t", "932D", "Тип датчика", {}, kSensorTypes, kPerInput, kNoLimits, kUsual},
    {"in.Fd",
     "1659",
     "Постоянная времени цифрового фильтра",
     "DEC_dot",
     {},
     kPerInput,
     "от 0 до 1800",
     kUsual},
    {"Prt", "AF20", "Уровень_приоритета_датчика", {}, kPriorities, kPerInput, kNoLimits, kUsual},
    {"in.SH",
     "F6AB",
     "Сдвиг характеристики датчика",
     "STORED_DOT",
     {},
     kPerInput,
     "от -999 до 9999",
     kUsual},
    {"in.SL",
     "20B6",
     "Наклон характеристики датчика",
     "DEC_dot",
     {},
     kPerInput,
     "от 0.9 до 1.1",
     kUsual},
    {"in.FG",
     "340A",
     "Полоса цифрового фильтра",
     "STORED_DOT",
     {},
     kPerInput,
     "от 0 до 9999",
     kUsual},
    {"Ain.L",
     "34E0",
     "Нижняя граница диапазона измерения активного датчика",
     "STORED_DOT",
     {},
     kPerInput,
     "от -999 до 9999",
     kUsual},
    {"Ain.H",
     "E2FD",
     "Верхняя граница диапазона измерения активного датчика",
     "STORED_DOT",
     {},
     kPerInput,
     "от -999 до 9999",
     kUsual},
};

constexpr ParameterGroup kGroups[] = {
    {"Общие параметры", kGeneral},
    {"Сетевые параметры прибора", kNetwork},
    {"Входы", kAllInputs},
    {"Входы \\ Вход №...", kEachInput},
};

constexpr ExceptionCode kExceptionCodes[] = {
    {"0х0", "Значение заведомо неверно"},
    {"0х6", "Данные не готовы"},
    {"0х7", "Датчик отключен"},
    {"0х8", "Велика температура свободных концов ТП"},
    {"0х9", "Мала температура свободных концов ТП"},
    {"0хA", "Вычисленное значение слишком велико"},
    {"0хB", "Вычисленное значение слишком мало"},
    {"0хC", "Короткое замыкание"},
    {"0хD", "Обрыв датчика"},
    {"0хE", "Отсутствие связи с АЦП"},
    {"0хF", "Некорректный калибровочный коэффициент"},
};

constexpr DataFormat kDataFormats[] = {
    {"STORED_DOT", "Значение параметра представляет собой число с плавающей точкой."},
    {"DEC_dot",
     "Знаковое число с односторонней десятичной точкой (i=0 - целое число, i=1 - число с "
     "десятыми долями, и т.п.)"},
    {"ASCI",
     "Параметр, отображаемый не в виде числа, а как последовательность символов (от 1 до 15 "
     "ASCII-символов)."},
};

constexpr std::string_view kTable = R"(<table border="1" width="100%" style="font-size:12px">)";

// The page in UTF-8, one line per call; converted and given CR LF at the end.
class PageWriter {
  public:
    void Line(std::string_view text) {
        text_ += text;
        text_ += "\r\n";
    }
    void Cells(std::initializer_list<std::string_view> cells, std::string_view tag = "td") {
        std::string row = "<tr>";
        for (std::string_view cell : cells) row += Element(tag, Escape(cell));
        Line(row + "</tr>");
    }
    static std::string Element(std::string_view tag, std::string_view inner) {
        return "<" + std::string(tag) + ">" + std::string(inner) + "</" + std::string(tag) + ">";
    }
    static std::string Escape(std::string_view text) { return EscapeHtml(text); }
    std::string Bytes() const { return Utf8ToCp1251(text_); }

  private:
    std::string text_;
};

void WriteParameterRow(PageWriter& page, int number, const ParameterRow& row) {
    const std::string numberText = std::to_string(number);
    if (row.choices.empty()) {
        page.Cells({numberText, row.name, row.hash, row.title, row.type, row.index, row.range,
                    row.attributes});
        return;
    }
    // An enumeration lists its values down the type cell.
    std::string head = "<tr>";
    for (std::string_view cell : {std::string_view(numberText), row.name, row.hash, row.title}) {
        head += PageWriter::Element("td", PageWriter::Escape(cell));
    }
    page.Line(head + R"(<td><ol start="0">)");
    for (std::string_view choice : row.choices) {
        page.Line(PageWriter::Element("li", PageWriter::Escape(choice)));
    }
    std::string tail = "</ol></td>";
    for (std::string_view cell : {row.index, row.range, row.attributes}) {
        tail += PageWriter::Element("td", PageWriter::Escape(cell));
    }
    page.Line(tail + "</tr>");
}

void WriteParameters(PageWriter& page) {
    page.Line("<h4><u>Список параметров:</u></h4>");
    page.Line(kTable);
    for (const ParameterGroup& group : kGroups) {
        page.Line(R"(<tr><td colspan="8" bgcolor="#ffffaa"><b>)" + PageWriter::Escape(group.name) +
                  "</b></td></tr>");
        page.Cells(
            {"№", "Имя", "Hash", "Название", "Тип", "Индекс", "Диапазон значений", "Атрибуты"},
            "th");
        int number = 0;
        for (const ParameterRow& row : group.rows) WriteParameterRow(page, ++number, row);
    }
    page.Line("</table>");
}

void WriteOperativeParameters(PageWriter& page) {
    page.Line("<h4><u>Список оперативных параметров:</u></h4>");
    page.Line(kTable);
    page.Cells(
        {"№", "Имя", "Hash", "Название (смысл)", "Индекс", "Тип значения", "Возможность записи"},
        "th");
    page.Line(
        "<tr><td>1</td><td>rEAd</td><td>8784</td><td>Значение с измерителя</td>"
        "<td>0,1..7 (по измерителям)</td>");
    page.Line("<td>Стандартный 4-х байтовый float (IEEE).<br>");
    page.Line("<u><i>Коды исключительной ситуации:</i></u><br>");
    for (const ExceptionCode& code : kExceptionCodes) {
        const bool last = &code == std::end(kExceptionCodes) - 1;
        page.Line(PageWriter::Element("b", code.code) + " - " + std::string(code.meaning) +
                  (last ? "</td>" : "<br>"));
    }
    page.Line("<td>нет</td></tr>");
    page.Line("</table>");
}

void WriteNotes(PageWriter& page) {
    page.Line("<hr>");
    page.Line("<p><b><u>Примечание:</u></b></p>");
    page.Line("<p><b><u>Форматы представления данных:</u></b></p>");
    page.Line(kTable);
    page.Cells({"№", "Сокращенная мнемоника", "Характеристика"}, "th");
    int number = 0;
    for (const DataFormat& format : kDataFormats) {
        page.Cells({std::to_string(++number), format.mnemonic, format.description});
    }
    page.Line("</table>");
}

}  // namespace

std::string ParameterListPage() {
    PageWriter page;
    // No closing head or html element: browsers take the page as it always was.
    page.Line("<html>");
    page.Line("<head>");
    page.Line(R"(<meta HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=windows-1251">)");
    page.Line("\t<title>Список параметров прибора ЗЕП-8</title>");
    page.Line("<body>");
    WriteParameters(page);
    WriteOperativeParameters(page);
    WriteNotes(page);
    page.Line("</body>");
    return page.Bytes();
}

std::string ExportFolder() {
    return UserCacheFolder();
}

std::optional<std::string> WriteParameterListPage(const std::string& folder, std::string& error) {
    const std::string path = folder + "/parlist.html";
    // A viewer never sees half a page, and a planted link at the target is
    // replaced, not followed.
    if (auto failure = WriteSharedFile(path, ParameterListPage())) {
        error = *failure;
        return std::nullopt;
    }
    return path;
}

}  // namespace zep8
