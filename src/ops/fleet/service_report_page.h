#pragma once

// The service report laid out as one HTML page and written to a file: for
// zep8 --report= and the window's report command.

#include <optional>
#include <string>
#include <string_view>

#include "ops/fleet/service_report.h"

namespace zep8 {

// The report as one self-contained HTML page in UTF-8, laid out for A4: the
// head, a summary table when it holds several modules, then one section per
// module. No script, no picture, nothing fetched from elsewhere.
std::string ServiceReportPage(const ServiceReport& report);

// Writes the page to `path` whole (WriteWholeFile): an earlier report is never
// left half overwritten. The reason, in Russian, when it cannot.
std::optional<std::string> WriteServiceReport(const std::string& path, const ServiceReport& report);

}  // namespace zep8
