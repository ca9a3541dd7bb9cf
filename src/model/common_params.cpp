#include "model/common_params.h"

namespace zep8 {

void CommonParams::InitParameters() {
    InvisibleElement::InitParameters();
    for (const char* name : {" ", "  ", "   "}) AddParameter(name);
    // Without version information the first two rows keep "no data".
    if (!info_.version.empty()) SetValue(" ", info_.version, true);
    if (!info_.copyright.empty()) SetValue("  ", info_.copyright, true);
    SetValue("   ", info_.operatingSystem, true);
    ClearChangeFlags();
}

}  // namespace zep8
