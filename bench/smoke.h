#pragma once

#include <cstdlib>

namespace zep8::bench {

// Set by tools/check-benchmarks (ZEP8_BENCH_SMOKE=1): the benchmark runs once,
// briefly, and holds no figure against its target, so that ./test notices a
// benchmark that hangs, crashes or no longer builds.
inline bool SmokeRun() {
    const char* value = std::getenv("ZEP8_BENCH_SMOKE");
    return value && *value && *value != '0';
}

}  // namespace zep8::bench
