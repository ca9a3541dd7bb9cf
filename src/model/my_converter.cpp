#include "model/my_converter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "model/catalogue.h"
#include "model/number_text.h"
#include "platform/codepage.h"
#include "platform/text.h"

namespace zep8 {
namespace {

constexpr double kPowersOfTen[] = {1, 10, 100, 1000, 1e4, 1e5, 1e6, 1e7};
constexpr double kPackedLimit = 1 << 28;  // 4 bits in the first byte and three more bytes
constexpr std::size_t kMaxEnumCodes = 127;

// The module sends single-byte texts last character first.
std::string ReversedText(const std::uint8_t* data, std::size_t count) {
    std::string bytes(reinterpret_cast<const char*>(data), count);
    std::reverse(bytes.begin(), bytes.end());
    return Cp1251ToUtf8(bytes);
}

std::string_view TrimRightControl(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.remove_suffix(1);
    return text;
}

// Drops the last character, a whole UTF-8 sequence when it is one.
void DropLastCharacter(std::string& text) {
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) {
        text.pop_back();
    }
    if (!text.empty()) text.pop_back();
}

// Network parameters that the module sends as codes of a fixed table; an
// unknown code shows as an empty value rather than an error. Data length is
// decoded the same whatever the protocol offers for editing.
constexpr std::string_view kTableDecoded[] = {"bPS", "LEn", "PrtY", "Sbit", "A.Len"};
const std::vector<std::string> kDataLengthCodes = {"7", "8"};

}  // namespace

bool MyConverter::NameIs(std::string_view other) const {
    return EqualsIgnoreCase(name, other);
}

std::vector<std::uint8_t> MyConverter::EncodePacked(double number, int decimals) {
    const int d = std::clamp(decimals, 0, 3);
    if (!std::isfinite(number)) return {};
    const double scaled = std::floor(std::fabs(number) * kPowersOfTen[d] + 0.5);
    if (scaled >= kPackedLimit) return {};
    const auto m = static_cast<std::uint32_t>(scaled);
    // A number that rounds to a zero mantissa is sent as plain zero: a
    // negative zero would read back as "-0.000" and write other bytes.
    const bool negative = number < 0 && m != 0;
    const auto head = static_cast<std::uint8_t>(((negative ? 1 : 0) << 7) | (d << 4));
    auto byte = [](std::uint32_t v) { return static_cast<std::uint8_t>(v & 0xFF); };
    if (m < 16) return {byte(head | m)};
    if (m < 4096) return {byte(head | (m >> 8)), byte(m)};
    if (m < (1u << 20)) return {byte(head | (m >> 16)), byte(m >> 8), byte(m)};
    return {byte(head | (m >> 24)), byte(m >> 16), byte(m >> 8), byte(m)};
}

std::optional<double> MyConverter::DecodePacked(const std::uint8_t* bytes, std::size_t count) {
    if (count == 0 || count > 8) return std::nullopt;
    const bool negative = (bytes[0] & 0x80) != 0;
    const int point = (bytes[0] >> 4) & 0x07;
    std::uint64_t m = bytes[0] & 0x0F;
    for (std::size_t i = 1; i < count; ++i) m = m * 256 + bytes[i];
    const double value = static_cast<double>(m) / kPowersOfTen[point];
    return negative ? -value : value;
}

MyConverter::FitResult MyConverter::FitToRange(std::string_view text) const {
    const ParamDescriptor d = GetDescriptor(name);
    std::string fitted(text);
    if (d.decimals > 0) {
        const std::size_t point = fitted.find('.');
        if (point != std::string::npos && fitted.size() > point + 1 + d.decimals) {
            fitted.resize(point + 1 + d.decimals);  // cut, no rounding
        }
        return {fitted, FIT_UNCHANGED};
    }

    // The number of the text's digits with the point left out.
    auto digitsOf = [](std::string_view t) {
        std::string digits(t);
        std::erase(digits, '.');
        return ReadInteger(digits);
    };
    const std::optional<long long> parsed = digitsOf(fitted);
    if (!parsed) return {"", FIT_NOT_A_NUMBER};
    long long n = *parsed;
    const double low = static_cast<float>(d.min);
    const double high = static_cast<float>(d.max);
    int status = FIT_UNCHANGED;
    // Keeps as many significant digits as the range allows; negative
    // numbers are never shortened. The number is read again from what is
    // left, since a point is no digit and a number too long for a long long
    // is read as its limit.
    while ((n < low || n > high) && n > 9 && !fitted.empty()) {
        DropLastCharacter(fitted);
        if (!fitted.empty() && fitted.back() == '.') fitted.pop_back();
        n = digitsOf(fitted).value_or(0);
        status = FIT_CHANGED;
    }
    if (!fitted.empty() && fitted.back() == '.') fitted.pop_back();
    return {fitted, status};
}

