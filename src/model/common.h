#pragma once

#include "model/invisible_element.h"

namespace zep8 {

// The module's identification: name, firmware version, cause of the last restart.
class Common : public InvisibleElement {
  public:
    Common() { caption = GetTypeName(); }
    std::string_view GetRuntimeClass() const override { return "Common"; }
    void InitParameters() override;
    int GetImage() const override { return 5; }
    int GetSelectedImage() const override { return 6; }
    std::string GetTypeName() const override { return "Общие параметры прибора"; }
};

}  // namespace zep8
