#include "platform/loaded_symbol.h"

#include <dlfcn.h>

namespace zep8 {

void* LoadedSymbol(const char* name) {
    return dlsym(RTLD_DEFAULT, name);
}

}  // namespace zep8
