#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "model/my_converter.h"

namespace zep8 {

class Prompter;

// The attribute cell of a parameter with access attributes.
inline constexpr std::string_view kEditableText = "Редактируемый";
inline constexpr std::string_view kNotEditableText = "Не редактируемый";
inline std::string_view EditableText(bool editable) {
    return editable ? kEditableText : kNotEditableText;
}

// One setting of the module or of the program, with what still has to be
// written and how the last exchange went.
class Parameter : public MyConverter {
  public:
    // Only the file loader builds a parameter without a name.
    Parameter();
    explicit Parameter(std::string_view name);

    std::string title;
    bool indexed = false;
    bool changed = false;
    bool attrChanged = false;
    bool pendingWrite = false;  // set by the factory restore
    std::string errorText;      // last exchange error; empty = none
    bool timedOut = false;      // the last exchange failed because the module stayed silent
    std::string note;           // kept in the configuration file only
    bool writable = false;
    bool attrEditable = true;  // module attribute bit 0
    bool attrFactory = false;  // the value belongs to the factory (bit 1, inverted on the wire)
    bool hasAttributes = false;
    std::int32_t addressOffset = 0;  // added to the module's base address
    std::int32_t index = 0;          // input number when `indexed`

    void ResetState();
    // Normalises and stores the name and takes title and flags from the
    // catalogue; false when the catalogue does not know the name.
    bool InitByName(std::string_view name);

    // Validates a text typed by the operator and stores it. May warn through
    // the prompter that a decimal was shortened.
    virtual bool AssignValue(std::string_view text, Prompter& prompter);

    // Something of this parameter waits to be written.
    bool IsPending() const { return changed || attrChanged || pendingWrite; }
};

}  // namespace zep8
