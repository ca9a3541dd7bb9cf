#pragma once

#include <QString>
#include <optional>
#include <string>

class QWidget;

namespace zep8 {

class ChannelPolling;
class CProgressDialog;
class Document;
class Prompter;

// Reads the module off the window thread under the job's progress display
// ("Прервать" stops it; the window keeps painting) and writes the report to
// `path`, compared with the open configuration when there is one. The reason
// when the page could not be written.
std::optional<std::string> MakeServiceReport(Document& document, const ChannelPolling& polling,
                                             CProgressDialog& progress, const std::string& path);

// The menu command: asks where to save, makes the report, says why when it
// failed, and opens the page in the browser without waiting. The page's path
// when it was written.
std::optional<QString> RunServiceReport(QWidget* parent, Document& document,
                                        const ChannelPolling& polling, CProgressDialog& progress,
                                        Prompter& prompter);

}  // namespace zep8
