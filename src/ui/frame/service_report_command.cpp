#include "ui/frame/service_report_command.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>
#include <thread>

#include "app/document.h"
#include "ops/fleet/service_report_page.h"
#include "platform/prompter.h"
#include "ui/dialogs/progress_dialog.h"
#include "ui/frame/widget_helpers.h"

namespace zep8 {
namespace {

constexpr std::string_view kReportCaption = "Идет чтение параметров прибора для отчёта";

QString SuggestedPath(Document& document) {
    const QString folder = document.path().empty()
                               ? QDir::homePath()
                               : QFileInfo(QString::fromStdString(document.path())).absolutePath();
    const int address = document.device().SessionTarget().address;
    return folder + QStringLiteral("/Отчёт ЗЕП8, адрес %1.html").arg(address);
}

QString AskPath(QWidget* parent, Document& document) {
    QString path = QFileDialog::getSaveFileName(
        parent, QStringLiteral("Сохранение отчёта о приборе"), SuggestedPath(document),
        QStringLiteral("Страницы HTML (*.html *.htm);;Все файлы (*.*)"));
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".html");
    return path;
}

}  // namespace

std::optional<std::string> MakeServiceReport(Document& document, const ChannelPolling& polling,
                                             CProgressDialog& progress, const std::string& path) {
    // Everything the window owns is copied here, on its thread; the worker
    // touches only the copies and the link.
    Device& device = document.device();
    std::unique_ptr<Configuration> config;
    if (!document.path().empty()) {
        config = SnapshotConfiguration(device.commonNode, device.netNode, device.channelsNode);
    }
    const PolledInputs polled = LatestPolls(polling);
    ServiceReport report = NewServiceReport(device.PortNow().settings, document.path());
    // "Прервать" in the display stops this report's reads and nothing after.
    ModuleReportReader reader(device, device.NewJobStop(), &progress);
    std::optional<std::string> error;

    progress.JobStarted(Job::ReadAll, kReportCaption);
    std::thread worker([&] {
        report.modules.push_back(reader.Read(config.get(), true, polled));
        error = WriteServiceReport(path, report);
        progress.JobFinished();
    });
    progress.WaitForJob();
    worker.join();
    return error;
}

std::optional<QString> RunServiceReport(QWidget* parent, Document& document,
                                        const ChannelPolling& polling, CProgressDialog& progress,
                                        Prompter& prompter) {
    const QString path = AskPath(parent, document);
    if (path.isEmpty()) return std::nullopt;
    if (const auto error = MakeServiceReport(document, polling, progress, path.toStdString())) {
        prompter.notify("Не удалось записать отчёт о приборе:\n" + *error, kProgramTitle,
                        Icon::Error);
        return std::nullopt;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    return path;
}

}  // namespace zep8
