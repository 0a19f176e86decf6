#include "remoting/core/ro_url_schema.h"

#include <atomic>
#include <memory>

#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

void File(std::map<String, TClass>& map, StringView key, TClass cls) {
    if (cls)
        map[UpperCase(key)] = cls;
    else
        map.erase(UpperCase(key));
}

TClass Lookup(const std::map<String, TClass>& map, StringView key) {
    auto it = map.find(UpperCase(key));
    return it == map.end() ? nullptr : it->second;
}

std::mutex InstanceLock;
std::unique_ptr<TROUrlSchemaParser> Instance;

} // namespace

void TROUrlSchemaParser::SetMessageHandler(StringView aKey, TClass aMessageClass) {
    std::lock_guard lock(fLock);
    File(fMessageHandlers, aKey, aMessageClass);
}

TClass TROUrlSchemaParser::MessageHandler(StringView aKey) const {
    std::lock_guard lock(fLock);
    return Lookup(fMessageHandlers, aKey);
}

void TROUrlSchemaParser::SetProtocolHandler(StringView aProtocol, TClass aChannelClass) {
    std::lock_guard lock(fLock);
    File(fProtocolHandlers, aProtocol, aChannelClass);
}

TClass TROUrlSchemaParser::ProtocolHandler(StringView aProtocol) const {
    std::lock_guard lock(fLock);
    return Lookup(fProtocolHandlers, aProtocol);
}

TClass TROUrlSchemaParser::DefaultMessageHandler() const {
    std::lock_guard lock(fLock);
    return fDefaultMessage;
}

void TROUrlSchemaParser::SetDefaultMessageHandler(TClass aMessageClass) {
    std::lock_guard lock(fLock);
    fDefaultMessage = aMessageClass;
}

TROUrlSchemaParser* UrlSchemaParser() {
    std::lock_guard lock(InstanceLock);
    return Instance.get();
}

void CreateUrlSchemaParser() {
    std::lock_guard lock(InstanceLock);
    if (!Instance)
        Instance = std::make_unique<TROUrlSchemaParser>();
}

void FreeUrlSchemaParser() {
    std::lock_guard lock(InstanceLock);
    Instance.reset();
}

} // namespace vgl
