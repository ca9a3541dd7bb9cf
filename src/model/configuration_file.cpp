#include "model/configuration_file.h"

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "model/archive_reader.h"
#include "model/archive_writer.h"
#include "model/channels.h"
#include "model/common.h"
#include "model/common_params.h"
#include "model/net_rs485.h"
#include "platform/event.h"
#include "platform/process_state.h"
#include "platform/prompter.h"
#include "platform/system_error_text.h"
#include "platform/whole_file.h"

namespace zep8 {
namespace {

constexpr std::uint16_t kDocumentSchema = 3;
constexpr std::uint16_t kObjectSchema = 2;
constexpr std::uint16_t kNoSchema = 0xFFFF;

// One parameter entry as the file holds it.
struct StoredEntry {
    std::uint32_t key = 0;
    bool hasConverterPart = false;
    std::string name, value;
    bool hasParameterPart = false;
    std::string title;
    bool indexed = false;
    std::int32_t index = 0;
    std::int32_t addressOffset = 0;
    std::string note;
    bool writable = false;
    std::string errorText;
    bool changed = false, attrChanged = false, pendingWrite = false;
};

struct StoredNode {
    bool hasContent = false;  // false when the record's schema is not ours
    std::string caption;
    std::vector<StoredEntry> entries;
};

StoredEntry ReadEntry(ArchiveReader& in) {
    StoredEntry e;
    e.key = in.ReadDword();
    if (in.ReadClass("MyConverter").schema == kObjectSchema) {
        e.hasConverterPart = true;
        e.name = in.ReadString();
        e.value = in.ReadString();
    }
    if (in.ReadClass("Parameter").schema == kObjectSchema) {
        e.hasParameterPart = true;
        e.title = in.ReadString();
        e.indexed = in.ReadBool();
        e.index = in.ReadInt();
        e.addressOffset = in.ReadInt();
        e.note = in.ReadString();
        e.writable = in.ReadBool();
        e.errorText = in.ReadString();
        e.changed = in.ReadBool();
        e.attrChanged = in.ReadBool();
        e.pendingWrite = in.ReadBool();
    }
    return e;
}

StoredNode ReadNode(ArchiveReader& in) {
    StoredNode node;
    if (in.ReadClass("InvisibleElement").schema != kObjectSchema) return node;
    node.hasContent = true;
    node.caption = in.ReadString();
    const std::int32_t count = in.ReadInt();
    // Every entry the record announces must be there: a short file is damaged.
    for (std::int32_t i = 0; i < count; ++i) node.entries.push_back(ReadEntry(in));
    return node;
}

void Apply(const StoredEntry& e, Parameter& p) {
    if (e.hasConverterPart) {
        p.name = e.name;
        p.value = e.value;
    }
    if (e.hasParameterPart) {
        p.title = e.title;
        p.indexed = e.indexed;
        p.index = e.index;
        p.addressOffset = e.addressOffset;
        p.note = e.note;
        p.writable = e.writable;
        p.errorText = e.errorText;
        p.changed = e.changed;
        p.attrChanged = e.attrChanged;
        p.pendingWrite = e.pendingWrite;
    }
}

void Apply(const StoredNode& stored, InvisibleElement& node) {
    if (!stored.hasContent) return;
    node.caption = stored.caption;
    // Keys are looked up per node; of two parameters with one key the later wins.
    std::map<std::uint32_t, Parameter*> byKey;
    for (const auto& p : node.parameters()) byKey[ParameterKey(*p)] = p.get();
    for (const StoredEntry& e : stored.entries) {
        auto it = byKey.find(e.key);
        if (it != byKey.end()) Apply(e, *it->second);
    }
}

// The nodes of the device part, in file order.
std::vector<InvisibleElement*> DeviceNodes(const ConfigurationNodes& nodes) {
    std::vector<InvisibleElement*> list{&nodes.net, &nodes.common, &nodes.channels};
    for (int i = 0; i < kInputCount; ++i) list.push_back(&nodes.channels.channel(i));
    return list;
}

}  // namespace

std::string SaveConfiguration(const ConfigurationNodes& nodes) {
    ArchiveWriter out;
    out.WriteClass("CZEP8Doc", kDocumentSchema);
    nodes.commonParams.Serialize(out);
    out.WriteClass("Device", kObjectSchema);
    nodes.net.Serialize(out);
    nodes.common.Serialize(out);
    nodes.channels.Serialize(out);  // with its eight inputs
    return out.bytes();
}

LoadStatus LoadConfiguration(const ConfigurationNodes& nodes, std::string_view bytes,
                             Prompter& prompter, Event* abortEvent) {
    const std::vector<InvisibleElement*> deviceNodes = DeviceNodes(nodes);
    StoredNode commonParams;
    std::vector<StoredNode> device;
    try {
        ArchiveReader in(bytes);
        const std::uint16_t schema = in.ReadClass("CZEP8Doc").schema;
        // 0xFFFF: a document stored without a schema of its own.
        if (schema != 2 && schema != 3 && schema != kNoSchema) {
            prompter.notify("Данные в файле испорчены!", "Ошибка открытия файла!", Icon::Warning);
            return LoadStatus::DamagedDocument;
        }
        commonParams = ReadNode(in);
        if (in.ReadClass("Device").schema == kObjectSchema) {
            for (std::size_t i = 0; i < deviceNodes.size(); ++i) device.push_back(ReadNode(in));
        }
    } catch (const ArchiveError&) {
        prompter.notify(
            "Неверный формат данных! Возможно это устаревшая версия файла.\n\n"
            "Попробуйте открыть файл другой версией конфигуратора.",
            "Ошибка открытия файла", Icon::Warning);
        processState().SetExitStatus(EXIT_FILE_ERROR);
        if (abortEvent) abortEvent->set();
        return LoadStatus::FormatError;
    }

    Apply(commonParams, nodes.commonParams);
    for (std::size_t i = 0; i < device.size(); ++i) Apply(device[i], *deviceNodes[i]);
    return LoadStatus::Loaded;
}

std::optional<std::string> SaveConfigurationFile(const std::string& path,
                                                 const ConfigurationNodes& nodes) {
    return WriteWholeFile(path, SaveConfiguration(nodes));
}

std::optional<std::string> ReadFileBytes(const std::string& path, std::string& error) {
    return ReadWholeFile(path, error);
}

}  // namespace zep8
