#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "model/param_descriptor.h"

namespace zep8 {

// The values of "PrtY", in the order of the module's list.
inline constexpr std::string_view kParityNone = "Отсутствует";
inline constexpr std::string_view kParityEven = "Четность";
inline constexpr std::string_view kParityOdd = "Нечетность";

// One parameter the program knows by name: the module's parameters and the
// program's own service parameters.
struct CatalogueEntry {
    enum class Items { None, Fixed, SerialPorts, DataLength };

    std::string_view name;
    std::string_view title;
    bool writable = false;
    bool hasAttributes = false;
    bool indexed = false;
    ValueType type = PT_NONE;
    std::uint8_t decimals = 0;
    double min = 0;
    double max = 0;
    Items items = Items::None;
    std::span<const std::string_view> fixedItems{};
    // Written by the factory restore; empty for parameters it does not touch.
    std::string_view factoryDefault{};
};

// Trailing blanks go; a name of blanks only (the service parameters) stays as it is.
std::string NormaliseName(std::string_view name);

// The entry of a name, ignoring letter case and trailing blanks; null when unknown.
const CatalogueEntry* FindCatalogueEntry(std::string_view name);

// Every entry, in the catalogue's order.
std::span<const CatalogueEntry> CatalogueEntries();

ParamDescriptor GetDescriptor(std::string_view name);

// The factory value of a configuration parameter, if it has one.
std::optional<std::string_view> FactoryDefault(std::string_view name);

// Parameter names of one input, in the order the factory restore writes them.
std::span<const std::string_view> InputParameterNames();

// Supplies the ":"-separated list of the computer's serial ports for the
// items of "Port". Without a provider the list is empty.
using PortListProvider = std::function<std::string()>;
void SetPortListProvider(PortListProvider provider);

}  // namespace zep8
