#include "model/object_with_parameters.h"

#include <optional>

#include "platform/event.h"
#include "platform/prompter.h"
#include "platform/text.h"

namespace zep8 {

void ObjectWithParameters::InitParameters() {
    parameters_.clear();
    ++listGeneration_;
}

Parameter& ObjectWithParameters::AddParameter(std::string_view name) {
    parameters_.push_back(std::make_unique<Parameter>(name));
    ++listGeneration_;
    return *parameters_.back();
}

Parameter* ObjectWithParameters::FindParameter(std::string_view name) const {
    for (const auto& p : parameters_) {
        if (EqualsIgnoreCase(p->name, name)) return p.get();
    }
    return nullptr;
}

std::string ObjectWithParameters::GetValue(std::string_view name) const {
    const Parameter* p = FindParameter(name);
    return p ? p->value : std::string();
}

int ObjectWithParameters::SetValue(std::string_view name, std::string_view text, bool mark) {
    Parameter* p = FindParameter(name);
    if (!p) return SET_NOT_FOUND;
    if (mark && !EqualsIgnoreCase(p->value, text)) p->changed = true;
    p->value = text;
    return SET_PARAMETER;
}

template <typename Operation>
TransferCounts ObjectWithParameters::Walk(TransferSession& session, Operation operation) {
    TransferCounts counts;
    const Event& abort = session.AbortEvent();
    if (abort.isSet()) return counts;
    for (const auto& p : parameters_) {
        std::optional<int> status = operation(*p);
        if (!status) continue;  // skipped
        ++counts.processed;
        if (*status != 0) ++counts.failed;
        if (abort.isSet()) break;
    }
    session.AddToCounter(ProgressCounter::Parameters, counts.processed);
    session.AddToCounter(ProgressCounter::ParametersWithErrors, counts.failed);
    return counts;
}

TransferCounts ObjectWithParameters::CompareLoop(TransferSession& session) {
    return Walk(session, [&](Parameter& p) -> std::optional<int> {
        if (!session.ComparesParameter(p)) return std::nullopt;
        return session.CompareParameter(p);
    });
}

TransferCounts ObjectWithParameters::ReadLoop(TransferSession& session) {
    return Walk(session,
                [&](Parameter& p) -> std::optional<int> { return session.ReadParameter(p); });
}

TransferCounts ObjectWithParameters::WriteLoop(TransferSession& session, bool all) {
    return Walk(session, [&](Parameter& p) -> std::optional<int> {
        if (!p.writable || (!all && !p.IsPending())) return std::nullopt;
        return session.WriteParameter(p);
    });
}

TransferCounts ObjectWithParameters::CompareElement(TransferSession& session) {
    return CompareLoop(session);
}

TransferCounts ObjectWithParameters::ReadElement(TransferSession& session) {
    SetCommonIndex(GetCommonIndex(session.GetPrompter()));
    return ReadLoop(session);
}

TransferCounts ObjectWithParameters::WriteElement(TransferSession& session, bool all) {
    return WriteLoop(session, all);
}

int ObjectWithParameters::GetCommonIndex(Prompter& prompter) const {
    int result = commonIndex_;
    for (const auto& p : parameters_) {
        if (!p->indexed) continue;
        if (result == -1) {
            result = p->index;
        } else if (p->index != result) {
            prompter.notify("Параметер '" + p->name + "' (" + p->title +
                                ") имеет подозрительный линейный индекс.",
                            "Предупреждение", Icon::Warning);
        }
    }
    return result;
}

void ObjectWithParameters::SetCommonIndex(int index) {
    for (const auto& p : parameters_) {
        if (p->indexed) p->index = index;
    }
    commonIndex_ = index;
}

int ObjectWithParameters::GetChangeState(const Parameter* parameter) const {
    for (const auto& p : parameters_) {
        if (p.get() != parameter) continue;
        return (!EqualsIgnoreCase(p->name, "Prot") && p->IsPending()) ? 2 : 0;
    }
    return 0;
}

void ObjectWithParameters::ResetValues() {
    ClearValues();
}

void ObjectWithParameters::ClearValues() {
    for (const auto& p : parameters_) {
        p->value = kNoData;
        p->errorText.clear();
        p->changed = p->attrChanged = p->pendingWrite = false;
    }
}

void ObjectWithParameters::ClearChangeFlags() {
    for (const auto& p : parameters_) p->changed = p->attrChanged = p->pendingWrite = false;
}

void ObjectWithParameters::MarkRestored() {
    for (const auto& p : parameters_) {
        p->attrEditable = true;
        p->attrFactory = false;
        p->attrChanged = true;
        p->pendingWrite = true;
    }
}

void ObjectWithParameters::CopyParametersFrom(const ObjectWithParameters& other) {
    parameters_.clear();
    for (const auto& p : other.parameters_) parameters_.push_back(std::make_unique<Parameter>(*p));
    commonIndex_ = other.commonIndex_;
    ++listGeneration_;
}

}  // namespace zep8
