#pragma once

#include <QString>

class QWidget;

namespace zep8 {

// Asks where to save a table: a name in the home folder to start with (the
// stem and the date and time), ".csv" added when the operator gave no suffix.
// Empty when cancelled.
QString AskCsvPath(QWidget* parent, const QString& caption, const QString& stem);

}  // namespace zep8
