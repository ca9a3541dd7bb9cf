#include "platform/memory_settings_store.h"

#include "platform/text.h"

namespace zep8 {

const MemorySettingsStore::Values* MemorySettingsStore::find(std::string_view key) const {
    auto it = keys_.find(FoldCase(key));
    return it == keys_.end() ? nullptr : &it->second;
}

bool MemorySettingsStore::hasKey(std::string_view key) const {
    std::lock_guard lock(mutex_);
    return find(key) != nullptr;
}

bool MemorySettingsStore::createKey(std::string_view key) {
    std::lock_guard lock(mutex_);
    keys_.try_emplace(FoldCase(key));
    return true;
}

std::optional<std::string> MemorySettingsStore::readString(std::string_view key,
                                                           std::string_view name) const {
    std::lock_guard lock(mutex_);
    const Values* values = find(key);
    if (!values) return std::nullopt;
    auto it = values->find(FoldCase(name));
    if (it == values->end() || !std::holds_alternative<std::string>(it->second))
        return std::nullopt;
    return std::get<std::string>(it->second);
}

std::optional<std::int32_t> MemorySettingsStore::readInt(std::string_view key,
                                                         std::string_view name) const {
    std::lock_guard lock(mutex_);
    const Values* values = find(key);
    if (!values) return std::nullopt;
    auto it = values->find(FoldCase(name));
    if (it == values->end() || !std::holds_alternative<std::int32_t>(it->second)) {
        return std::nullopt;
    }
    return std::get<std::int32_t>(it->second);
}

bool MemorySettingsStore::write(std::string_view key, std::string_view name, Value value) {
    std::lock_guard lock(mutex_);
    auto it = keys_.find(FoldCase(key));
    if (it == keys_.end()) return false;
    it->second[FoldCase(name)] = std::move(value);
    return true;
}

bool MemorySettingsStore::writeString(std::string_view key, std::string_view name,
                                      std::string_view value) {
    return write(key, name, std::string(value));
}

bool MemorySettingsStore::writeInt(std::string_view key, std::string_view name,
                                   std::int32_t value) {
    return write(key, name, value);
}

}  // namespace zep8
