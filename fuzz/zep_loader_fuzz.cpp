// Feeds arbitrary bytes to the .zep loader. Besides crashes, leaks and hangs
// it checks that a refused file leaves the configuration exactly as it was.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "model/configuration.h"
#include "platform/event.h"
#include "platform/recording_prompter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zep8;
    Configuration configuration(ProgramInfo{"1.0", "(C)", "Linux"});
    configuration.net.SetValue("Addr", "32", true);
    const ConfigurationNodes nodes = configuration.nodes();
    const std::string before = SaveConfiguration(nodes);

    RecordingPrompter prompter;
    Event abort(Event::Reset::Manual);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (LoadConfiguration(nodes, bytes, prompter, &abort) != LoadStatus::Loaded &&
        SaveConfiguration(nodes) != before) {
        std::abort();
    }
    return 0;
}
