#include "ops/fleet/address_list.h"

#include <algorithm>

namespace zep8 {

std::optional<std::vector<int>> ReadAddressList(std::string_view text, char separator,
                                                std::string& why) {
    constexpr int kLastAddress = 2047;
    constexpr int kAddressStep = 8;  // a module takes its base address and the next seven
    std::vector<int> addresses;
    std::vector<std::string_view> items;
    const std::string_view separators = separator == ' ' ? std::string_view(" ,;\t") : ",";
    for (std::size_t start = 0; start <= text.size();) {
        const std::size_t end = std::min(text.find_first_of(separators, start), text.size());
        const std::string_view item = text.substr(start, end - start);
        start = end + 1;
        if (separator != ' ' || !item.empty()) items.push_back(item);
    }
    for (const std::string_view item : items) {
        const bool digits = !item.empty() && item.size() <= 4 &&
                            item.find_first_not_of("0123456789") == std::string_view::npos;
        const int address = digits ? std::stoi(std::string(item)) : -1;
        if (address < 0 || address > kLastAddress || address % kAddressStep != 0) {
            why = "неверный адрес \"" + std::string(item) +
                  "\": нужны базовые адреса, кратные 8 (0, 8, 16 ...), через запятую";
            return std::nullopt;
        }
        if (std::find(addresses.begin(), addresses.end(), address) != addresses.end()) {
            why = "адрес " + std::to_string(address) + " указан дважды";
            return std::nullopt;
        }
        addresses.push_back(address);
    }
    if (addresses.empty()) {
        why = "не указано ни одного адреса";
        return std::nullopt;
    }
    return addresses;
}

}  // namespace zep8
