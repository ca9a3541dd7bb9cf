#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/value_type.h"

namespace zep8 {

// Holds a parameter's name and value text and converts the text to and from
// the data bytes of the protocol.
class MyConverter {
  public:
    // Results of the conversions.
    enum : int { CONVERT_NO_METHOD = -1, CONVERT_FAILED = 0, CONVERT_OK = 1 };
    // Results of FitToRange.
    enum : int { FIT_NOT_A_NUMBER = -1, FIT_UNCHANGED = 0, FIT_CHANGED = 1 };

    struct FitResult {
        std::string text;  // empty when status is FIT_NOT_A_NUMBER
        int status;
    };

    MyConverter() = default;
    explicit MyConverter(std::string name) : name(std::move(name)) {}
    virtual ~MyConverter() = default;

    std::string name;
    std::string value{kNoData};

    // Data bytes of a write request from `value`. CONVERT_OK with the bytes
    // (possibly none), CONVERT_FAILED when the value cannot be encoded,
    // CONVERT_NO_METHOD when the parameter is never written this way.
    int ConvertToData(std::vector<std::uint8_t>& data) const;

    // Stores the text of a reply's data bytes in `value`. CONVERT_OK,
    // CONVERT_FAILED (value untouched) or CONVERT_NO_METHOD for an integer reply
    // of a length that makes no sense (the value then holds the error).
    int ConvertFromData(const std::uint8_t* data, std::size_t count, bool indexed);

    // Shortens a decimal text to what the parameter's range and decimals allow.
    FitResult FitToRange(std::string_view text) const;

    // Packed signed decimal: sign bit, 3 bits of decimals, then the mantissa,
    // 1 to 4 bytes. Empty when the number cannot be packed (not finite, or a
    // mantissa of 2^28 and more).
    static std::vector<std::uint8_t> EncodePacked(double number, int decimals);
    static std::optional<double> DecodePacked(const std::uint8_t* bytes, std::size_t count);

    // Why the module restarted (the "exit" parameter).
    static std::string RestartCauseText(int code);

  protected:
    bool NameIs(std::string_view other) const;

  private:
    // ConvertFromData's two ways: the parameters decoded by their name
    // (nothing for the others), then the rest by their value type.
    std::optional<int> ConvertNamedReply(const std::uint8_t* data, std::size_t count);
    int ConvertTypedReply(const std::uint8_t* data, std::size_t count, bool indexed);
};

// Text of a one-byte "rEAd" reply: the module's exception codes.
std::string_view MeasurementExceptionText(std::uint8_t code);

}  // namespace zep8
