#pragma once

#include "model/net_rs485.h"

namespace zep8 {

// The program's own port settings: the module's character format and address
// plus the computer's port. The module keeps no attributes for them.
class NetRS485prg : public NetRS485 {
  public:
    NetRS485prg() { caption = "Сетевые параметры программы"; }
    std::string_view GetRuntimeClass() const override { return "NetRS485prg"; }
    void InitParameters() override;
    int GetImage() const override { return 19; }
};

}  // namespace zep8