int MyConverter::ConvertToData(std::vector<std::uint8_t>& data) const {
    data.clear();
    if (NameIs("dev") || NameIs("ver") || NameIs("exit")) return CONVERT_NO_METHOD;
    if (NameIs("APLY")) return CONVERT_OK;

    const ParamDescriptor d = GetDescriptor(name);
    std::string text = value;
    if (d.type == PT_DECIMAL || d.type == PT_INTEGER) {
        // A number is sent whole or not at all: "2,5" from a Russian desktop is
        // 2.5, and "12abc" is refused rather than cut to 12. An empty integer
        // is the 0 it has always been.
        const bool emptyInteger = d.type == PT_INTEGER && TrimRightControl(value).empty();
        const std::optional<std::string> number = TypedNumber(value);
        if (!number && !emptyInteger) return CONVERT_FAILED;
        text = number.value_or("");
    }
    if (d.type == PT_DECIMAL) {
        FitResult fit = FitToRange(text);
        if (fit.status == FIT_NOT_A_NUMBER) return CONVERT_FAILED;
        text = std::move(fit.text);
    }

    auto packed = [&data](double x, int decimals) {
        data = EncodePacked(x, decimals);
        return data.empty() ? CONVERT_FAILED : CONVERT_OK;
    };

    if (NameIs("in.SL")) return packed(ReadValueNumber(text), 3);

    switch (d.type) {
        case PT_DECIMAL: {
            const double x = ReadValueNumber(text);
            int decimals = d.decimals;
            if (decimals == 0) {
                // The position of the last non-zero decimal among the first three.
                const double ax = std::fabs(x);
                for (int k = 1; k <= 3; ++k) {
                    if (std::fmod(std::floor(ax * kPowersOfTen[k] + 0.5), 10.0) != 0) decimals = k;
                }
            }
            return packed(x, decimals);
        }
        case PT_INTEGER: {
            const std::string_view trimmed = TrimRightControl(text);
            const std::size_t point = trimmed.rfind('.');
            const int decimals =
                point == std::string_view::npos ? 0 : static_cast<int>(trimmed.size() - point - 1);
            return packed(ReadValueNumber(text), decimals);
        }
        case PT_ENUM: {
            const std::size_t limit = std::min(d.items.size(), kMaxEnumCodes);
            for (std::size_t code = 0; code < limit; ++code) {
                if (EqualsIgnoreCase(d.items[code], text)) {
                    data.push_back(static_cast<std::uint8_t>(code));
                    return CONVERT_OK;
                }
            }
            return CONVERT_FAILED;
        }
        default:
            return CONVERT_NO_METHOD;
    }
}

int MyConverter::ConvertFromData(const std::uint8_t* data, std::size_t count, bool indexed) {
    if (count == 0) {
        if (!NameIs("APLY")) return CONVERT_FAILED;
        value.clear();
        return CONVERT_OK;
    }
    if (const std::optional<int> named = ConvertNamedReply(data, count)) return *named;
    return ConvertTypedReply(data, count, indexed);
}

