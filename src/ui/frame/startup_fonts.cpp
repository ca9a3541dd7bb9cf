#include "ui/frame/startup_fonts.h"

#include <mutex>
#include <thread>

#include "platform/loaded_symbol.h"

namespace zep8 {
namespace {

std::mutex warmUpMutex;
// Joined at the latest when the program ends: a run that is over before its
// first window (a link test, a refused start) must not leave it running.
struct WarmUpThread {
    std::thread thread;
    ~WarmUpThread() {
        if (thread.joinable()) thread.join();
    }
} warmUp;

}  // namespace

void StartFontWarmUp() {
    std::lock_guard lock(warmUpMutex);
    if (warmUp.thread.joinable()) return;
    // Qt's font database starts with FcInit of the fontconfig it is linked
    // with; once that has run, Qt's own call returns at once. Looked up at run
    // time: a build without fontconfig simply skips the warm-up.
    using Init = int (*)();
    const auto init = reinterpret_cast<Init>(LoadedSymbol("FcInit"));
    if (init) warmUp.thread = std::thread(init);
}

void WaitForFontWarmUp() {
    std::lock_guard lock(warmUpMutex);
    if (warmUp.thread.joinable()) warmUp.thread.join();
}

}  // namespace zep8
