// Value texts into AssignValue and ConvertToData, and data bytes into
// ConvertFromData, for every parameter of the catalogue. Besides crashes it
// checks the round trip through the module: a value that converts to data,
// read back in the form the module answers with, gives a text that converts
// to the same data. Integers are compared as numbers: they are written packed
// with the decimals as typed ("5.0") but read as plain integers, and 5.0 and 5
// are the same setting.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/catalogue.h"
#include "model/parameter.h"
#include "platform/prompter.h"

namespace {

using namespace zep8;

[[noreturn]] void Fail(const Parameter& p, std::string_view text, const char* what) {
    std::fprintf(stderr, "%s: %s (value \"%.*s\")\n", p.name.c_str(), what,
                 static_cast<int>(text.size()), text.data());
    std::abort();
}

// The parameters of the catalogue, built once (a name lookup is slow).
const std::vector<Parameter>& Prototypes() {
    static const std::vector<Parameter> list = [] {
        std::vector<Parameter> built;
        for (const CatalogueEntry& e : CatalogueEntries()) built.emplace_back(e.name);
        return built;
    }();
    return list;
}

// The reply the module sends for a parameter it holds the data `written` of;
// nothing when it holds no such value or answers in a form of its own.
std::optional<std::vector<std::uint8_t>> ModuleReply(const Parameter& p,
                                                     const std::vector<std::uint8_t>& written) {
    const ParamDescriptor d = GetDescriptor(p.name);
    if (p.name == "rEAd") return std::nullopt;  // measured, never written
    if (d.type == PT_INTEGER) {
        const std::optional<double> n = MyConverter::DecodePacked(written.data(), written.size());
        if (!n || *n < 0 || *n > 65535) return std::nullopt;
        const auto v = static_cast<unsigned>(*n);
        return std::vector<std::uint8_t>{static_cast<std::uint8_t>(v >> 8),
                                         static_cast<std::uint8_t>(v & 0xFF)};
    }
    std::vector<std::uint8_t> reply = written;
    // An indexed decimal reply carries the input's index after the value.
    if (d.type == PT_DECIMAL && p.indexed) reply.insert(reply.end(), {0x00, 0x03});
    return reply;
}

bool SameSetting(const Parameter& p, const std::vector<std::uint8_t>& a,
                 const std::vector<std::uint8_t>& b) {
    if (a == b) return true;
    if (GetDescriptor(p.name).type != PT_INTEGER) return false;
    const auto x = MyConverter::DecodePacked(a.data(), a.size());
    const auto y = MyConverter::DecodePacked(b.data(), b.size());
    return x && y && *x == *y;
}

void CheckRoundTrip(const Parameter& prototype, const std::string& text) {
    Parameter p = prototype;
    p.value = text;
    std::vector<std::uint8_t> written;
    if (p.ConvertToData(written) != MyConverter::CONVERT_OK) return;
    const auto reply = ModuleReply(p, written);
    if (!reply) return;
    Parameter back = prototype;
    if (back.ConvertFromData(reply->data(), reply->size(), back.indexed) !=
        MyConverter::CONVERT_OK) {
        Fail(p, text, "the module's reply to what was written is not read");
    }
    std::vector<std::uint8_t> again;
    if (back.ConvertToData(again) != MyConverter::CONVERT_OK) {
        Fail(p, text, "a value read back cannot be written again");
    }
    if (!SameSetting(p, written, again)) Fail(p, text, "a value read back writes other data");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::vector<Parameter>& prototypes = Prototypes();
    const Parameter& prototype = prototypes[data[0] % prototypes.size()];
    const std::uint8_t* rest = data + 2;
    const std::size_t count = size - 2;
    if (data[1] & 0x01) {
        // A text typed by the operator.
        static SilentPrompter prompter;
        Parameter p = prototype;
        const std::string_view text(reinterpret_cast<const char*>(rest), count);
        if (p.AssignValue(text, prompter)) CheckRoundTrip(prototype, p.value);
    } else {
        // The data bytes of a reply.
        Parameter p = prototype;
        if (p.ConvertFromData(rest, count, p.indexed) == MyConverter::CONVERT_OK) {
            CheckRoundTrip(prototype, p.value);
        }
    }
    return 0;
}
