#include "report/foundation/data_links.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

bool TfrxCustomDatalinkProtocol::LoadBy(String&, TStream&, TObject*) const {
    throw EAbstractError(u"Method LoadBy in %s", {ClassName()});
}

TfrxDataLinkProtocols::~TfrxDataLinkProtocols() {
    Clear();
}

void TfrxDataLinkProtocols::Register(std::shared_ptr<const TfrxCustomDatalinkProtocol> protocol,
                                     const String& protocolName, TObject* boundData) {
    if (!protocol)
        return;
    auto item = std::make_unique<TfrxProtocolItem>(TfrxProtocolItem{protocolName, std::move(protocol), boundData});
    TWriteGuard guard(FLock);
    FList.push_back(std::move(item));
}

void TfrxDataLinkProtocols::Unregister(const String& protocolName) {
    TWriteGuard guard(FLock);
    for (auto it = FList.begin(); it != FList.end(); ++it)
        if (SameText((*it)->ProtocolName, protocolName)) {
            FList.erase(it);
            return;
        }
}

void TfrxDataLinkProtocols::Clear() {
    TWriteGuard guard(FLock);
    FList.clear();
}

int TfrxDataLinkProtocols::Count() const {
    TReadGuard guard(FLock);
    return int(FList.size());
}

const TfrxProtocolItem* TfrxDataLinkProtocols::GetItem(int index) const {
    TReadGuard guard(FLock);
    if (index < 0 || index >= int(FList.size()))
        throw EListError(u"List index out of bounds (%d)", {index});
    return FList[size_t(index)].get();
}

String TfrxDataLinkProtocols::SchemeOf(StringView link) {
    const size_t pos = link.find(u"://");
    return pos == StringView::npos ? String() : String(link.substr(0, pos));
}

const TfrxProtocolItem* TfrxDataLinkProtocols::Find(StringView link) const {
    const String scheme = SchemeOf(link);
    for (const auto& item : FList)
        if (SameText(item->ProtocolName, scheme))
            return item.get();
    return nullptr;
}

std::shared_ptr<const TfrxCustomDatalinkProtocol> TfrxDataLinkProtocols::GetProtocol(StringView link) const {
    TReadGuard guard(FLock);
    const TfrxProtocolItem* item = Find(link);
    return item ? item->Protocol : nullptr;
}

const TfrxProtocolItem* TfrxDataLinkProtocols::GetProtocolItem(StringView link) const {
    TReadGuard guard(FLock);
    return Find(link);
}

bool TfrxDataLinkProtocols::LoadByLink(String& link, TStream& stream) const {
    std::shared_ptr<const TfrxCustomDatalinkProtocol> protocol;
    TObject* data = nullptr;
    {
        TReadGuard guard(FLock);
        const TfrxProtocolItem* item = Find(link);
        if (!item)
            return false;
        protocol = item->Protocol;
        data = item->Data;
    }
    // The protocol is shared, so it outlives an Unregister that happens while it loads.
    return protocol->LoadBy(link, stream, data);
}

bool TfrxDataLinkProtocols::LoadToObject(String link, IfrxDataLinkObject* dataLinkObject) const {
    if (!dataLinkObject)
        return false;
    try {
        TMemoryStream stream;
        if (!LoadByLink(link, stream))
            return false;
        stream.SetPosition(0);
        return dataLinkObject->LoadDataFromStream(stream, link);
    } catch (const std::exception&) {
        return false;
    }
}

TfrxDataLinkProtocols& frxDataLinkProtocolsInstance() {
    static TfrxDataLinkProtocols instance;
    return instance;
}

} // namespace vgl
