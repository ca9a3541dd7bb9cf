#pragma once

// Small things every window of the program needs.
#include <QApplication>
#include <QPlainTextEdit>
#include <QString>
#include <string_view>

namespace zep8 {

// The core's UTF-8 texts as Qt's.
inline QString Q(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The wait cursor while the window thread talks to the module.
class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// A few short lines of settings: the field shows all of them and no more.
inline void ShowLines(QPlainTextEdit& field, const QString& text) {
    field.setPlainText(text);
    field.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // One line more than the text: room for the document's margins.
    const int lines = static_cast<int>(text.count('\n')) + 1;
    const QMargins frame = field.contentsMargins();
    field.setFixedHeight(field.fontMetrics().lineSpacing() * lines + frame.top() + frame.bottom());
}

}  // namespace zep8
