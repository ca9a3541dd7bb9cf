#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace zep8 {

class ChannelPolling;
class CProgressDialog;
class Document;
class Prompter;

// "Отчёт о приборе...", in the device menu.
inline constexpr int ID_SERVICE_REPORT = 32840;

// Asks where to save the report, reads the module off the window thread under
// the job's progress display ("Прервать" stops it), writes the page and opens
// it in the browser without waiting. The page's path when it was written.
std::optional<QString> RunServiceReport(QWidget* parent, Document& document,
                                        const ChannelPolling& polling, CProgressDialog& progress,
                                        Prompter& prompter);

}  // namespace zep8
