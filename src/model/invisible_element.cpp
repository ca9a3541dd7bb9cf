#include "model/invisible_element.h"

#include "model/archive_writer.h"
#include "model/name_hash.h"
#include "platform/event.h"

namespace zep8 {

int InvisibleElement::SetValue(std::string_view name, std::string_view text, bool mark) {
    if (name == kCaptionName) {
        caption = text;
        return SET_CAPTION;
    }
    return ObjectWithParameters::SetValue(name, text, mark);
}

TransferCounts InvisibleElement::CountGroup(TransferSession& session, TransferCounts counts) {
    session.AddToCounter(ProgressCounter::Groups, 1);
    if (counts.failed != 0) session.AddToCounter(ProgressCounter::GroupsWithErrors, 1);
    return counts;
}

TransferCounts InvisibleElement::CompareElement(TransferSession& session) {
    if (session.AbortEvent().isSet()) return {};
    return CountGroup(session, CompareLoop(session));
}

TransferCounts InvisibleElement::ReadElement(TransferSession& session) {
    if (session.AbortEvent().isSet()) return {};
    SetCommonIndex(GetCommonIndex(session.GetPrompter()));
    return CountGroup(session, ReadLoop(session));
}

TransferCounts InvisibleElement::WriteElement(TransferSession& session, bool all) {
    return CountGroup(session, WriteLoop(session, all));
}

std::uint32_t ParameterKey(const Parameter& parameter) {
    const std::uint32_t index =
        parameter.indexed ? static_cast<std::uint32_t>(parameter.index) : 0xFFFF;
    return (index << 16) | hash_name(parameter.name);
}

void SerializeParameter(ArchiveWriter& archive, const Parameter& p) {
    archive.WriteDword(ParameterKey(p));
    archive.WriteClass("MyConverter", 2);
    archive.WriteString(p.name);
    archive.WriteString(p.value);
    archive.WriteClass("Parameter", 2);
    archive.WriteString(p.title);
    archive.WriteBool(p.indexed);
    archive.WriteInt(p.index);
    archive.WriteInt(p.addressOffset);
    archive.WriteString(p.note);
    archive.WriteBool(p.writable);
    archive.WriteString(p.errorText);
    archive.WriteBool(p.changed);
    archive.WriteBool(p.attrChanged);
    archive.WriteBool(p.pendingWrite);
}

void InvisibleElement::Serialize(ArchiveWriter& archive) const {
    // Every node is stored under the one class name, whatever its own class.
    archive.WriteClass("InvisibleElement", 2);
    archive.WriteString(caption);
    archive.WriteInt(static_cast<std::int32_t>(parameters().size()));
    for (const auto& p : parameters()) SerializeParameter(archive, *p);
}

}  // namespace zep8
