#include "model/channel.h"

#include "model/catalogue.h"

namespace zep8 {

void Channel::InitParameters() {
    InvisibleElement::InitParameters();
    for (std::string_view name : InputParameterNames()) AddParameter(name);
}

}  // namespace zep8
