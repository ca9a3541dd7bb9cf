#pragma once

// Small things every window of the program needs.
#include <QApplication>
#include <QBoxLayout>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <string_view>

#include "ui/frame/thread_calls.h"

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

// The width a title bar needs for the whole caption. The window manager draws
// it in a font of its own, unknown here: the application's font made bold, as
// most title bars draw it, and room for the bar's icon and buttons.
inline int CaptionWidth(const QString& caption) {
    constexpr int kTitleBarRoom = 120;
    QFont font = QApplication::font();
    font.setBold(true);
    return QFontMetrics(font).horizontalAdvance(caption) + kTitleBarRoom;
}

// Keeps a window wide enough for its whole caption, or for the widest of
// `captions` when its caption changes while it is open.
inline void KeepCaptionWhole(QWidget& window, const QStringList& captions = {}) {
    int wanted = CaptionWidth(window.windowTitle());
    for (const QString& caption : captions) wanted = std::max(wanted, CaptionWidth(caption));
    QLayout* layout = window.layout();
    auto* box = qobject_cast<QBoxLayout*>(layout);
    if (box && (box->direction() == QBoxLayout::TopToBottom ||
                box->direction() == QBoxLayout::BottomToTop)) {
        // Inside the layout, so that its own minimum and a fixed size still hold.
        const QMargins margins = box->contentsMargins();
        box->addStrut(wanted - margins.left() - margins.right());
        return;
    }
    // A minimum of the window's own replaces the layout's: it takes both.
    if (layout) wanted = std::max(wanted, layout->minimumSize().width());
    window.setMinimumWidth(std::max(window.minimumWidth(), wanted));
}

// Sizes a window with wrapped texts to its width: Qt would take the height the
// texts need at their narrowest and keep it once the window is made wider.
inline void FitHeightToWidth(QWidget& window) {
    QLayout* layout = window.layout();
    if (!layout) return;
    window.ensurePolished();  // the style's fonts and margins count
    // Before the first show the outer layout still holds the size hints its
    // items had when the form was set up (a field given its height since,
    // a text set): ask every child again.
    for (QWidget* child : window.findChildren<QWidget*>()) child->updateGeometry();
    layout->invalidate();
    layout->activate();
    const int width = std::max(window.sizeHint().width(), window.minimumWidth());
    const int height = layout->hasHeightForWidth() ? layout->totalHeightForWidth(width)
                                                   : window.sizeHint().height();
    window.resize(width, std::max(height, window.minimumHeight()));
}

}  // namespace zep8
