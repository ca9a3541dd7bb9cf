#include "model/change_notices.h"

#include <utility>

namespace zep8 {

struct ChangeListeners {
    std::mutex mutex;
    int nextId = 1;
    std::vector<std::pair<int, std::shared_ptr<ChangeNotices::Listener>>> entries;
    std::thread::id thread;
    ChangeNotices::Poster post;

    // The listener of `id` while it is subscribed, else null.
    std::shared_ptr<ChangeNotices::Listener> Find(int id) {
        const std::lock_guard lock(mutex);
        for (const auto& entry : entries) {
            if (entry.first == id) return entry.second;
        }
        return nullptr;
    }

    // On the listeners' thread: each one that is still subscribed when its turn comes.
    static void Deliver(const std::shared_ptr<ChangeListeners>& list, const std::vector<int>& ids,
                        const ChangeNotice& notice) {
        for (int id : ids) {
            if (const auto listener = list->Find(id)) (*listener)(notice);
        }
    }
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

void ChangeNotices::DeliverOn(std::thread::id thread, Poster post) {
    const std::lock_guard lock(listeners_->mutex);
    listeners_->thread = thread;
    listeners_->post = std::move(post);
}

void ChangeNotices::Notify(const ChangeNotice& notice) const {
    // A listener may subscribe or leave while others run: the ids are taken
    // first, and each is looked up again just before it runs.
    std::vector<int> ids;
    Poster post;
    {
        const std::lock_guard lock(listeners_->mutex);
        for (const auto& entry : listeners_->entries) ids.push_back(entry.first);
        if (listeners_->post && std::this_thread::get_id() != listeners_->thread) {
            post = listeners_->post;
        }
    }
    if (post) {
        post([list = listeners_, ids = std::move(ids), notice] {
            ChangeListeners::Deliver(list, ids, notice);
        });
    } else {
        ChangeListeners::Deliver(listeners_, ids, notice);
    }
}

}  // namespace zep8
