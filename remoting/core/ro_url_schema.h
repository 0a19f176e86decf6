#pragma once
// The registry of URL schemes: which message class serves an address path and which channel
// class a protocol. One process-wide instance exists between InitializeRemotingCore and
// FinalizeRemotingCore.

#include <map>
#include <mutex>

#include "platform/rtl/reflection.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TROUrlSchemaParser {
public:
    TROUrlSchemaParser() = default;
    TROUrlSchemaParser(const TROUrlSchemaParser&) = delete;
    TROUrlSchemaParser& operator=(const TROUrlSchemaParser&) = delete;

    /// Files the message class under the upper-cased key, replacing; none removes the filing.
    void SetMessageHandler(StringView aKey, TClass aMessageClass);
    /// The class filed under the key (any case), or none.
    TClass MessageHandler(StringView aKey) const;
    /// Files the channel class under the upper-cased protocol, replacing; none removes it.
    void SetProtocolHandler(StringView aProtocol, TClass aChannelClass);
    TClass ProtocolHandler(StringView aProtocol) const;
    TClass DefaultMessageHandler() const;
    void SetDefaultMessageHandler(TClass aMessageClass);

private:
    mutable std::mutex fLock;
    std::map<String, TClass> fMessageHandlers;
    std::map<String, TClass> fProtocolHandlers;
    TClass fDefaultMessage = nullptr;
};

/// The process-wide parser; none outside InitializeRemotingCore .. FinalizeRemotingCore.
TROUrlSchemaParser* UrlSchemaParser();
/// Made by InitializeRemotingCore (once) and freed by FinalizeRemotingCore.
void CreateUrlSchemaParser();
void FreeUrlSchemaParser();

} // namespace vgl
