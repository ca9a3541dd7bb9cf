#pragma once

#include "model/net_rs485.h"

namespace zep8 {

// Values of "Echo": whether the adapter's echo of each request is dropped.
inline constexpr std::string_view kEchoOff = "Выключен";
inline constexpr std::string_view kEchoOn = "Включен";

// The program's own port settings: the module's character format and address
// plus the computer's port and whether its adapter echoes. The module keeps no
// attributes for them.
class NetRS485prg : public NetRS485 {
  public:
    NetRS485prg() { caption = "Сетевые параметры программы"; }
    std::string_view GetRuntimeClass() const override { return "NetRS485prg"; }
    void InitParameters() override;
    int GetImage() const override { return 19; }
};

}  // namespace zep8
