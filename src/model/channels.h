#pragma once

#include <array>
#include <atomic>
#include <functional>

#include "model/channel.h"
#include "platform/process_state.h"

namespace zep8 {

// The inputs: the setting common to all of them, then the eight inputs.
// Also holds the polling log switch, which is neither a row nor stored.
class Channels : public InvisibleElement {
  public:
    // Called before the parameters are rebuilt or reset, so that the polls of
    // the inputs stop (and say so in the log) before their rows go.
    using PollStopper = std::function<void()>;

    Channels() : logSwitch("    ") { caption = GetTypeName(); }
    std::string_view GetRuntimeClass() const override { return "Channels"; }

    void InitParameters() override;
    void ResetValues() override;
    TransferCounts CompareElement(TransferSession& session) override;
    TransferCounts ReadElement(TransferSession& session) override;
    TransferCounts WriteElement(TransferSession& session, bool all) override;
    void Serialize(ArchiveWriter& archive) const override;

    int GetImage() const override { return 5; }
    int GetSelectedImage() const override { return 6; }
    std::string GetTypeName() const override { return "Входы"; }

    Channel& channel(int i) { return channels_.at(static_cast<std::size_t>(i)); }
    const Channel& channel(int i) const { return channels_.at(static_cast<std::size_t>(i)); }

    void SetPollStopper(PollStopper stopper) { pollStopper_ = std::move(stopper); }

    Parameter logSwitch;
    std::atomic<bool> loggingOn{false};

  private:
    void StopPolls();
    void SetChannelCaptions();

    std::array<Channel, kInputCount> channels_;
    PollStopper pollStopper_;
};

}  // namespace zep8
