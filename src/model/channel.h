#pragma once

#include "model/invisible_element.h"

namespace zep8 {

// The settings of one input; its index is the input number less one.
class Channel : public InvisibleElement {
  public:
    std::string_view GetRuntimeClass() const override { return "Channel"; }
    void InitParameters() override;
    int GetImage() const override { return 9; }
    std::string GetTypeName() const override { return "Вход"; }
};

}  // namespace zep8
