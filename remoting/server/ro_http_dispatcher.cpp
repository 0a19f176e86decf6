#include "remoting/server/ro_http_dispatcher.h"

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

VGL_DEFINE_CLASS(TROHTTPDispatcher) {
    b.Property(u"PathInfo", &TROHTTPDispatcher::PathInfo, &TROHTTPDispatcher::SetPathInfo);
}
VGL_DEFINE_CLASS(TROHTTPMessageDispatchers) {}

String NormalizeHTTPPath(StringView aPath) {
    String path(aPath.substr(0, aPath.find(u'?')));
    if (!path.empty() && path[0] != u'/')
        path.insert(path.begin(), u'/');
    for (Char& c : path)
        if (c == u'\\')
            c = u'/';
    if (!path.empty() && path.back() == u'/')
        path.pop_back();
    return LowerCase(path);
}

// ---- TROHTTPDispatcher --------------------------------------------------------------------

TROHTTPDispatcher::TROHTTPDispatcher(TCollection* aCollection) : TROMessageDispatcher(aCollection) {}

void TROHTTPDispatcher::SetPathInfo(const String& Value) {
    if (Value == fPathInfo)
        return;
    if (Value.find_first_of(u"?#") != String::npos)
        throw EROException(u"Path contains unaccessible symbols (\"?\" or \"#\")");
    fPathInfo = Value;
}

void TROHTTPDispatcher::Assign(const TPersistent* Source) {
    TROMessageDispatcher::Assign(Source);
    if (auto* source = dynamic_cast<const TROHTTPDispatcher*>(Source))
        SetPathInfo(source->fPathInfo);
}

void TROHTTPDispatcher::SetMessage(TROMessage* Value) {
    TROMessageDispatcher::SetMessage(Value);
    if (fPathInfo.empty() && Value != nullptr) {
        String name = Value->ClassName();
        if (auto at = name.find(u"Message"); at != String::npos)
            name.erase(at, 7);
        if (auto at = name.find(u"TRO"); at != String::npos)
            name.erase(at, 3);
        SetPathInfo(name);
    }
}

bool TROHTTPDispatcher::CanHandleMessage(const std::shared_ptr<IROTransport>& aTransport, TStream&) {
    if (!Enabled())
        return false;
    auto http = std::dynamic_pointer_cast<IROHTTPTransport>(aTransport);
    if (!http)
        return false;
    return NormalizeHTTPPath(http->GetPathInfo()) == NormalizeHTTPPath(fPathInfo);
}

// ---- TROHTTPMessageDispatchers ------------------------------------------------------------

TROHTTPMessageDispatchers::TROHTTPMessageDispatchers(TROServer* aServer)
    : TROMessageDispatchers(aServer, &TROHTTPDispatcher::StaticClassInfo()) {}

TROHTTPDispatcher* TROHTTPMessageDispatchers::GetDispatcherByPath(const String& Path) const {
    for (int i = Count() - 1; i >= 0; --i) {
        auto* dispatcher = static_cast<TROHTTPDispatcher*>(Items(i));
        const String& path = dispatcher->PathInfo();
        if (SameText(path, Path))
            return dispatcher;
        if (!path.empty() && path[0] != u'/' && SameText(u"/" + path, Path))
            return dispatcher;
    }
    return nullptr;
}

// ---- TROExtendedHTTPDispatcherList --------------------------------------------------------

TROExtendedHTTPDispatcherList::TROExtendedHTTPDispatcherList(IROHTTPServer* aOwner) : fOwner(aOwner) {}

TROExtendedHTTPDispatcherList::~TROExtendedHTTPDispatcherList() {
    try {
        DeactivateDispatchers();
        Clear();
    } catch (...) {
        // A dispatcher failing while the server goes away changes nothing more.
    }
}

void TROExtendedHTTPDispatcherList::Register(const std::shared_ptr<IROHTTPDispatcher>& aDispatcher) {
    if (!aDispatcher)
        return;
    std::lock_guard guard(fLock);
    fList.push_back(aDispatcher);
}

void TROExtendedHTTPDispatcherList::Unregister(const std::shared_ptr<IROHTTPDispatcher>& aDispatcher) {
    std::lock_guard guard(fLock);
    std::erase(fList, aDispatcher);
}

TROCustomRODLReader* TROExtendedHTTPDispatcherList::GetRODLReader() {
    return fOwner != nullptr ? fOwner->GetRODLReader() : nullptr;
}

std::vector<std::shared_ptr<IROHTTPDispatcher>> TROExtendedHTTPDispatcherList::Snapshot() const {
    std::lock_guard guard(fLock);
    return fList;
}

std::shared_ptr<IROHTTPDispatcher> TROExtendedHTTPDispatcherList::GetDispatcher(const String& aPath) {
    auto list = Snapshot();
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        if ((*it)->CanHandlePath(aPath))
            return *it;
    return nullptr;
}

void TROExtendedHTTPDispatcherList::ActivateDispatchers() {
    for (const auto& dispatcher : Snapshot())
        dispatcher->Activate();
}

void TROExtendedHTTPDispatcherList::DeactivateDispatchers() {
    for (const auto& dispatcher : Snapshot())
        dispatcher->Deactivate();
}

void TROExtendedHTTPDispatcherList::Clear() {
    std::vector<std::shared_ptr<IROHTTPDispatcher>> list;
    {
        std::lock_guard guard(fLock);
        list.swap(fList);
    }
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        (*it)->Detach();
}

int TROExtendedHTTPDispatcherList::Count() const {
    std::lock_guard guard(fLock);
    return int(fList.size());
}

} // namespace vgl
