#pragma once

#include "model/invisible_element.h"

namespace zep8 {

// The module's network settings.
class NetRS485 : public InvisibleElement {
  public:
    NetRS485() { caption = "Сетевые параметры прибора"; }
    std::string_view GetRuntimeClass() const override { return "NetRS485"; }
    void InitParameters() override;
    int GetImage() const override { return 4; }
    std::string GetTypeName() const override { return "Сеть RS-485"; }

  protected:
    // Speed, character format and address: what the module and the program share.
    void CreateLinkParameters();
};

}  // namespace zep8
