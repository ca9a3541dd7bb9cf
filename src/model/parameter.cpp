#include "model/parameter.h"

#include <cmath>

#include "model/catalogue.h"
#include "model/number_text.h"
#include "platform/local_time.h"
#include "platform/prompter.h"

namespace zep8 {
namespace {

// Decimals may overshoot the range by this much (the module rounds them).
constexpr double kRangeTolerance = 0.0009;
// The logging switch of the polling; its value names the log file.
constexpr std::string_view kLogSwitchName = "    ";

// A typed decimal is one whole number, with a point or a comma; it is kept
// with the point.
bool AcceptDecimal(const ParamDescriptor& d, std::string_view typed, const Parameter& self,
                   Prompter& prompter, std::string& stored) {
    const std::optional<std::string> text = TypedNumber(typed);
    if (!text) return false;
    const double x = static_cast<float>(ReadNumber(*text).value);
    if (d.hasRange() && (d.min - x > kRangeTolerance || x - d.max > kRangeTolerance)) {
        return false;
    }
    MyConverter::FitResult fit = self.FitToRange(*text);
    if (fit.status == MyConverter::FIT_NOT_A_NUMBER) return false;
    if (fit.status == MyConverter::FIT_CHANGED) {
        const std::string message = "Значение было округлено с " + *text + " до " + fit.text;
        prompter.notify(message, "Предупреждение", Icon::Warning);
    }
    stored = std::move(fit.text);
    return true;
}

// An empty text is the integer 0; anything else must be one whole number.
bool AcceptInteger(const ParamDescriptor& d, std::string_view typed, std::string& stored) {
    if (typed.empty()) return !d.hasRange() || (d.min <= 0 && d.max >= 0);
    const std::optional<std::string> text = TypedNumber(typed);
    if (!text) return false;
    const double x = ReadNumber(*text).value;
    if (d.hasRange() && (x < d.min || x > d.max)) return false;
    if (!std::isfinite(x) || std::trunc(x) != x) return false;
    stored = *text;
    return true;
}

}  // namespace

Parameter::Parameter() {
    ResetState();
    title = kUnknownTitle;
}

Parameter::Parameter(std::string_view name) {
    ResetState();
    InitByName(name);
}

void Parameter::ResetState() {
    value = kNoData;
    indexed = false;
    changed = false;
    attrChanged = false;
    pendingWrite = false;
    errorText.clear();
    timedOut = false;
    writable = false;
    attrEditable = true;
    attrFactory = false;
    hasAttributes = false;
    addressOffset = 0;
    index = 0;
}

bool Parameter::InitByName(std::string_view newName) {
    name = NormaliseName(newName);
    const CatalogueEntry* entry = FindCatalogueEntry(name);
    if (!entry) {
        title = kUnknownTitle;
        writable = hasAttributes = indexed = false;
        return false;
    }
    title = entry->title;
    writable = entry->writable;
    hasAttributes = entry->hasAttributes;
    indexed = entry->indexed;
    if (name == kLogSwitchName) value = FormatLocalTime("%B%d");
    return true;
}

bool Parameter::AssignValue(std::string_view text, Prompter& prompter) {
    const ParamDescriptor d = GetDescriptor(name);
    std::string stored(text);
    bool accepted = false;
    switch (d.type) {
        case PT_DECIMAL:
            accepted = AcceptDecimal(d, text, *this, prompter, stored);
            break;
        case PT_INTEGER:
            accepted = AcceptInteger(d, text, stored);
            break;
        case PT_ASCII:
            accepted = true;
            break;
        case PT_ENUM:
            for (const std::string& item : d.items) accepted = accepted || item == text;
            break;
        default:
            break;
    }
    if (!accepted) return false;
    value = std::move(stored);
    changed = true;
    return true;
}

}  // namespace zep8