std::optional<int> MyConverter::ConvertNamedReply(const std::uint8_t* data, std::size_t count) {
    if (NameIs("dev") || NameIs("ver")) {
        value = ReversedText(data, count);
        return CONVERT_OK;
    }
    if (NameIs("exit")) {
        if (count != 3) return CONVERT_FAILED;
        if (data[0] == 0x18) {
            value = "Адрес прибора: " + std::to_string((data[1] << 8) | data[2]);
        } else {
            value = RestartCauseText(data[2]);
        }
        return CONVERT_OK;
    }
    for (std::string_view tableName : kTableDecoded) {
        if (!NameIs(tableName)) continue;
        const std::vector<std::string> texts =
            NameIs("LEn") ? kDataLengthCodes : GetDescriptor(name).items;
        value = data[0] < texts.size() ? texts[data[0]] : std::string();
        return CONVERT_OK;
    }
    if (NameIs("Addr")) {
        if (count == 1)
            value = std::to_string(data[0]);
        else if (count == 2)
            value = std::to_string((data[0] << 8) | data[1]);
        else
            return CONVERT_FAILED;
        return CONVERT_OK;
    }
    if (NameIs("rEAd")) {
        if (count == 1) {
            value = MeasurementExceptionText(data[0]);
        } else if (count == 6) {
            const std::uint32_t bits =
                (std::uint32_t{data[0]} << 24) | (data[1] << 16) | (data[2] << 8) | data[3];
            float measured;
            std::memcpy(&measured, &bits, sizeof measured);
            value = FormatFixed(measured, 1);
        } else {
            return CONVERT_FAILED;
        }
        return CONVERT_OK;
    }
    return std::nullopt;
}

int MyConverter::ConvertTypedReply(const std::uint8_t* data, std::size_t count, bool indexed) {
    const ParamDescriptor d = GetDescriptor(name);
    switch (d.type) {
        case PT_DECIMAL: {
            // An indexed reply ends with the two index bytes.
            const std::size_t length = indexed ? (count >= 2 ? count - 2 : 0) : count;
            const std::optional<double> number = DecodePacked(data, length);
            if (!number) return CONVERT_FAILED;
            value = FormatFixed(*number, 3);
            return CONVERT_OK;
        }
        case PT_INTEGER:
            if (count == 1 || count == 3) {
                value = std::to_string(data[0]);
            } else if (count == 2 || count == 4) {
                value = std::to_string((data[0] << 8) | data[1]);
            } else {
                value = "Ошибка; (Непонятная длина ответа:" + std::to_string(count) + ")";
                return CONVERT_NO_METHOD;
            }
            return CONVERT_OK;
        case PT_ASCII:
            value = ReversedText(data, count);
            return CONVERT_OK;
        case PT_ENUM:
            if (data[0] >= d.items.size()) return CONVERT_FAILED;
            value = d.items[data[0]];
            return CONVERT_OK;
        default:
            return CONVERT_FAILED;
    }
}

std::string MyConverter::RestartCauseText(int code) {
    switch (code) {
        case 1:
        case 14:
            return "Нештатный вход в программу контроля";
        case 2:
            return "Сбой бегущей единицы на порту С";
        case 3:
            return "Сбой бегущей единицы на порту E";
        case 4:
            return "сбой бегущей единицы на порту B";
        case 5:
            return "переполнение одного из стеков (данных или адресов возврата)";
        case 6:
            return "внешний сброс";
        case 7:
            return "сброс по питанию";
        case 8:
            return "Самопроизвольный watchdog";
        case 9:
            return "Кто-то держит SDA линию магистрали в 0";
        case 10:
            return "Ошибки при чтения/записи еепром";
        case 11:
            return "ошибки при записи еепром";
        case 12:
            return "Не хватает времени до перезагрузки очереди";
        case 13:
            return "Ошибка зацикливания указателей pwmQueue";
        case 15:
            return "Повторная проверка обнаружила неисправимый код (Check_Segment)";
        case 95:
            return "Сбой регистра SREG";
        default:
            break;
    }
    if (code >= 32 && code <= 94) {
        return "Ошибки регистров ввода/вывода. Номер у сбившегося регистра :  " +
               std::to_string(code);
    }
    return "Не найдено значение ошибки ";
}

std::string_view MeasurementExceptionText(std::uint8_t code) {
    switch (code) {
        case 0xF0:
            return "Вычисленное значение заведомо неверно.";
        case 0xF7:
            return "Датчик отключен.";
        case 0xF8:
            return "Велика температура холодного спая.";
        case 0xF9:
            return "Мала температура холодного спая.";
        case 0xFA:
            return "Вычисленное значение слишком велико.";
        case 0xFB:
            return "Вычисленное значение слишком мало.";
        case 0xFC:
            return "Короткое замыкание";
        case 0xFD:
            return "Обрыв датчика.";
        case 0xFE:
            return "Отсутствие связи с АЦП.";
        case 0xFF:
            return "Некорректный юстировочный коэффициент.";
        default:
            return "Не могу преобразовать коэффициенты .";
    }
}

}  // namespace zep8
