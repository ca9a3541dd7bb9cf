#include "model/common.h"

namespace zep8 {

void Common::InitParameters() {
    InvisibleElement::InitParameters();
    for (const char* name : {"dev", "ver", "exit"}) AddParameter(name);
}

}  // namespace zep8
