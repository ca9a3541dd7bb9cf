#pragma once

// Tables for a spreadsheet (UTF-8, ";" between fields): the survey's list of
// modules, a batch write's results and the poll log's CSV lines.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "ops/diagnostics/bus_survey.h"

namespace zep8 {

// Tables for a spreadsheet: UTF-8, ";" between the fields, one header line.

// The list of modules a survey found, as a table for a spreadsheet: UTF-8,
// ";" between the fields, one header line, one line per module.
inline constexpr std::string_view kSurveyCsvHeader =
    "адрес;скорость;формат;прибор;версия;время ответа";
std::string SurveyCsv(const std::vector<SurveyFind>& finds);

// Writes the table to `path` (replacing it whole); the Russian reason when it fails.
std::optional<std::string> SaveSurveyCsv(const std::string& path,
                                         const std::vector<SurveyFind>& finds);

// A field of such a table: quoted when it holds the separator, a quote or a line end.
std::string CsvField(std::string_view text);
// The local time as the tables show it: "2026-12-07T14:03:05".
std::string CsvTime(std::chrono::system_clock::time_point when);
// Saves a table built by the caller, the failure told as "what" and the reason.
std::optional<std::string> SaveCsv(const std::string& path, const std::string& text,
                                   std::string_view what);

}  // namespace zep8
