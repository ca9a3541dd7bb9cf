#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace zep8 {
namespace {

// One converter per direction and thread: an iconv descriptor keeps shift
// state and must not be shared.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // `skip` tells how many input bytes to drop after an unconvertible character.
    template <typename Skip>
    std::string convert(std::string_view in, Skip skip) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.reserve(in.size() * 2);
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        char buffer[256];
        while (srcLeft > 0) {
            char* dst = buffer;
            size_t dstLeft = sizeof buffer;
            const size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, dst - buffer);
            if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
                const size_t n = std::min(srcLeft, skip(src, srcLeft));
                src += n;
                srcLeft -= n;
                out += '?';
            }
        }
        return out;
    }

  private:
    iconv_t cd_;
};

size_t Utf8SequenceLength(const char* p, size_t left) {
    const auto lead = static_cast<unsigned char>(*p);
    size_t n = 1;
    if (lead >= 0xF0)
        n = 4;
    else if (lead >= 0xE0)
        n = 3;
    else if (lead >= 0xC0)
        n = 2;
    // Stop at the next lead byte when the sequence is broken.
    size_t i = 1;
    while (i < n && i < left && (static_cast<unsigned char>(p[i]) & 0xC0) == 0x80) ++i;
    return i;
}

}  // namespace

std::string Utf8ToCp1251(std::string_view utf8) {
    thread_local Converter converter("CP1251", "UTF-8");
    return converter.convert(utf8, Utf8SequenceLength);
}

std::string Cp1251ToUtf8(std::string_view cp1251) {
    // 0x98 is the one byte Windows-1251 leaves undefined.
    thread_local Converter converter("UTF-8", "CP1251");
    return converter.convert(cp1251, [](const char*, size_t) { return size_t{1}; });
}

std::string Utf16leToUtf8(std::string_view utf16le) {
    thread_local Converter converter("UTF-8", "UTF-16LE");
    return converter.convert(utf16le, [](const char*, size_t) { return size_t{2}; });
}

}  // namespace zep8
