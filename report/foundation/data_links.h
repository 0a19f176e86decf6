#pragma once
// The process-wide registry of data-link protocols: the scheme of a link such as
// "scheme://rest" chooses the protocol that fetches the linked bytes into a stream.

#include <memory>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/sync.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TStream;

/// A protocol: fetches the content a link names. Protocols are stateless; the registry shares one
/// instance per registration.
class TfrxCustomDatalinkProtocol : public TObject {
public:
    String ClassName() const override { return u"TfrxCustomDatalinkProtocol"; }
    /// Writes the linked content into `stream` and answers whether it could; `data` is the object
    /// bound at registration. The base raises EAbstractError "Method LoadBy in <class name>".
    virtual bool LoadBy(String& link, TStream& stream, TObject* data) const;
};

/// The moments at which a view asks for its link.
enum TfrxDataLinkLoadMethod { dlmGetLink, dlmOnGetData, dlmOnLoading };

/// An object that accepts linked content.
class IfrxDataLinkObject {
public:
    virtual ~IfrxDataLinkObject() = default;
    /// Loads the content from `stream` (positioned at 0); true when it could.
    virtual bool LoadDataFromStream(TStream& stream, const String& link) = 0;
    /// The object's link for the load method (empty when it has none for that moment).
    virtual String GetLink(TfrxDataLinkLoadMethod) const { return {}; }
    /// Whether the link is an expression to evaluate before loading.
    virtual bool IsExpressionLink() const { return false; }
};

struct TfrxProtocolItem {
    String ProtocolName;
    std::shared_ptr<const TfrxCustomDatalinkProtocol> Protocol;
    /// Bound at registration, not owned.
    TObject* Data = nullptr;
};

class TfrxDataLinkProtocols : public TObject {
public:
    TfrxDataLinkProtocols() = default;
    ~TfrxDataLinkProtocols() override;
    TfrxDataLinkProtocols(const TfrxDataLinkProtocols&) = delete;
    TfrxDataLinkProtocols& operator=(const TfrxDataLinkProtocols&) = delete;
    String ClassName() const override { return u"TfrxDataLinkProtocols"; }

    /// Appends a protocol under `protocolName` (nothing for none). A name may be registered twice;
    /// the first registration answers lookups.
    void Register(std::shared_ptr<const TfrxCustomDatalinkProtocol> protocol, const String& protocolName,
                  TObject* boundData = nullptr);
    /// Removes the first registration of that name (ASCII case-insensitive); nothing when none.
    void Unregister(const String& protocolName);
    void Clear();

    int Count() const;
    /// Raises EListError outside 0..Count-1. The item lives until it is unregistered.
    const TfrxProtocolItem* GetItem(int index) const;
    /// The scheme of a link: the text before its first "://" (empty when it has none).
    static String SchemeOf(StringView link);
    /// The protocol or the item that answers for the link's scheme, or none.
    std::shared_ptr<const TfrxCustomDatalinkProtocol> GetProtocol(StringView link) const;
    const TfrxProtocolItem* GetProtocolItem(StringView link) const;
    /// The matching protocol's LoadBy with the full link; false when no protocol matches.
    bool LoadByLink(String& link, TStream& stream) const;
    /// Fetches the content into a memory stream and hands it to the object; false when the
    /// object is none, no protocol matches, the protocol fails or anything raises.
    bool LoadToObject(String link, IfrxDataLinkObject* dataLinkObject) const;

private:
    const TfrxProtocolItem* Find(StringView link) const;

    mutable TMultiReadExclusiveWriteSynchronizer FLock;
    std::vector<std::unique_ptr<TfrxProtocolItem>> FList;
};

/// The process-wide registry, created on first use.
TfrxDataLinkProtocols& frxDataLinkProtocolsInstance();

} // namespace vgl
