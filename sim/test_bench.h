#pragma once

namespace zep8::sim {

class VirtualModule;

// A module as on a test bench rather than from the factory: inputs 1 to 4 have
// a sensor each (a thermocouple, two resistance thermometers, a 4-20 mA
// transmitter) measuring slow sines, so polling and the plot show something
// at once. Inputs 5 to 8 stay without a sensor.
void SetUpTestBench(VirtualModule& module);

}  // namespace zep8::sim
