#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/prompter.h"

namespace zep8 {

// Test double: records every message and answers from a script, falling back
// to the safe answer. Safe to use from several threads.
class RecordingPrompter : public Prompter {
  public:
    struct Message {
        std::string text;
        std::string caption;
        Buttons buttons;
        Icon icon;
        std::vector<std::string> choices;  // a choose()'s buttons
    };

    Answer ask(std::string_view text, std::string_view caption, Buttons buttons,
               Icon icon) override;
    std::optional<std::string> enterText(std::string_view prompt, std::string_view caption,
                                         bool masked) override;
    // Records the notice; presses "Подробнее..." once when scripted to.
    void notifyWithDetails(std::string_view text, std::string_view caption, Icon icon,
                           const std::function<void()>& details) override;

    // Answers the next choose() with the button `index`; unscripted, its safe one.
    int choose(std::string_view text, std::string_view caption,
               const std::vector<std::string>& buttons, Icon icon, int safe) override;

    void scriptAnswer(Answer answer);
    void scriptChoice(int index);
    void scriptText(std::optional<std::string> text);
    void scriptDetails();

    std::vector<Message> messages() const;
    std::size_t count() const;
    void clear();

  private:
    mutable std::mutex mutex_;
    std::vector<Message> messages_;
    std::deque<Answer> answers_;
    std::deque<std::optional<std::string>> texts_;
    std::deque<int> choices_;
    int detailPresses_ = 0;
};

}  // namespace zep8
