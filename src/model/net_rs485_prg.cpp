#include "model/net_rs485_prg.h"

namespace zep8 {

void NetRS485prg::InitParameters() {
    CreateLinkParameters();
    AddParameter("Port");
    for (const auto& p : parameters()) p->hasAttributes = false;
    ClearChangeFlags();
}

}  // namespace zep8
