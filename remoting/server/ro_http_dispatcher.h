#pragma once
// How the HTTP server chooses what answers a request by its path: the HTTP message dispatcher
// (a message dispatcher with a path), the dispatcher collection that finds one by path, and the
// list of extra HTTP dispatchers that other components attach to a server, each serving a root
// path by itself.

#include <memory>
#include <mutex>
#include <vector>

#include "remoting/core/ro_interfaces.h"
#include "remoting/server/ro_server.h"

namespace vgl {

/// A path as the dispatcher compares it: cut at the first "?", "/" put in front of a non-empty
/// path without one, every "\" turned into "/", one trailing "/" removed, lower case.
String NormalizeHTTPPath(StringView aPath);

class TROHTTPDispatcher : public TROMessageDispatcher {
    VGL_CLASS(TROHTTPDispatcher, TROMessageDispatcher)
    explicit TROHTTPDispatcher(TCollection* aCollection);

    const String& PathInfo() const { return fPathInfo; }
    /// Refuses a path holding "?" or "#" with EROException "Path contains unaccessible symbols
    /// ("?" or "#")".
    void SetPathInfo(const String& Value);
    /// Also copies PathInfo from another HTTP dispatcher.
    void Assign(const TPersistent* Source) override;
    /// The base's SetMessage; then an empty PathInfo becomes the message's class name without
    /// its first "Message" and then without its first "TRO" (TROSOAPMessage gives "SOAP").
    void SetMessage(TROMessage* Value) override;
    /// False when disabled or the transport is no HTTP transport; otherwise whether the
    /// normalized transport path equals the normalized PathInfo.
    bool CanHandleMessage(const std::shared_ptr<IROTransport>& aTransport, TStream& aRequeststream) override;

private:
    String fPathInfo;
};

class TROHTTPMessageDispatchers : public TROMessageDispatchers {
    VGL_CLASS(TROHTTPMessageDispatchers, TROMessageDispatchers)
    explicit TROHTTPMessageDispatchers(TROServer* aServer);

    TROHTTPDispatcher* Add() { return static_cast<TROHTTPDispatcher*>(TCollection::Add()); }
    /// From the last dispatcher to the first, the first whose PathInfo equals Path, or "/" +
    /// PathInfo for a PathInfo not starting with "/" (without regard to case); none otherwise.
    /// Only the exact path matches.
    TROHTTPDispatcher* GetDispatcherByPath(const String& Path) const;
    bool GetSupportsMultipleDispatchers() const override { return true; }
};

/// The extra HTTP dispatchers of one server. Register and Unregister may run while requests are
/// served: the list is guarded and lookups work on a snapshot.
class TROExtendedHTTPDispatcherList : public IROHTTPServer {
public:
    /// The owner (not owned) outlives the list.
    explicit TROExtendedHTTPDispatcherList(IROHTTPServer* aOwner);
    /// Deactivates and clears.
    ~TROExtendedHTTPDispatcherList() override;

    void Register(const std::shared_ptr<IROHTTPDispatcher>& aDispatcher) override;
    void Unregister(const std::shared_ptr<IROHTTPDispatcher>& aDispatcher) override;
    /// The owner's reader.
    TROCustomRODLReader* GetRODLReader() override;
    /// From the last to the first, the first whose CanHandlePath is true; none.
    std::shared_ptr<IROHTTPDispatcher> GetDispatcher(const String& aPath);
    /// Activate / Deactivate of every dispatcher in list order.
    void ActivateDispatchers();
    void DeactivateDispatchers();
    /// Detach of every dispatcher from the last to the first; the list becomes empty.
    void Clear();
    int Count() const;

private:
    std::vector<std::shared_ptr<IROHTTPDispatcher>> Snapshot() const;

    mutable std::mutex fLock;
    std::vector<std::shared_ptr<IROHTTPDispatcher>> fList;
    IROHTTPServer* fOwner;
};

} // namespace vgl
