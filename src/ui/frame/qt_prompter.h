#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <condition_variable>
#include <mutex>

#include "platform/prompter.h"

namespace zep8 {

// The windows' prompter: message boxes and the password dialog. Callable from
// any thread; the boxes always open on the thread that made the prompter.
class QtPrompter : public QObject, public Prompter {
    Q_OBJECT

  public:
    explicit QtPrompter(QObject* parent = nullptr);

    // The window the boxes belong to; none until the main window exists.
    void setWindow(QWidget* window);
    // While set, a question from another thread gets its safe answer at once
    // (the window is going and will not show it); one already waiting too.
    // A notice, which asks nothing, is then not shown on any thread.
    void Abandon(bool abandoned);

    Answer ask(std::string_view text, std::string_view caption, Buttons buttons,
               Icon icon) override;
    std::optional<std::string> enterText(std::string_view prompt, std::string_view caption,
                                         bool masked) override;
    int choose(std::string_view text, std::string_view caption,
               const std::vector<std::string>& buttons, Icon icon, int safe) override;
    void notifyWithDetails(std::string_view text, std::string_view caption, Icon icon,
                           const std::function<void()>& details) override;

  private:
    bool Abandoned();
    template <typename Result, typename Show>
    Result OnWindowThread(Result unanswered, Show show);

    // `details`: a "Подробнее..." button that runs it and leaves the box open.
    Answer ShowMessage(const QString& text, const QString& caption, Buttons buttons, Icon icon,
                       const std::function<void()>& details = {});
    int ShowChoice(const QString& text, const QString& caption, const QStringList& buttons,
                   Icon icon, int safe);
    std::optional<std::string> ShowTextEntry(const QString& prompt, const QString& caption,
                                             bool masked);

    QPointer<QWidget> window_;
    std::mutex answersMutex_;
    std::condition_variable answered_;
    bool abandoned_ = false;
};

}  // namespace zep8
