#include "model/archive_writer.h"

#include "model/archive_format.h"
#include "platform/codepage.h"

namespace zep8 {
namespace {

using namespace archive;

}  // namespace

void ArchiveWriter::WriteByte(std::uint8_t value) {
    bytes_.push_back(static_cast<char>(value));
}

void ArchiveWriter::WriteWord(std::uint16_t value) {
    WriteByte(static_cast<std::uint8_t>(value));
    WriteByte(static_cast<std::uint8_t>(value >> 8));
}

void ArchiveWriter::WriteDword(std::uint32_t value) {
    WriteWord(static_cast<std::uint16_t>(value));
    WriteWord(static_cast<std::uint16_t>(value >> 16));
}

void ArchiveWriter::WriteString(std::string_view utf8) {
    const std::string text = Utf8ToCp1251(utf8);
    const std::uint64_t length = text.size();
    if (length < 0xFF) {
        WriteByte(static_cast<std::uint8_t>(length));
    } else if (length < 0xFFFE) {
        WriteByte(0xFF);
        WriteWord(static_cast<std::uint16_t>(length));
    } else if (length < 0xFFFFFFFF) {
        WriteByte(0xFF);
        WriteWord(0xFFFF);
        WriteDword(static_cast<std::uint32_t>(length));
    } else {
        WriteByte(0xFF);
        WriteWord(0xFFFF);
        WriteDword(0xFFFFFFFF);
        WriteDword(static_cast<std::uint32_t>(length));
        WriteDword(static_cast<std::uint32_t>(length >> 32));
    }
    bytes_ += text;
}

void ArchiveWriter::WriteClass(std::string_view className, std::uint16_t schema) {
    auto it = classNumbers_.find(className);
    if (it != classNumbers_.end()) {
        if (it->second < kBigClassTag) {
            WriteWord(static_cast<std::uint16_t>(kClassTag | it->second));
        } else {
            WriteWord(kBigClassTag);
            WriteDword(kBigClassFlag | it->second);
        }
        return;
    }
    WriteWord(kNewClassTag);
    WriteWord(schema);
    WriteWord(static_cast<std::uint16_t>(className.size()));
    bytes_.append(className);
    const auto number = static_cast<std::uint32_t>(classNumbers_.size() + 1);
    classNumbers_.emplace(std::string(className), number);
}

}  // namespace zep8
