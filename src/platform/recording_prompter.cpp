#include "platform/recording_prompter.h"

namespace zep8 {

Answer RecordingPrompter::ask(std::string_view text, std::string_view caption, Buttons buttons,
                              Icon icon) {
    std::lock_guard lock(mutex_);
    messages_.push_back({std::string(text), std::string(caption), buttons, icon, {}});
    if (answers_.empty()) return SafeAnswer(buttons);
    const Answer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

int RecordingPrompter::choose(std::string_view text, std::string_view caption,
                              const std::vector<std::string>& buttons, Icon icon, int safe) {
    std::lock_guard lock(mutex_);
    messages_.push_back(
        {std::string(text), std::string(caption), Buttons::OkCancel, icon, buttons});
    if (choices_.empty()) return safe;
    const int choice = choices_.front();
    choices_.pop_front();
    return choice;
}

std::optional<std::string> RecordingPrompter::enterText(std::string_view prompt,
                                                        std::string_view caption, bool) {
    std::lock_guard lock(mutex_);
    messages_.push_back(
        {std::string(prompt), std::string(caption), Buttons::OkCancel, Icon::None, {}});
    if (texts_.empty()) return std::nullopt;
    auto text = texts_.front();
    texts_.pop_front();
    return text;
}

void RecordingPrompter::notifyWithDetails(std::string_view text, std::string_view caption,
                                          Icon icon, const std::function<void()>& details) {
    notify(text, caption, icon);
    bool press = false;
    {
        std::lock_guard lock(mutex_);
        press = detailPresses_ > 0;
        if (press) --detailPresses_;
    }
    if (press) details();
}

void RecordingPrompter::scriptDetails() {
    std::lock_guard lock(mutex_);
    ++detailPresses_;
}

void RecordingPrompter::scriptAnswer(Answer answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

void RecordingPrompter::scriptChoice(int index) {
    std::lock_guard lock(mutex_);
    choices_.push_back(index);
}

void RecordingPrompter::scriptText(std::optional<std::string> text) {
    std::lock_guard lock(mutex_);
    texts_.push_back(std::move(text));
}

std::vector<RecordingPrompter::Message> RecordingPrompter::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::size_t RecordingPrompter::count() const {
    std::lock_guard lock(mutex_);
    return messages_.size();
}

void RecordingPrompter::clear() {
    std::lock_guard lock(mutex_);
    messages_.clear();
    answers_.clear();
    texts_.clear();
    choices_.clear();
    detailPresses_ = 0;
}

}  // namespace zep8
