#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zep8 {

// The caption of a message that names no caption of its own.
inline constexpr std::string_view kProgramTitle = "Конфигуратор ЗЕП-8";

enum class Icon { None, Information, Warning, Error, Question, Stop };
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };

// Every message box and question of the core goes through this interface:
// the windows show a dialog, an automated run prints and takes the safe
// choice, tests record the exact texts.
class Prompter {
  public:
    virtual ~Prompter() = default;

    virtual Answer ask(std::string_view text, std::string_view caption, Buttons buttons,
                       Icon icon) = 0;

    // A line of text typed by the operator (a password when `masked`); nothing
    // when the operator cancels.
    virtual std::optional<std::string> enterText(std::string_view prompt, std::string_view caption,
                                                 bool masked) = 0;

    // A question with buttons of its own (their texts, in order): the index of
    // the one pressed; `safe` when nobody can answer, or the box is closed.
    virtual int choose(std::string_view text, std::string_view caption,
                       const std::vector<std::string>& buttons, Icon icon, int safe) {
        (void)text, (void)caption, (void)buttons, (void)icon;
        return safe;
    }

    void notify(std::string_view text, std::string_view caption, Icon icon) {
        ask(text, caption, Buttons::Ok, icon);
    }

    // A notice with a "Подробнее..." button that runs `details` (on the window
    // thread, the notice staying open). Where nobody can press it, the plain notice.
    virtual void notifyWithDetails(std::string_view text, std::string_view caption, Icon icon,
                                   const std::function<void()>& details) {
        (void)details;
        notify(text, caption, icon);
    }
};

// The answer that loses nothing when nobody can be asked.
constexpr Answer SafeAnswer(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return Answer::Ok;
        case Buttons::OkCancel:
            return Answer::Cancel;
        case Buttons::YesNo:
            return Answer::No;
        case Buttons::YesNoCancel:
            return Answer::Cancel;
    }
    return Answer::Cancel;
}

// Nobody to ask: every question gets its safe answer, no text is typed.
class SilentPrompter : public Prompter {
  public:
    Answer ask(std::string_view, std::string_view, Buttons buttons, Icon) override {
        return SafeAnswer(buttons);
    }
    std::optional<std::string> enterText(std::string_view, std::string_view, bool) override {
        return std::nullopt;
    }
};

}  // namespace zep8
