#pragma once

#include <QObject>
#include <functional>
#include <string>

namespace zep8 {

// Opens a file in the desktop's viewer (xdg-open; on Windows the program
// registered for the file's kind) without waiting for it:
// some desktops' xdg-open returns only when the viewer is closed. A viewer
// that cannot start, or ends in a failure, is told through `failed` on the
// window thread; one still open when this goes is left alone.
class ViewerLauncher : public QObject {
  public:
    explicit ViewerLauncher(QObject* parent = nullptr) : QObject(parent) {}

    void Open(const std::string& file, std::function<void()> failed);
};

}  // namespace zep8
