#include "link/serial/port_details.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "link/serial/port_list.h"
#include "link/serial/system_files.h"

namespace zep8 {
namespace {

std::string Resolved(const std::string& path) {
    std::error_code error;
    const std::filesystem::path resolved = std::filesystem::canonical(path, error);
    return error ? std::string() : resolved.string();
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A USB serial port's device folder is its interface (cdc_acm) or a port
// under the interface (usb-serial); the USB device with its identity sits
// one or two levels up.
void ReadUsbIdentity(const std::string& deviceFolder, PortDetails& port) {
    for (const char* up : {"/..", "/../.."}) {
        const std::string folder = deviceFolder + up;
        const std::string vendor = ReadFirstLine(folder + "/idVendor");
        if (vendor.empty()) continue;
        port.usbVendor = vendor;
        port.usbProduct = ReadFirstLine(folder + "/idProduct");
        port.manufacturer = ReadFirstLine(folder + "/manufacturer");
        port.product = ReadFirstLine(folder + "/product");
        return;
    }
}

}  // namespace

std::vector<PortDetails> DescribePorts(const std::string& sysClassTty,
                                       const std::string& byIdDirectory) {
    std::vector<std::string> links;
    for (const std::string& name : DirectoryNames(byIdDirectory))
        links.push_back(byIdDirectory + "/" + name);

    std::vector<PortDetails> ports;
    std::string list = EnumeratePorts(sysClassTty, byIdDirectory);
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        const std::string name = list.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name[0] == '/') continue;  // the stable links come with their tty
        PortDetails port;
        port.name = name;
        const std::string device = Resolved(sysClassTty + "/" + name + "/device");
        if (!device.empty()) {
            port.driver = BaseName(Resolved(device + "/driver"));
            ReadUsbIdentity(device, port);
        }
        for (const std::string& link : links) {
            if (BaseName(Resolved(link)) == name) port.byIdLink = link;
        }
        ports.push_back(port);
    }
    return ports;
}

std::optional<UsbLatencyTimer> ReadUsbLatencyTimer(const std::string& devicePath,
                                                   const std::string& usbSerialDevices) {
    for (const std::string& name : {BaseName(devicePath), BaseName(Resolved(devicePath))}) {
        if (name.empty()) continue;
        UsbLatencyTimer timer{usbSerialDevices + "/" + name + "/latency_timer", 0};
        const std::string text = ReadFirstLine(timer.file);
        if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) continue;
        timer.milliseconds = std::atoi(text.c_str());
        return timer;
    }
    return std::nullopt;
}

std::string PortDetailsLine(const PortDetails& port) {
    std::string line =
        port.name + ": драйвер " + (port.driver.empty() ? "неизвестен" : port.driver);
    if (!port.usbVendor.empty()) {
        line += ", USB " + port.usbVendor + ":" + port.usbProduct;
        std::string name = port.manufacturer;
        if (!port.product.empty()) name += (name.empty() ? "" : " ") + port.product;
        if (!name.empty()) line += " (" + name + ")";
    }
    if (!port.byIdLink.empty()) line += ", " + port.byIdLink;
    return line;
}

}  // namespace zep8
