#include "model/archive_reader.h"

#include "model/archive_format.h"
#include "platform/codepage.h"

namespace zep8 {
namespace {

using namespace archive;
constexpr std::uint16_t kWideStringTag = 0xFFFE;
constexpr std::size_t kMaxClassName = 64;

// The classes a .zep file may name, each with its base class.
struct KnownClass {
    std::string_view name;
    std::string_view base;
};
constexpr KnownClass kKnownClasses[] = {
    {"CZEP8Doc", ""},
    {"Device", ""},
    {"ObjectWithParameters", ""},
    {"InvisibleElement", "ObjectWithParameters"},
    {"Common", "InvisibleElement"},
    {"CommonParams", "InvisibleElement"},
    {"NetRS485", "InvisibleElement"},
    {"NetRS485prg", "NetRS485"},
    {"Channels", "InvisibleElement"},
    {"Channel", "InvisibleElement"},
    {"MyConverter", ""},
    {"Parameter", "MyConverter"},
};

const KnownClass* FindClass(std::string_view name) {
    for (const KnownClass& c : kKnownClasses) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

bool IsDerivedFrom(std::string_view name, std::string_view required) {
    for (const KnownClass* c = FindClass(name); c; c = FindClass(c->base)) {
        if (c->name == required) return true;
    }
    return false;
}

}  // namespace

std::string_view ArchiveReader::Take(std::uint64_t count) {
    if (count > remaining()) throw ArchiveError("unexpected end of file");
    const std::string_view part = bytes_.substr(position_, static_cast<std::size_t>(count));
    position_ += static_cast<std::size_t>(count);
    return part;
}

std::uint8_t ArchiveReader::ReadByte() {
    return static_cast<std::uint8_t>(Take(1)[0]);
}

std::uint16_t ArchiveReader::ReadWord() {
    const std::string_view b = Take(2);
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b[0]) |
                                      (static_cast<std::uint8_t>(b[1]) << 8));
}

std::uint32_t ArchiveReader::ReadDword() {
    const std::uint32_t low = ReadWord();
    return low | (static_cast<std::uint32_t>(ReadWord()) << 16);
}

std::uint64_t ArchiveReader::ReadLength() {
    const std::uint8_t b = ReadByte();
    if (b < 0xFF) return b;
    const std::uint16_t w = ReadWord();
    if (w < 0xFFFF) return w;
    const std::uint32_t d = ReadDword();
    if (d < 0xFFFFFFFF) return d;
    const std::uint64_t low = ReadDword();
    return low | (static_cast<std::uint64_t>(ReadDword()) << 32);
}

std::string ArchiveReader::ReadString() {
    const std::uint8_t b = ReadByte();
    bool wide = false;
    std::uint64_t length = b;
    if (b == 0xFF) {
        const std::uint16_t w = ReadWord();
        if (w == kWideStringTag) {
            wide = true;
            length = ReadLength();
        } else if (w < 0xFFFF) {
            length = w;
        } else {
            const std::uint32_t d = ReadDword();
            if (d < 0xFFFFFFFF) {
                length = d;
            } else {
                const std::uint64_t low = ReadDword();
                length = low | (static_cast<std::uint64_t>(ReadDword()) << 32);
            }
        }
    }
    if (wide) {
        if (length > remaining() / 2) throw ArchiveError("string longer than the file");
        std::string_view units = Take(length * 2);
        for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
            if (units[i] == 0 && units[i + 1] == 0) {
                units = units.substr(0, i);
                break;
            }
        }
        return Utf16leToUtf8(units);
    }
    std::string_view text = Take(length);
    text = text.substr(0, text.find('\0'));
    return Cp1251ToUtf8(text);
}

ArchiveReader::ClassRecord ArchiveReader::ReadClass(std::string_view required) {
    const std::uint16_t tag = ReadWord();
    ClassRecord record;
    if (tag == kNewClassTag) {
        record.schema = ReadWord();
        const std::uint16_t nameLength = ReadWord();
        if (nameLength >= kMaxClassName) throw ArchiveError("class name too long");
        record.name = std::string(Take(nameLength));
        if (!FindClass(record.name)) throw ArchiveError("unknown class " + record.name);
        classes_.push_back(record);
    } else {
        std::uint32_t number;
        if (tag == kBigClassTag) {
            const std::uint32_t big = ReadDword();
            if (!(big & kBigClassFlag)) throw ArchiveError("object reference");
            number = big & ~kBigClassFlag;
        } else if (tag & kClassTag) {
            number = tag & ~kClassTag;
        } else {
            throw ArchiveError("object reference");
        }
        if (number == 0 || number > classes_.size()) throw ArchiveError("invalid class number");
        record = classes_[number - 1];
    }
    if (!IsDerivedFrom(record.name, required)) {
        throw ArchiveError("class " + record.name + " where " + std::string(required) + " belongs");
    }
    return record;
}

}  // namespace zep8
