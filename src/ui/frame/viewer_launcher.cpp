#include "ui/frame/viewer_launcher.h"

#include <QSocketNotifier>
#include <QTimer>
#include <optional>
#ifdef _WIN32
#include <QDesktopServices>
#include <QUrl>
#endif

#include "platform/child_process.h"

namespace zep8 {
namespace {

// One started viewer, until it has ended.
class ViewerWatch : public QObject {
  public:
    ViewerWatch(ChildProcess child, std::function<void()> failed, QObject* parent)
        : QObject(parent), child_(std::move(child)), failed_(std::move(failed)) {
        if (child_.endFd() >= 0) {
            auto* notifier = new QSocketNotifier(child_.endFd(), QSocketNotifier::Read, this);
            connect(notifier, &QSocketNotifier::activated, this, [this, notifier] {
                notifier->setEnabled(false);
                Check();
            });
        } else {
            auto* timer = new QTimer(this);
            connect(timer, &QTimer::timeout, this, &ViewerWatch::Check);
            timer->start(100);
        }
    }

  private:
    void Check() {
        const std::optional<int> status = child_.Ended();
        if (!status) return;
        if (*status != 0 && failed_) failed_();
        deleteLater();
    }

    ChildProcess child_;
    std::function<void()> failed_;
};

}  // namespace

void ViewerLauncher::Open(const std::string& file, std::function<void()> failed) {
#ifdef _WIN32
    // The program the system has for the file's kind (ShellExecute), which
    // returns as soon as that program has started.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromUtf8(file))) && failed) failed();
    return;
#endif
    std::optional<ChildProcess> child = ChildProcess::Start({"xdg-open", file});
    if (!child) {
        if (failed) failed();
        return;
    }
    new ViewerWatch(std::move(*child), std::move(failed), this);
}

}  // namespace zep8
