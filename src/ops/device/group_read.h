#pragma once

// The reads of a group the operator opens in the tree, off the window thread;
// started by the tree through configuration_edit.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "model/parameter.h"
#include "platform/event.h"

namespace zep8 {

class Device;
class InvisibleElement;

// The reads of a group opened in the tree. The window thread picks the
// parameters and stores what came back; the exchanges run on another thread
// over copies, so the configuration is written on the window thread only
// and never under the operator's hands. The reads ask the module the program
// talked to when they began, and stop on their own: five failures in a row
// end this group read and nothing else.
class GroupRead {
  public:
    // The window thread: `parameters` of `node`, as they are now.
    GroupRead(Device& device, InvisibleElement& node, const std::vector<Parameter*>& parameters);

    bool empty() const { return items_.empty(); }

    // Any thread: reads a copy of each parameter in turn and hands it to
    // `arrived` with its number. Ends before the next parameter once `stop`
    // is set (or five reads failed in a row); the exchange under way is
    // finished first.
    void Read(const Event& stop,
              const std::function<void(std::size_t item, Parameter read)>& arrived);

    // The window thread: stores what was read into its parameter, unless the
    // parameter has changed since it was picked (an edit, another read, a
    // rebuilt group), the configuration or the line moved on (a new or opened
    // file, the port opened anew, another address or speed), or a job of the
    // transfer thread has the configuration. The parameter stored into, or null.
    Parameter* Store(std::size_t item, const Parameter& read);

  private:
    struct Item {
        Parameter* target;
        Parameter picked;  // the parameter as it was when picked; read from copies of it
    };
    bool Unchanged(const Item& item) const;

    Device& device_;
    InvisibleElement& node_;
    std::vector<Item> items_;
    std::uint64_t epoch_;
    Event failed_{Event::Reset::Manual};  // set by the fifth failure in a row
};

}  // namespace zep8
