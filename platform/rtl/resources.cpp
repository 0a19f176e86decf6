#include "platform/rtl/resources.h"

#include <map>
#include <mutex>
#include <string>

#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

// Keys fold ASCII letters to upper case, as resource names and types compare without case.
std::u16string Key(StringView name, StringView type) {
    std::u16string key;
    key.reserve(name.size() + type.size() + 1);
    for (const Char c : type)
        key.push_back(AsciiUpperChar(c));
    key.push_back(u'\0');
    for (const Char c : name)
        key.push_back(AsciiUpperChar(c));
    return key;
}

struct Registry {
    std::mutex Lock;
    std::map<std::u16string, std::span<const std::uint8_t>> Entries;
};

// Created on first use, so that registrations from static initialisers of any file work
// whatever order those run in.
Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

} // namespace

void RegisterResource(std::string_view name, std::string_view type, std::span<const std::uint8_t> data) {
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> guard(registry.Lock);
    registry.Entries[Key(ToString(name), ToString(type))] = data;
}

std::optional<std::span<const std::uint8_t>> FindResource(StringView name, StringView type) {
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> guard(registry.Lock);
    const auto it = registry.Entries.find(Key(name, type));
    if (it == registry.Entries.end())
        return std::nullopt;
    return it->second;
}

} // namespace vgl
