#include "model/channels.h"

namespace zep8 {

void Channels::StopPolls() {
    if (pollStopper_) pollStopper_();
}

void Channels::SetChannelCaptions() {
    for (int i = 0; i < kInputCount; ++i) {
        channel(i).caption = channel(i).GetTypeName() + " №" + std::to_string(i + 1);
    }
}

void Channels::InitParameters() {
    StopPolls();
    InvisibleElement::InitParameters();
    AddParameter("Cj-.C");
    SetChannelCaptions();
    for (int i = 0; i < kInputCount; ++i) {
        channel(i).InitParameters();
        channel(i).SetCommonIndex(i);
    }
}

void Channels::ResetValues() {
    InvisibleElement::ResetValues();
    StopPolls();
    SetChannelCaptions();
    for (Channel& c : channels_) c.ResetValues();
}

TransferCounts Channels::CompareElement(TransferSession& session) {
    TransferCounts counts = InvisibleElement::CompareElement(session);
    for (Channel& c : channels_) counts += c.CompareElement(session);
    return counts;
}

TransferCounts Channels::ReadElement(TransferSession& session) {
    TransferCounts counts = InvisibleElement::ReadElement(session);
    for (Channel& c : channels_) counts += c.ReadElement(session);
    return counts;
}

TransferCounts Channels::WriteElement(TransferSession& session, bool all) {
    TransferCounts counts = InvisibleElement::WriteElement(session, all);
    for (Channel& c : channels_) counts += c.WriteElement(session, all);
    return counts;
}

void Channels::Serialize(ArchiveWriter& archive) const {
    InvisibleElement::Serialize(archive);
    for (const Channel& c : channels_) c.Serialize(archive);
}

}  // namespace zep8
