#pragma once

// Driving a dialog from a window test: it is modal, so the test's steps run
// from a timer inside the dialog's own event loop.
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

namespace zep8::testing {

// Calls `step` on the first visible top-level T from a timer, so it runs
// inside whatever modal loop shows the dialog, until it returns true or the
// returned watch goes.
template <typename T>
[[nodiscard]] std::unique_ptr<QTimer> WhenShown(std::function<bool(T*)> step) {
    auto timer = std::make_unique<QTimer>();
    QTimer* watch = timer.get();
    QObject::connect(watch, &QTimer::timeout, watch, [watch, step] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* shown = qobject_cast<T*>(widget);
            if (shown && shown->isVisible() && step(shown)) {
                watch->stop();
                return;
            }
        }
    });
    timer->start(10);
    return timer;
}

template <typename T = QPushButton>
T* Child(QWidget* dialog, const char* name) {
    return dialog->findChild<T*>(name);
}

}  // namespace zep8::testing
