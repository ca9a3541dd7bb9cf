#include <QTemporaryDir>
#include <QTest>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "model/name_hash.h"
#include "platform/codepage.h"
#include "ui/frame/parameter_list_page.h"
#include "ui/ui_test_main.h"

namespace zep8 {
namespace {

std::uint64_t Fnv1a64(const std::string& bytes) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char byte : bytes) {
        hash ^= byte;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

class ParameterListPageTest : public QObject {
    Q_OBJECT

  private slots:
    void pageIsFixedWindows1251WithCrLf();
    void everyHashIsTheNamesHash();
    void exportReplacesTheFileInTheCacheFolder();
};

void ParameterListPageTest::pageIsFixedWindows1251WithCrLf() {
    const std::string page = ParameterListPage();
    QCOMPARE(ParameterListPage(), page);

    for (std::size_t i = 0; i < page.size(); ++i) {
        if (page[i] == '\n') QVERIFY2(i > 0 && page[i - 1] == '\r', "bare line feed");
        if (page[i] == '\r') QVERIFY2(i + 1 < page.size() && page[i + 1] == '\n', "bare return");
    }
    const std::string head = Utf8ToCp1251(
        "<html>\r\n<head>\r\n"
        "<meta HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1251\">\r\n"
        "\t<title>Список параметров прибора ЗЕП-8</title>\r\n");
    QCOMPARE(page.substr(0, head.size()), head);
    QVERIFY(page.ends_with("</body>\r\n"));

    // Every character made it into Windows-1251: the page has no "?" of its own.
    const std::string text = Cp1251ToUtf8(page);
    QCOMPARE(text.find('?'), std::string::npos);
    std::size_t at = 0;
    for (const char* part : {"Список параметров:", "Общие параметры", "Сетевые параметры прибора",
                             "Входы<", "Входы \\ Вход №...", "Список оперативных параметров:",
                             "<b>0х0</b> - ", "<b>0хF</b> - Некорректный калибровочный коэффициент",
                             "Примечание:", "Форматы представления данных:", "ASCII-символов)."}) {
        const std::size_t found = text.find(part, at);
        QVERIFY2(found != std::string::npos, part);
        at = found;
    }

    // Any change to the published page shows here.
    QCOMPARE(page.size(), std::size_t{6972});
    QCOMPARE(Fnv1a64(page), std::uint64_t{0x6955bbf51d23f4c1});
}

void ParameterListPageTest::everyHashIsTheNamesHash() {
    const std::string text = Cp1251ToUtf8(ParameterListPage());
    const std::regex row(R"(<tr><td>\d+</td><td>([^<]+)</td><td>([0-9A-F]{4})</td>)");
    int rows = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), row);
         it != std::sregex_iterator(); ++it, ++rows) {
        const std::string name = (*it)[1];
        const auto hash = static_cast<std::uint16_t>(std::stoul((*it)[2], nullptr, 16));
        QVERIFY2(hash == hash_name(name), name.c_str());
    }
    QCOMPARE(rows, 19);
}

void ParameterListPageTest::exportReplacesTheFileInTheCacheFolder() {
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const std::string root = home.path().toStdString();
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CACHE_HOME", "");
    QCOMPARE(ExportFolder(), root + "/.cache/ARVO");
    qputenv("XDG_CACHE_HOME", (home.path() + "/cache/deep").toUtf8());
    const std::string folder = ExportFolder();
    QCOMPARE(folder, root + "/cache/deep/ARVO");
    QVERIFY(std::filesystem::is_directory(folder));

    std::string error;
    {
        std::ofstream stale(folder + "/parlist.html", std::ios::binary);
        stale << "a much longer page of an older program, a much longer page of an older program";
    }
    for (int run = 0; run < 2; ++run) {
        const auto path = WriteParameterListPage(folder, error);
        QVERIFY2(path.has_value(), error.c_str());
        QCOMPARE(*path, folder + "/parlist.html");
        QCOMPARE(ReadFile(*path), ParameterListPage());
    }
    // Nothing left behind but the page.
    QCOMPARE(std::distance(std::filesystem::directory_iterator(folder),
                           std::filesystem::directory_iterator()),
             std::ptrdiff_t{1});

    QVERIFY(!WriteParameterListPage(root + "/missing", error));
    QVERIFY(error.find(root + "/missing/parlist.html") != std::string::npos);
}

}  // namespace zep8

ZEP8_UI_TEST(ParameterListPageTest, "parameter_list_page_test");
#include "parameter_list_page_test.moc"
