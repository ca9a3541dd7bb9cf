#include "model/change_notices.h"

#include <utility>

namespace zep8 {

struct ChangeListeners {
    std::mutex mutex;
    int nextId = 1;
    std::vector<std::pair<int, std::shared_ptr<ChangeNotices::Listener>>> entries;
};

ChangeNotices::Subscription::~Subscription() {
    if (const auto list = list_.lock()) {
        const std::lock_guard lock(list->mutex);
        std::erase_if(list->entries, [this](const auto& entry) { return entry.first == id_; });
    }
}

ChangeNotices::ChangeNotices() : listeners_(std::make_shared<ChangeListeners>()) {}

ChangeNotices::Subscription ChangeNotices::Subscribe(Listener listener) {
    const std::lock_guard lock(listeners_->mutex);
    const int id = listeners_->nextId++;
    listeners_->entries.emplace_back(id, std::make_shared<Listener>(std::move(listener)));
    return Subscription(listeners_, id);
}

void ChangeNotices::Notify(const ChangeNotice& notice) const {
    // A listener may subscribe or leave while it runs: the list is copied first.
    std::vector<std::shared_ptr<Listener>> listeners;
    {
        const std::lock_guard lock(listeners_->mutex);
        for (const auto& entry : listeners_->entries) listeners.push_back(entry.second);
    }
    for (const auto& listener : listeners) (*listener)(notice);
}

}  // namespace zep8
