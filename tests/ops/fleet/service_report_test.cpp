// The service report of one virtual module: what it read, and the page and
// file made of it.
#include "ops/fleet/service_report.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "ops/fleet/service_report_page.h"
#include "platform/file_path.h"
#include "support/device_on_pty.h"

namespace zep8 {
namespace {

class ServiceReportTest : public testing::DeviceOnPty {};

const ReportRow* FindRow(const ModuleSection& section, std::string_view group,
                         std::string_view name) {
    for (const ReportGroup& g : section.groups) {
        if (g.caption != group) continue;
        for (const ReportRow& r : g.rows) {
            if (r.name == name) return &r;
        }
    }
    return nullptr;
}

TEST_F(ServiceReportTest, OneModuleHasItsIdentificationRowsAndInputs) {
    module().setValue("in.Fd", 2, 45);
    ASSERT_TRUE(module().setAttributes("in.Fd", 2, 0x02));  // not editable, the user's
    PolledInputs polled;
    polled[0] = InputReading{0, "<Печь & сушка>", "21.5", "", "10:00:00", true};

    const Event abort(Event::Reset::Manual);
    ModuleReportReader reader(*device, abort, &observer);
    ServiceReport report = NewServiceReport(device->port().settings, "");
    report.modules.push_back(reader.Read(nullptr, true, polled));
    const ModuleSection& m = report.modules[0];

    EXPECT_EQ(m.device, "ZEP-8");
    EXPECT_EQ(m.version, "v7.12");
    EXPECT_EQ(m.address, simulated.module().activeSettings().address);
    EXPECT_TRUE(m.failure.empty()) << m.failure;
    EXPECT_EQ(m.failed, 0);
    EXPECT_GT(m.parameters, 80);
    EXPECT_EQ(m.groups.size(), 3u + kInputCount);
    const ReportRow* filter = FindRow(m, "Вход №3", "in.Fd");
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->value, "45");
    EXPECT_EQ(filter->attribute, "Не редактируемый");
    EXPECT_FALSE(m.compared);
    ASSERT_EQ(m.inputs.size(), static_cast<std::size_t>(kInputCount));
    EXPECT_TRUE(m.inputs[0].polled);  // the poll's value, not read again
    EXPECT_FALSE(m.inputs[1].polled);
    EXPECT_EQ(m.inputs[1].label, "Вход №2");
    EXPECT_GT(observer.counter(ProgressCounter::Parameters), 80);

    const std::string page = ServiceReportPage(report);
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    EXPECT_NE(page.find("@page { size: A4"), std::string::npos);
    EXPECT_NE(page.find("<h2>Прибор по адресу " + std::to_string(m.address) + "</h2>"),
              std::string::npos);
    EXPECT_NE(page.find("<tr><th>Прибор (dev)</th><td>ZEP-8</td></tr>"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"name\">in.Fd</td><td>45</td><td>Не редактируемый</td>"),
              std::string::npos);
    EXPECT_NE(page.find("&lt;Печь &amp; сушка&gt;"), std::string::npos);
    EXPECT_EQ(page.find("<Печь"), std::string::npos);
    EXPECT_EQ(page.find("Сводка"), std::string::npos) << "one module: no summary";
    EXPECT_EQ(page.find("http"), std::string::npos) << "nothing fetched from elsewhere";

    // Written whole, or not at all with the reason.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("zep8-report-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    EXPECT_EQ(WriteServiceReport(Utf8Name(dir / "r.html"), report), std::nullopt);
    {
        std::ifstream in(dir / "r.html");  // closed before the folder goes
        std::stringstream written;
        written << in.rdbuf();
        EXPECT_EQ(written.str(), page);
    }
    const std::string missing = Utf8Name(dir / FilePath("нет") / "r.html");
    const auto refused = WriteServiceReport(missing, report);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(*refused, "Не удалось создать файл рядом с '" + missing + "': нет такой папки или файла");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zep8
