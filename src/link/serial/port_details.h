#pragma once

// What the system knows of each serial port (driver, stable link, USB
// identity, the adapter's latency timer), for the connection doctor.

#include <optional>
#include <string>
#include <vector>

namespace zep8 {

// What the system tells about one serial port; empty fields are unknown.
struct PortDetails {
    std::string name;                   // "ttyUSB0"
    std::string driver;                 // "ftdi_sio", "cdc_acm", "serial8250"
    std::string byIdLink;               // a stable link of /dev/serial/by-id that points to it
    std::string usbVendor, usbProduct;  // "0403", "6001"
    std::string manufacturer, product;  // as the USB device names itself
};

// The machine's ports (the ttys of EnumeratePorts) with their driver, stable
// link and USB identity.
std::vector<PortDetails> DescribePorts(const std::string& sysClassTty = "/sys/class/tty",
                                       const std::string& byIdDirectory = "/dev/serial/by-id");

// One line for the operator: "ttyUSB0: драйвер ftdi_sio, USB 0403:6001 (...),
// /dev/serial/by-id/...".
std::string PortDetailsLine(const PortDetails& port);

// A USB-serial adapter's latency timer: how long it holds received bytes
// before handing them on.
struct UsbLatencyTimer {
    std::string file;  // ".../ttyUSB0/latency_timer"
    int milliseconds = 0;
};

// The timer of the USB-serial port behind `devicePath`, found under
// `usbSerialDevices` by the path's own name or by the tty it leads to (a
// stable link); nothing for other ports and for drivers without the timer.
std::optional<UsbLatencyTimer> ReadUsbLatencyTimer(
    const std::string& devicePath,
    const std::string& usbSerialDevices = "/sys/bus/usb-serial/devices");

}  // namespace zep8
