#include "ops/fleet/service_report_page.h"

#include <initializer_list>

#include "platform/prompter.h"
#include "platform/text.h"
#include "platform/whole_file.h"

namespace zep8 {
namespace {

// Plain, printable on A4 in portrait; a table row is never split over two pages.
constexpr std::string_view kStyle = R"(@page { size: A4 portrait; margin: 14mm 12mm 16mm 12mm; }
* { box-sizing: border-box; }
body { font-family: "DejaVu Sans", "Liberation Sans", Arial, sans-serif; font-size: 9.5pt;
       color: #000; background: #fff; margin: 0; }
@media screen { body { max-width: 200mm; margin: 8mm auto; padding: 0 4mm; } }
h1 { font-size: 16pt; margin: 0 0 4mm 0; }
h2 { font-size: 13pt; margin: 7mm 0 2mm 0; padding-bottom: 1mm; border-bottom: 1.5pt solid #000; }
h3 { font-size: 11pt; margin: 5mm 0 1.5mm 0; }
h4 { font-size: 10pt; margin: 3mm 0 1mm 0; }
p { margin: 1mm 0 2mm 0; }
table { border-collapse: collapse; width: 100%; margin: 0 0 2mm 0; }
th, td { border: 0.5pt solid #777; padding: 1mm 1.5mm; text-align: left; vertical-align: top; }
th { background: #e8e8e8; font-weight: bold; }
table.head th { width: 32%; background: #f2f2f2; font-weight: normal; }
table.fixed { table-layout: fixed; }
td { overflow-wrap: anywhere; }
td.num, th.num { text-align: right; white-space: nowrap; }
td.name { font-family: "DejaVu Sans Mono", "Liberation Mono", monospace; }
tr { page-break-inside: avoid; break-inside: avoid; }
thead { display: table-header-group; }
h2, h3, h4 { page-break-after: avoid; break-after: avoid; }
tr.error td, td.error { color: #c00000; }
td.warn { color: #a04800; }
p.note { color: #444; font-style: italic; }
section.module { page-break-before: always; break-before: page; }
section.module.first { page-break-before: auto; break-before: auto; }
td.ok, p.ok { color: #006400; }
)";

constexpr std::string_view kNoValue = "—";

class Page {
  public:
    void Line(std::string_view text) {
        html_ += text;
        html_ += '\n';
    }
    void Text(std::string_view tag, std::string_view text, std::string_view cls = {}) {
        html_ += "<" + std::string(tag) + Class(cls) + ">" + EscapeHtml(text) + "</" +
                 std::string(tag) + ">\n";
    }
    // One row of cells, each with its own class ("" for none).
    void Row(const std::vector<std::pair<std::string_view, std::string_view>>& cells,
             std::string_view cls = {}) {
        std::string row = "<tr" + Class(cls) + ">";
        for (const auto& [text, cellClass] : cells) {
            row += "<td" + Class(cellClass) + ">" + EscapeHtml(text.empty() ? kNoValue : text) +
                   "</td>";
        }
        Line(row + "</tr>");
    }
    // A table with its column titles; `widths` in per cent, so that the
    // tables of a section line up under each other.
    void Head(std::initializer_list<std::string_view> titles,
              std::initializer_list<int> widths = {}) {
        Line(widths.size() == 0 ? "<table>" : "<table class=\"fixed\">");
        if (widths.size() != 0) {
            std::string columns = "<colgroup>";
            for (int w : widths) columns += "<col style=\"width:" + std::to_string(w) + "%\">";
            Line(columns + "</colgroup>");
        }
        std::string row = "<thead><tr>";
        for (std::string_view t : titles) row += "<th>" + EscapeHtml(t) + "</th>";
        Line(row + "</tr></thead>");
    }
    // A row of the head tables: the title as a header cell, then the value.
    void Field(std::string_view title, std::string_view value, std::string_view cls = {}) {
        Line("<tr><th>" + EscapeHtml(title) + "</th><td" + Class(cls) + ">" +
             EscapeHtml(value.empty() ? kNoValue : value) + "</td></tr>");
    }
    std::string html() && { return std::move(html_); }

  private:
    static std::string Class(std::string_view cls) {
        return cls.empty() ? std::string() : " class=\"" + std::string(cls) + "\"";
    }
    std::string html_;
};

std::string ModuleTitle(const ModuleSection& m) {
    return "Прибор по адресу " + std::to_string(m.address);
}

std::string Anchor(const ModuleSection& m) {
    return "module-" + std::to_string(m.address);
}

// A module's verdict in words, and the class that colours it.
struct Outcome {
    std::string text;
    std::string_view style;  // "ok", "warn" (differs from the file) or "error"
};

Outcome OutcomeOf(const ModuleSection& m) {
    if (!m.failure.empty())
        return {m.device.empty() ? "не отвечает: " + m.failure : m.failure, "error"};
    if (m.failed > 0) return {"не прочитано параметров: " + std::to_string(m.failed), "error"};
    if (m.compared && !m.differences.empty()) return {"отличается от конфигурации", "warn"};
    return {"в порядке", "ok"};
}

void WriteHead(Page& page, const ServiceReport& report) {
    page.Line("<table class=\"head\">");
    page.Field("Дата составления", report.date);
    page.Field("Программа", std::string(kProgramTitle) + ", версия " + report.program.version);
    page.Field("Порт", report.port);
    page.Field("Настройки порта", report.portSettings);
    page.Field("Конфигурация для сравнения",
               report.configuration.empty() ? std::string("не открыта") : report.configuration);
    page.Line("</table>");
}

void WriteSummary(Page& page, const ServiceReport& report) {
    page.Text("h2", "Сводка");
    page.Head({"Адрес", "Прибор", "Версия ПО", "Параметров", "Не прочитано", "Отличий", "Итог"},
              {8, 12, 11, 14, 14, 11, 30});
    if (report.modules.empty())
        page.Line("<tr><td colspan=\"7\">Ни один прибор не ответил.</td></tr>");
    for (const ModuleSection& m : report.modules) {
        const std::string address = std::to_string(m.address);
        // A module that did not answer has no counts to show.
        const bool read = !m.device.empty();
        const std::string parameters = read ? std::to_string(m.parameters) : std::string(kNoValue);
        const std::string failed = read ? std::to_string(m.failed) : std::string(kNoValue);
        const std::string differences =
            m.compared ? std::to_string(m.differences.size()) : std::string(kNoValue);
        const Outcome outcome = OutcomeOf(m);
        page.Row({{address, "num"},
                  {m.device, ""},
                  {m.version, ""},
                  {parameters, "num"},
                  {failed, "num"},
                  {differences, "num"},
                  {outcome.text, outcome.style}},
                 outcome.style == "error" ? "error" : "");
    }
    page.Line("</table>");
}

void WriteIdentification(Page& page, const ModuleSection& m) {
    page.Line("<table class=\"head\">");
    page.Field("Прибор (dev)", m.device);
    page.Field("Версия ПО (ver)", m.version);
    page.Field("Адрес", std::to_string(m.address));
    const Outcome outcome = OutcomeOf(m);
    page.Field("Итог", outcome.text, outcome.style);
    page.Line("</table>");
}

bool AnyError(const ModuleSection& m) {
    for (const ReportGroup& g : m.groups) {
        for (const ReportRow& r : g.rows) {
            if (!r.error.empty()) return true;
        }
    }
    return false;
}

void WriteParameters(Page& page, const ModuleSection& m) {
    if (m.groups.empty()) return;
    page.Text("h3", "Параметры прибора");
    // The error column only when some parameter has one: the tables stay readable.
    const bool errors = AnyError(m);
    for (const ReportGroup& group : m.groups) {
        page.Text("h4", group.caption);
        if (errors) {
            page.Head({"Описание", "Имя параметра", "Значение", "Атрибут редактирования",
                       "Ошибки ввода-вывода"},
                      {32, 11, 19, 16, 22});
        } else {
            page.Head({"Описание", "Имя параметра", "Значение", "Атрибут редактирования"},
                      {42, 13, 25, 20});
        }
        for (const ReportRow& r : group.rows) {
            std::vector<std::pair<std::string_view, std::string_view>> cells{
                {r.title, ""}, {r.name, "name"}, {r.value, ""}, {r.attribute, ""}};
            if (errors) cells.emplace_back(r.error, "");
            page.Row(cells, r.error.empty() ? "" : "error");
        }
        page.Line("</table>");
    }
}

void WriteDifferences(Page& page, const ServiceReport& report, const ModuleSection& m) {
    if (m.groups.empty()) return;
    page.Text("h3", "Отличия от конфигурации");
    if (!m.compared) {
        page.Text("p", "Конфигурация не открыта: сравнение не проводилось.", "note");
        return;
    }
    page.Text("p", "Файл: " + report.configuration);
    if (!m.networkCompared) {
        page.Text("p", "Сетевые параметры не сравнивались: у каждого прибора на линии свои.",
                  "note");
    }
    if (m.differences.empty()) {
        page.Text("p", "Отличий не обнаружено", "ok");
        return;
    }
    page.Text("p", "Обнаружены отличия (" + std::to_string(m.differences.size()) + "):");
    page.Head(
        {"Группа", "Параметр", "Наименование", "Значение в конфигурации", "Значение в приборе"});
    for (const Difference& d : m.differences) {
        page.Row({{d.group, ""},
                  {d.parameter, "name"},
                  {d.name, ""},
                  {d.configValue, ""},
                  {d.moduleValue, ""}});
    }
    page.Line("</table>");
}

void WriteInputs(Page& page, const ModuleSection& m) {
    if (m.inputs.empty()) return;
    page.Text("h3", "Значения входов");
    page.Head({"Вход", "Название", "Значение", "Время", "Источник"}, {8, 28, 30, 12, 22});
    for (const InputReading& r : m.inputs) {
        const std::string input = std::to_string(r.input + 1);
        const std::string& value = r.error.empty() ? r.value : r.error;
        page.Row({{input, "num"},
                  {r.label, ""},
                  {value, ""},
                  {r.time, "num"},
                  {r.polled ? "опрос входа" : "чтение для отчёта", ""}},
                 r.error.empty() ? "" : "error");
    }
    page.Line("</table>");
}

void WriteModule(Page& page, const ServiceReport& report, const ModuleSection& m, bool first) {
    page.Line("<section class=\"module" + std::string(first ? " first" : "") + "\" id=\"" +
              Anchor(m) + "\">");
    page.Text("h2", ModuleTitle(m));
    // What a reader looks for first: the verdict, the differences, the values.
    WriteIdentification(page, m);
    WriteDifferences(page, report, m);
    WriteInputs(page, m);
    WriteParameters(page, m);
    page.Line("</section>");
}

}  // namespace

std::string ServiceReportPage(const ServiceReport& report) {
    Page page;
    const bool several = report.modules.size() != 1;
    const std::string title = several ? "Отчёт о приборах ЗЕП8" : "Отчёт о приборе ЗЕП8";
    page.Line("<!DOCTYPE html>");
    page.Line("<html lang=\"ru\">");
    page.Line("<head>");
    page.Line("<meta charset=\"utf-8\">");
    page.Text("title", title + " — " + report.date);
    page.Line("<style>");
    page.Line(kStyle);
    page.Line("</style>");
    page.Line("</head>");
    page.Line("<body>");
    page.Text("h1", title);
    WriteHead(page, report);
    if (several) WriteSummary(page, report);
    bool first = !several;
    for (const ModuleSection& m : report.modules) {
        WriteModule(page, report, m, first);
        first = false;
    }
    page.Line("</body>");
    page.Line("</html>");
    return std::move(page).html();
}

std::optional<std::string> WriteServiceReport(const std::string& path,
                                              const ServiceReport& report) {
    return WriteWholeFile(path, ServiceReportPage(report));
}

}  // namespace zep8
