// Sends the return-to-own-protocol command the way the configurator does and
// prints the status: the program side of the check against a ModBus peer.
// Usage: modbus_probe PORT rtu|ascii ADDRESS BAUD
#include <cstdio>
#include <cstdlib>
#include <string>

#include "link/exchange/device_io.h"
#include "link/foreign/foreign_status_text.h"
#include "link/serial/serial_port.h"
#include "platform/process_state.h"
#include "platform/recording_prompter.h"

int main(int argc, char** argv) {
    using namespace zep8;
    if (argc != 5) {
        std::fprintf(stderr, "usage: modbus_probe PORT rtu|ascii ADDRESS BAUD\n");
        return 100;
    }
    const std::string mode = argv[2];
    processState().ProtocolMode = mode == "rtu" ? PROTOCOL_MODBUS_RTU : PROTOCOL_MODBUS_ASCII;
    auto port = std::make_unique<SerialPort>();
    port->settings.name = argv[1];
    port->settings.baseAddress = std::atoi(argv[3]);
    port->settings.baudRate = static_cast<unsigned>(std::atoi(argv[4]));
    port->directionMode = 1;
    RecordingPrompter prompter;
    DeviceIO io(std::move(port), prompter);
    if (const int opened = io.port().Open(); opened != OPEN_OK) {
        std::fprintf(stderr, "cannot open %s: %s\n", argv[1],
                     io.port().OpenFailureReason().c_str());
        return 101;
    }
    const int status = io.TransferParameter(DIRECTION_READ, nullptr);
    std::printf("status %d %s\n", status, ForeignStatusText(status).c_str());
    return status == 0 ? 0 : 1;
}
