#include "model/net_rs485_prg.h"

namespace zep8 {

void NetRS485prg::InitParameters() {
    CreateLinkParameters();
    AddParameter("Port");
    AddParameter("Echo");
    SetValue("Echo", kEchoOff, false);
    for (const auto& p : parameters()) p->hasAttributes = false;
    ClearChangeFlags();
}

}  // namespace zep8
