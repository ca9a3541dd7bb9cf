// Reads the module's "dev" once through the serial port, as the configurator
// does, and prints the value or the failure.
// Usage: line_probe PORT BAUD ADDRESS
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "link/exchange/device_io.h"
#include "link/serial/serial_port.h"
#include "model/parameter.h"
#include "platform/recording_prompter.h"

int main(int argc, char** argv) {
    using namespace zep8;
    if (argc != 4) {
        std::fprintf(stderr, "usage: line_probe PORT BAUD ADDRESS\n");
        return 100;
    }
    auto port = std::make_unique<SerialPort>();
    port->settings.name = argv[1];
    port->settings.baudRate = static_cast<unsigned>(std::atoi(argv[2]));
    port->settings.baseAddress = std::atoi(argv[3]);
    RecordingPrompter prompter;
    DeviceIO io(std::move(port), prompter);
    if (io.port().Open() != OPEN_OK) {
        std::fprintf(stderr, "%s\n", io.port().OpenFailureReason().c_str());
        return 1;
    }
    Parameter dev("dev");
    if (io.TransferParameter(DIRECTION_READ, &dev) != STATUS_OK) {
        std::fprintf(stderr, "%s\n", dev.errorText.c_str());
        return 2;
    }
    std::printf("%s\n", dev.value.c_str());
    return 0;
}
