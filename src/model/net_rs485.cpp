#include "model/net_rs485.h"

namespace zep8 {

void NetRS485::CreateLinkParameters() {
    InvisibleElement::InitParameters();
    for (const char* name : {"bPS", "LEn", "PrtY", "Sbit", "A.Len", "Addr"}) AddParameter(name);
}

void NetRS485::InitParameters() {
    CreateLinkParameters();
    AddParameter("RS.dL");
    AddParameter("Prot");
}

}  // namespace zep8
