// Arguments into the command line parser (the input's NUL bytes separate
// them). Besides crashes it checks what the parser promises whatever it is
// given: the address and stop-bit texts stay within their lengths, the exit
// event name is lower case, and after "--" an argument is the file whatever
// it looks like.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "platform/text.h"

namespace {

using namespace zep8;

void Fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

void CheckRecord(const OptionRecord& o) {
    // The limits count characters, not bytes.
    if (Utf8Length(o.address) > kMaxAddressLength) Fail("address text too long");
    if (Utf8Length(o.stopBits) > kMaxStopBitsLength) Fail("stop bits text too long");
    for (char c : o.exitEventName) {
        if (c >= 'A' && c <= 'Z') Fail("exit event name not in lower case");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.emplace_back();
        } else {
            args.back() += static_cast<char>(data[i]);
        }
    }
    CheckRecord(ParseCommandLine(args));

    // The last argument once more after "--": now it can only be the file (an
    // empty argument names none). "--" twice, as an option that takes a value
    // ("--dump FILE") takes the first one as its value.
    const std::string last = args.back();
    if (last.empty()) return 0;
    args.insert(args.end(), {"--", "--", last});
    const OptionRecord o = ParseCommandLine(args);
    CheckRecord(o);
    if (o.fileArgument != last) Fail("an argument after \"--\" is not the file");
    return 0;
}
