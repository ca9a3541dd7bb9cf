#include "sim/test_bench.h"

#include <algorithm>
#include <string_view>

#include "model/catalogue.h"
#include "sim/measurement_source.h"
#include "sim/virtual_module.h"

namespace zep8::sim {
namespace {

struct BenchInput {
    std::string_view sensor;  // an item of "in-t"
    double middle;
    double amplitude;
    double periodSeconds;
};

// Plausible readings for each sensor: a furnace, warm water, a room, a
// transmitter in percent of its range. Periods differ so the curves drift apart.
constexpr BenchInput kBench[] = {
    {"ТХА(K)", 350, 40, 60},
    {"ТСП100П (Pt 100) W100=1,385", 80, 15, 50},
    {"ТСМ50М (Cu 50) W100=1,426", 22, 3, 70},
    {"Датчик 4…20мА", 50, 30, 80},
};

}  // namespace

void SetUpTestBench(VirtualModule& module) {
    const CatalogueEntry* sensorType = FindCatalogueEntry("in-t");
    if (!sensorType) return;
    const auto& items = sensorType->fixedItems;
    int input = 0;
    for (const BenchInput& bench : kBench) {
        const auto item = std::ranges::find(items, bench.sensor);
        if (item != items.end()) {
            module.setValue("in-t", input, static_cast<double>(item - items.begin()));
            module.setSource(
                input, MeasurementSource::sine(bench.middle, bench.amplitude, bench.periodSeconds));
        }
        ++input;
    }
}

}  // namespace zep8::sim
