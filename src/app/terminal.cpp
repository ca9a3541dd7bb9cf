#include "app/terminal.h"

namespace zep8 {

Answer StreamPrompter::ask(std::string_view text, std::string_view caption, Buttons buttons, Icon) {
    std::lock_guard lock(mutex_);
    out_ << caption << ": " << text << std::endl;
    lastText_ = text;
    return SafeAnswer(buttons);
}

std::string StreamPrompter::lastText() const {
    std::lock_guard lock(mutex_);
    return lastText_;
}

std::optional<std::string> StreamPrompter::enterText(std::string_view prompt,
                                                     std::string_view caption, bool) {
    std::lock_guard lock(mutex_);
    out_ << caption << ": " << prompt << " (нет ответа)" << std::endl;
    return std::nullopt;
}

void StreamJobObserver::JobStarted(Job, std::string_view caption) {
    for (auto& c : counters_) c = 0;
    out_ << caption << "..." << std::endl;
}

void StreamJobObserver::CounterChanged(ProgressCounter counter, int value) {
    counters_[static_cast<int>(counter)] = value;
}

void StreamJobObserver::JobFinished() {
    using C = ProgressCounter;
    auto at = [this](C c) { return counters_[static_cast<int>(c)].load(); };
    out_ << "Папок: " << at(C::Groups) << " (с ошибками " << at(C::GroupsWithErrors)
         << "), параметров: " << at(C::Parameters) << " (с ошибками " << at(C::ParametersWithErrors)
         << ")" << std::endl;
    finished_.set();
}

void StreamJobObserver::WaitForJob() {
    finished_.wait(Event::kInfinite);
}

}  // namespace zep8
