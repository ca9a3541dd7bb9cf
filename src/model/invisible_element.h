#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "model/object_with_parameters.h"

namespace zep8 {

class ArchiveWriter;

// A node with a caption of its own, shown as an item of the tree with its
// parameters as rows under it. Every node of the configuration is one.
class InvisibleElement : public ObjectWithParameters {
  public:
    // The pseudo parameter name that addresses the caption.
    static constexpr std::string_view kCaptionName = "Название";

    std::string_view GetRuntimeClass() const override { return "InvisibleElement"; }

    int SetValue(std::string_view name, std::string_view text, bool mark) override;
    TransferCounts CompareElement(TransferSession& session) override;
    TransferCounts ReadElement(TransferSession& session) override;
    TransferCounts WriteElement(TransferSession& session, bool all) override;

    // Stores the node's record: class reference, caption, parameter entries.
    virtual void Serialize(ArchiveWriter& archive) const;

    std::array<std::uint8_t, 16> GetPlacement() const { return {}; }
    virtual int GetImage() const { return 0; }
    virtual int GetSelectedImage() const { return GetImage(); }
    virtual std::string GetTypeName() const { return "Невизуальный элемент"; }
    int GetNumber() const { return -999; }
    std::string GetGroupName() const { return "Не относящиеся ко схеме"; }
    std::string GetFullName() const { return caption + " (" + GetTypeName() + ")"; }

    std::string caption;

  protected:
    // Counts one finished group for the progress display.
    static TransferCounts CountGroup(TransferSession& session, TransferCounts counts);
};

// Writes one parameter entry of a node record.
void SerializeParameter(ArchiveWriter& archive, const Parameter& parameter);
// The key that matches a stored entry to a parameter of the node.
std::uint32_t ParameterKey(const Parameter& parameter);

}  // namespace zep8
