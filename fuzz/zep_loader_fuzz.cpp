// Feeds arbitrary bytes to the .zep loader. Besides crashes, leaks and hangs
// it checks that a refused file leaves the configuration exactly as it was.
//
// Building a configuration costs far more than loading a file (every
// parameter looks its name up in the catalogue), so one is built once and
// put back after an input that loaded.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "model/configuration.h"
#include "platform/event.h"
#include "platform/recording_prompter.h"

namespace {

using namespace zep8;

// The reference configuration, and the file it saves to.
struct Reference {
    std::unique_ptr<Configuration> configuration;
    std::string saved;

    Reference() {
        Build();
        saved = SaveConfiguration(configuration->nodes());
    }
    void Build() {
        configuration = std::make_unique<Configuration>(ProgramInfo{"1.0", "(C)", "Linux"});
        configuration->net.SetValue("Addr", "32", true);
    }
    // Loading the reference file puts most files' changes back; a file that
    // moved a parameter to another input index has changed the keys the
    // loader finds parameters by, and then only building anew helps.
    void Restore() {
        RecordingPrompter prompter;
        Event abort(Event::Reset::Manual);
        if (LoadConfiguration(configuration->nodes(), saved, prompter, &abort) ==
                LoadStatus::Loaded &&
            SaveConfiguration(configuration->nodes()) == saved) {
            return;
        }
        Build();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Reference reference;
    const ConfigurationNodes nodes = reference.configuration->nodes();
    RecordingPrompter prompter;
    Event abort(Event::Reset::Manual);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (LoadConfiguration(nodes, bytes, prompter, &abort) == LoadStatus::Loaded) {
        reference.Restore();
    } else if (SaveConfiguration(nodes) != reference.saved) {
        std::fprintf(stderr, "a refused file changed the configuration\n");
        std::abort();
    }
    return 0;
}
