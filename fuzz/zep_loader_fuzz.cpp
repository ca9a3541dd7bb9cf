// Feeds arbitrary bytes to the .zep loader. Besides crashes, leaks and hangs
// it checks that a refused file leaves the configuration exactly as it was.
//
// Building a configuration costs far more than loading a file (every
// parameter looks its name up in the catalogue), and saving one to compare
// its bytes costs nearly as much: one is built once, compared field by field
// with an untouched copy (every field the file stores, and the attribute
// flags), and put back after an input that loaded.
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
    std::string saved = SaveConfiguration(untouched->nodes());

    // Loading the reference file puts most files' changes back; a file that
    // moved a parameter to another input index has changed the keys the
    // loader finds parameters by, and then only building anew helps.
    void Restore() {
        RecordingPrompter prompter;
        Event abort(Event::Reset::Manual);
        if (LoadConfiguration(working->nodes(), saved, prompter, &abort) != LoadStatus::Loaded ||
            !Same(*working, *untouched)) {
            working = Build();
        }
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
