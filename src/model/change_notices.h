#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace zep8 {

class InvisibleElement;
class Parameter;
struct ChangeListeners;

// What changed in the configuration, for whoever shows it.
struct ChangeNotice {
    enum class Kind {
        Value,     // one parameter's value or state
        Values,    // the values of a node's parameters (every node when `node` is null)
        Rebuilt,   // nodes got new parameter lists: rows made for the old ones are gone
        Title,     // the document's name
        Modified,  // the document's modified flag
    };
    Kind kind = Kind::Values;
    const Parameter* parameter = nullptr;
    const InvisibleElement* node = nullptr;

    static ChangeNotice ValueOf(const Parameter& p) { return {Kind::Value, &p, nullptr}; }
    static ChangeNotice ValuesOf(const InvisibleElement* node) {
        return {Kind::Values, nullptr, node};
    }
    static ChangeNotice AllValues() { return {Kind::Values, nullptr, nullptr}; }
    static ChangeNotice Of(Kind kind) { return {kind, nullptr, nullptr}; }
};

// A plain list of listeners, run in the order they subscribed. Once a
// thread is named for them (DeliverOn), they run on that thread only: a
// notice from elsewhere is carried there. A listener never runs once its
// subscription has gone.
class ChangeNotices {
  public:
    using Listener = std::function<void(const ChangeNotice&)>;

    // Ends the listener's subscription when it goes.
    class Subscription {
      public:
        Subscription() = default;
        Subscription(Subscription&&) noexcept = default;
        Subscription& operator=(Subscription&&) noexcept = default;
        ~Subscription();

      private:
        friend class ChangeNotices;
        Subscription(std::weak_ptr<ChangeListeners> list, int id)
            : list_(std::move(list)), id_(id) {}
        std::weak_ptr<ChangeListeners> list_;
        int id_ = 0;
    };

    ChangeNotices();
    ChangeNotices(const ChangeNotices&) = delete;
    ChangeNotices& operator=(const ChangeNotices&) = delete;

    using Poster = std::function<void(std::function<void()>)>;

    [[nodiscard]] Subscription Subscribe(Listener listener);
    // The listeners' thread, and how a delivery gets there from another.
    void DeliverOn(std::thread::id thread, Poster post);
    void Notify(const ChangeNotice& notice) const;

  private:
    std::shared_ptr<ChangeListeners> listeners_;
};

}  // namespace zep8
