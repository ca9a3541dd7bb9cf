#pragma once

// An edit of a cell of the configuration tree, checked and applied to the
// open configuration; the tree view calls it when an edit ends.

#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "ops/device/group_read.h"

namespace zep8 {

class Device;
class InvisibleElement;
class Parameter;
class Prompter;

// What the tree-list does after an edit of a cell ended.
struct EditOutcome {
    bool changedAnything = false;  // the document counts as modified
    bool accepted = false;         // false: the cell gets its old text back
    std::string cellText;          // the text the cell shows when accepted
    bool updateAllViews = false;   // the program's port settings changed: every value went
    bool pending = false;          // the row waits to be written (green)
};

// What an edit in the configuration tree-list means: the checks a new value
// passes, the password in front of an attribute, the reads when a group
// opens. The window only moves texts between its cells and this.
class ConfigurationEditor {
  public:
    ConfigurationEditor(Device& device, Prompter& prompter);

    // The value cell of `parameter`, a row under `owner`, went from `oldText`
    // to `newText`.
    EditOutcome EditValue(Parameter& parameter, InvisibleElement& owner, std::string_view oldText,
                          std::string_view newText);
    // The attribute cell ("Редактируемый" / "Не редактируемый").
    EditOutcome EditAttribute(Parameter& parameter, std::string_view oldText,
                              std::string_view newText);

    // What opening `node` reads, when auto-read is on: the parameters of a
    // group of the module that hold no data and no error yet. The program's
    // own groups are never read from the module. Null when there is nothing
    // to read, or the group's read is under way already; otherwise the group
    // counts as being read until ExpandReadEnded.
    std::shared_ptr<GroupRead> ReadOnExpand(InvisibleElement& node, bool autoRead);
    void ExpandReadEnded(const InvisibleElement& node);

    // "Установить значение в "Нет данных"".
    void ForgetValue(Parameter& parameter);

    // Why `newText` cannot be the value of `parameter`: the type, and the
    // range when it has one.
    static std::string RefusalText(const Parameter& parameter, std::string_view newText);

  private:
    bool IsModuleGroup(const InvisibleElement& node) const;

    Device& device_;
    Prompter& prompter_;
    std::set<const InvisibleElement*> beingRead_;
};

}  // namespace zep8
