// Feeds arbitrary bytes to the .zep loader. Besides crashes, leaks and hangs
// it checks that a refused file leaves the configuration exactly as it was.
//
// Building a configuration costs far more than loading a file (every
// parameter looks its name up in the catalogue), and saving one to compare
// its bytes costs nearly as much: one is built once, compared field by field
// with an untouched copy (every field the file stores, and the attribute
// flags), and after an input that loaded the untouched values are copied back.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "model/configuration.h"
#include "platform/event.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"

namespace {

using namespace zep8;

std::unique_ptr<Configuration> Build() {
    auto c = std::make_unique<Configuration>(ProgramInfo{"1.0", "(C)", "Linux"});
    c->net.SetValue("Addr", "32", true);
    return c;
}

std::array<const InvisibleElement*, 4 + kInputCount> Elements(const Configuration& c) {
    std::array<const InvisibleElement*, 4 + kInputCount> list{&c.service, &c.net, &c.common,
                                                              &c.channels};
    for (int i = 0; i < kInputCount; ++i)
        list[4 + static_cast<std::size_t>(i)] = &c.channels.channel(i);
    return list;
}

bool SameParameter(const Parameter& a, const Parameter& b) {
    return a.name == b.name && a.value == b.value && a.title == b.title && a.indexed == b.indexed &&
           a.index == b.index && a.addressOffset == b.addressOffset && a.note == b.note &&
           a.writable == b.writable && a.errorText == b.errorText && a.changed == b.changed &&
           a.attrChanged == b.attrChanged && a.pendingWrite == b.pendingWrite &&
           a.hasAttributes == b.hasAttributes && a.attrEditable == b.attrEditable &&
           a.attrFactory == b.attrFactory;
}

bool Same(const Configuration& a, const Configuration& b) {
    const auto x = Elements(a), y = Elements(b);
    for (std::size_t e = 0; e < x.size(); ++e) {
        const auto& p = x[e]->parameters();
        const auto& q = y[e]->parameters();
        if (x[e]->caption != y[e]->caption || x[e]->commonIndex() != y[e]->commonIndex() ||
            p.size() != q.size()) {
            return false;
        }
        for (std::size_t i = 0; i < p.size(); ++i) {
            if (!SameParameter(*p[i], *q[i])) return false;
        }
    }
    return true;
}

struct Reference {
    std::unique_ptr<Configuration> untouched = Build();
    std::unique_ptr<Configuration> working = Build();

    // Copies the untouched values back over what a file loaded; should that
    // not give the same configuration, it is built anew.
    void Restore() {
        const auto from = Elements(*untouched), to = Elements(*working);
        for (std::size_t e = 0; e < from.size(); ++e) {
            auto& target = const_cast<InvisibleElement&>(*to[e]);
            const auto& source = from[e]->parameters();
            if (source.size() != target.parameters().size()) break;
            target.caption = from[e]->caption;
            target.SetCommonIndex(from[e]->commonIndex());
            for (std::size_t i = 0; i < source.size(); ++i) *target.parameters()[i] = *source[i];
        }
        if (!Same(*working, *untouched)) working = Build();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Reference reference;
    RecordingPrompter prompter;
    Event abort(Event::Reset::Manual);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (LoadConfiguration(reference.working->nodes(), bytes, prompter, &abort) ==
        LoadStatus::Loaded) {
        reference.Restore();
    } else if (!Same(*reference.working, *reference.untouched)) {
        std::fprintf(stderr, "a refused file changed the configuration\n");
        std::abort();
    }
    return 0;
}
