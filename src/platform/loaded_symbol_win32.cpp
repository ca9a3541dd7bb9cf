#include "platform/loaded_symbol.h"

namespace zep8 {

void* LoadedSymbol(const char*) {
    return nullptr;
}

}  // namespace zep8
