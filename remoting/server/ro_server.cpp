#include "remoting/server/ro_server.h"

#include <algorithm>
#include <mutex>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/resources.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/initialization.h"
#include "remoting/core/ro_url_schema.h"
#include "remoting/core/ro_utils.h"
#include "remoting/core/rodl_model.h"
#include "remoting/core/rodl_streams.h"
#include "remoting/server/ro_rtti_server.h"
#include "remoting/server/ro_soap_message.h"

namespace vgl {

VGL_DEFINE_ENUM(TROServerType, u"rstNonIPBased", u"rstTCP", u"rstHTTP", u"rstUDP", u"rstSuperHTTP", u"rstSuperTCP")

VGL_DEFINE_CLASS(TROMessageDispatcher) {
    b.Property(u"Name", &TROMessageDispatcher::Name, &TROMessageDispatcher::SetName);
    b.Property(u"Message", &TROMessageDispatcher::Message, &TROMessageDispatcher::SetMessage);
    b.Property(u"Enabled", &TROMessageDispatcher::Enabled, &TROMessageDispatcher::SetEnabled).Default(true);
}
VGL_DEFINE_CLASS(TROMessageDispatchers) {}
VGL_DEFINE_CLASS(TRODefaultRODLReader) {}
VGL_DEFINE_CLASS(TROServer) {
    b.Property(u"ServeRodl", &TROServer::ServeRodl, &TROServer::SetServeRodl).Default(true);
    b.Property(u"ServiceGroup", &TROServer::ServiceGroup, &TROServer::SetServiceGroup);
}

namespace {

constexpr const char16_t* SMessageIsNil = u"Message is nil";
constexpr const char16_t* SInvalidRequestStream = u"Invalid request stream (%d bytes)";
constexpr const char16_t* SNoInterfaceName = u"The message does not have an interface name";
constexpr const char16_t* SNoMessageName = u"The message does not have a name";
constexpr const char16_t* SClassFactoryNotFound = u"Class factory for interface %s not found";
constexpr const char16_t* SUnsupportedMessageType = u"Unsupported message type %d.";
constexpr const char16_t* SNoDispatcher =
    u"Cannot find message dispatcher. Maybe there is no message component configured for the requested path?";
constexpr const char16_t* SDispatcherDisabled = u"Dispatcher for this server is disabled.";
constexpr const char16_t* SDispatcherWithoutMessage =
    u"The Dispatcher for this server does not have a message configured.";
constexpr const char16_t* SUnhandledException = u"Unhandled exception";
constexpr const char16_t* SStopBeforeAssign = u"%s must be stopped before assigning";
constexpr const char16_t* SDispatcherAssigned = u"Dispatcher for %s already assigned";
constexpr const char16_t* SOneDispatcher = u"%s servers only support one dispatcher";
constexpr const char16_t* SUnassigned = u"[Unassigned]";

std::unique_ptr<TROMessageDispatchers> DefaultDispatchers(TROServer* aServer) {
    return std::make_unique<TROMessageDispatchers>(aServer);
}

} // namespace

// ---- Dispatchers --------------------------------------------------------------------------

TROMessageDispatcher::TROMessageDispatcher(TCollection* aCollection) : TCollectionItem(aCollection) {}

TROMessageDispatcher::~TROMessageDispatcher() {
    if (fMessage)
        if (TROMessageDispatchers* d = Dispatchers(); d && d->Server())
            fMessage->RORemoveFreeNotification(d->Server());
}

TROMessageDispatchers* TROMessageDispatcher::Dispatchers() const {
    return dynamic_cast<TROMessageDispatchers*>(Collection());
}

String TROMessageDispatcher::GetDisplayName() const {
    return fMessage ? fMessage->Name() : String(SUnassigned);
}

void TROMessageDispatcher::SetMessage(TROMessage* Value) {
    if (Value == fMessage)
        return;
    TROMessageDispatchers* dispatchers = Dispatchers();
    TROServer* server = dispatchers ? dispatchers->Server() : nullptr;
    if (Value && dispatchers)
        if (TROMessageDispatcher* other = dispatchers->FindDuplicate(Value); other && other != this)
            throw EROException(SDispatcherAssigned, {Value->Name()});
    if (fMessage && server)
        fMessage->RORemoveFreeNotification(server);
    if (Value && server)
        Value->ROFreeNotification(server);
    fMessage = Value;
}

void TROMessageDispatcher::Assign(const TPersistent* Source) {
    if (auto* source = dynamic_cast<const TROMessageDispatcher*>(Source)) {
        SetMessage(source->fMessage);
        fEnabled = source->fEnabled;
        return;
    }
    TCollectionItem::Assign(Source);
}

bool TROMessageDispatcher::CanHandleMessage(const std::shared_ptr<IROTransport>&, TStream&) {
    return fEnabled;
}

bool TROMessageDispatcher::ProcessMessage(const std::shared_ptr<IROTransport>& aTransport, TStream& aRequeststream,
                                          TStream& aResponsestream, TROResponseOptions& oResponseOptions,
                                          bool aServeRodl) {
    if (!fMessage)
        throw EROException(SDispatcherWithoutMessage);
    // Every request gets its own clone: concurrent requests never share a message.
    std::shared_ptr<IROMessage> message = fMessage->Clone();
    TROServer* server = Dispatchers() ? Dispatchers()->Server() : nullptr;
    if (auto groups = std::dynamic_pointer_cast<IROServiceGroupSupport>(message))
        groups->SetServiceGroups(server ? server->ServiceGroup() : String());
    return ServerProcessMessage(message, aTransport, aRequeststream, aResponsestream, oResponseOptions, aServeRodl,
                                server);
}

TROMessageDispatchers::TROMessageDispatchers(TROServer* aServer)
    : TROMessageDispatchers(aServer, &TROMessageDispatcher::StaticClassInfo()) {}

TROMessageDispatchers::TROMessageDispatchers(TROServer* aServer, TClass aDispatcherClass)
    : TOwnedCollection(aServer, aDispatcherClass), fServer(aServer) {}

TROMessageDispatcher* TROMessageDispatchers::GetDispatcher(int Index) const {
    return static_cast<TROMessageDispatcher*>(Items(Index));
}

TROMessageDispatcher* TROMessageDispatchers::FindDispatcher(const std::shared_ptr<IROTransport>& aTransport,
                                                            TStream& aRequestStream) {
    for (int i = 0; i < Count(); ++i)
        if (GetDispatcher(i)->CanHandleMessage(aTransport, aRequestStream))
            return GetDispatcher(i);
    return nullptr;
}

TROMessageDispatcher* TROMessageDispatchers::DispatcherByName(const String& aName) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(GetDispatcher(i)->GetDisplayName(), aName))
            return GetDispatcher(i);
    return nullptr;
}

TROMessageDispatcher* TROMessageDispatchers::FindDuplicate(const TROMessage* aMessage) const {
    for (int i = 0; i < Count(); ++i)
        if (GetDispatcher(i)->Message() == aMessage)
            return GetDispatcher(i);
    return nullptr;
}

void TROMessageDispatchers::CleanReferences(const TComponent* aMessage) {
    // The message is being destroyed (no longer a TROMessage): only the pointer is compared.
    for (int i = 0; i < Count(); ++i)
        if (static_cast<const TComponent*>(GetDispatcher(i)->fMessage) == aMessage)
            GetDispatcher(i)->fMessage = nullptr;
}

void TROMessageDispatchers::Notify(TCollectionItem* item, TCollectionNotification action) {
    TOwnedCollection::Notify(item, action);
    // The collection's Add frees the new item when this raises.
    if (action == cnAdded && !GetSupportsMultipleDispatchers() && Count() > 1)
        throw EROException(SOneDispatcher, {fServer ? fServer->ClassName() : ClassName()});
}

// ---- Default definition reader ------------------------------------------------------------

void TRODefaultRODLReader::DoReadRODLResource(TStream& Dest, const String& aServiceGroup) {
    std::optional<std::span<const std::uint8_t>> resource = FindResource(u"RODLFILE", u"RCDATA");
    if (!resource)
        return;
    TMemoryStream source;
    if (!resource->empty())
        source.WriteBuffer(resource->data(), std::int64_t(resource->size()));
    source.SetPosition(0);
    FilterRODLStream(source, Dest, aServiceGroup, false);
}

// ---- TROServer ----------------------------------------------------------------------------

TROServer::TROServer(TComponent* aOwner) : TROServer(aOwner, &DefaultDispatchers) {}

TROServer::TROServer(TComponent* aOwner, TDispatchersMaker aMaker)
    : TROBaseConnection(aOwner), fDispatchers(aMaker(this)) {}

TROServer::~TROServer() {
    // The descendant's listener is gone by now (its destructor closes it); what is left is to
    // let the messages forget this server.
    if (fDispatchers)
        for (int i = 0; i < fDispatchers->Count(); ++i)
            fDispatchers->GetDispatcher(i)->SetMessage(nullptr);
    fDispatchers.reset();
}

bool TROServer::Active() {
    return IntGetActive();
}

void TROServer::SetActive(bool Value) {
    if (ComponentState().Contains(csLoading)) {
        fLoadActive = Value;
        fDoneAfterLoad = false;
        return;
    }
    if (Value == IntGetActive())
        return;
    if (Value) {
        if (OnBeforeServerActivate)
            OnBeforeServerActivate(this);
    } else {
        if (fz_OnBeforeServerDeactivate)
            fz_OnBeforeServerDeactivate(this);
        if (OnBeforeServerDeactivate)
            OnBeforeServerDeactivate(this);
    }
    {
        // The names are refreshed whether the change worked or not.
        const TScopeExit refresh([&] { CacheServiceNames(); });
        IntSetActive(Value);
    }
    if (IntGetActive() != Value)
        return;
    if (Value) {
        if (OnAfterServerActivate)
            OnAfterServerActivate(this);
        if (fz_OnAfterServerActivate)
            fz_OnAfterServerActivate(this);
    } else if (OnAfterServerDeactivate)
        OnAfterServerDeactivate(this);
}

void TROServer::Loaded() {
    TROBaseConnection::Loaded();
    IntSetActive(false);
    SetActive(fLoadActive);
    fDoneAfterLoad = true;
}

void TROServer::Assign(const TPersistent* Source) {
    if (IntGetActive())
        throw EROException(SStopBeforeAssign, {Name()});
    TROBaseConnection::Assign(Source);
    auto* source = dynamic_cast<const TROServer*>(Source);
    if (!source)
        return;
    fDispatchers->Assign(source->fDispatchers.get());
    fServiceGroup = source->fServiceGroup;
    OnBeforeServerActivate = source->OnBeforeServerActivate;
    OnAfterServerActivate = source->OnAfterServerActivate;
    OnBeforeServerDeactivate = source->OnBeforeServerDeactivate;
    OnAfterServerDeactivate = source->OnAfterServerDeactivate;
    OnGetRODLReader = source->OnGetRODLReader;
    OnReadFromStream = source->OnReadFromStream;
    OnWriteToStream = source->OnWriteToStream;
    fServeRodl = source->fServeRodl;
    if (GetServerType() == source->GetServerType())
        SetPort(source->GetPort());
}

void TROServer::Notification(TComponent* AComponent, TOperation Operation) {
    TROBaseConnection::Notification(AComponent, Operation);
    if (Operation != opRemove)
        return;
    if (AComponent == fRTTIReader)
        fRTTIReader = nullptr;
    if (fDispatchers)
        fDispatchers->CleanReferences(AComponent);
}

void TROServer::TriggerReadFromStream(TStream& aSource) {
    if (!OnReadFromStream)
        return;
    aSource.SetPosition(0);
    OnReadFromStream(aSource);
    aSource.SetPosition(0);
}

void TROServer::TriggerWriteToStream(TStream& aDest) {
    if (!OnWriteToStream)
        return;
    aDest.SetPosition(0);
    OnWriteToStream(aDest);
    aDest.SetPosition(0);
}

bool TROServer::IntDispatchMessage(TROMessageDispatcher& aDispatcher, const std::shared_ptr<IROTransport>& aTransport,
                                   TStream& aRequeststream, TStream& aResponsestream,
                                   TROResponseOptions& oResponseOptions) {
    TriggerReadFromStream(aRequeststream);
    bool result = aDispatcher.ProcessMessage(aTransport, aRequeststream, aResponsestream, oResponseOptions, fServeRodl);
    TriggerWriteToStream(aResponsestream);
    return result;
}

bool TROServer::DispatchMessage(const std::shared_ptr<IROTransport>& aTransport, TStream& aRequestStream,
                                TStream& aResponseStream, TROResponseOptions& oResponseOptions) {
    const TScopeExit rewind([&] { aResponseStream.SetPosition(0); });
    try {
        TROMessageDispatcher* dispatcher = fDispatchers->FindDispatcher(aTransport, aRequestStream);
        if (!dispatcher)
            throw EROException(SNoDispatcher);
        if (!dispatcher->Enabled())
            throw EROException(SDispatcherDisabled);
        if (!dispatcher->Message())
            throw EROException(SDispatcherWithoutMessage);
        return IntDispatchMessage(*dispatcher, aTransport, aRequestStream, aResponseStream, oResponseOptions);
    } catch (const Exception& e) {
        const String text = e.Message().empty() ? String(SUnhandledException) : e.Message();
        std::string bytes;
        bytes.reserve(text.size() * 2);
        for (Char c : text) {
            bytes.push_back(char(c & 0xFF));
            bytes.push_back(char(c >> 8));
        }
        if (!bytes.empty())
            aResponseStream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
        TriggerWriteToStream(aResponseStream);
        return false;
    }
}

bool TROServer::DispatchMessage(const std::shared_ptr<IROTransport>& aTransport, TStream& aRequestStream,
                                TStream& aResponseStream) {
    TROResponseOptions options;
    return DispatchMessage(aTransport, aRequestStream, aResponseStream, options);
}

TROCustomRODLReader* TROServer::GetRODLReader() {
    TROCustomRODLReader* reader = nullptr;
    if (OnGetRODLReader)
        OnGetRODLReader(this, reader);
    // Requests for the RODL or the WSDL come on several threads at once: the readers are made
    // once under the lock, and their settings written only when they change, so that a thread
    // reading with a reader never sees it being set up.
    const std::lock_guard<std::mutex> lock(fRodlReaderLock);
    if (TClass readerClass = GetRttiRODLReaderClass()) {
        if (!fRTTIReader) {
            TComponent& made = readerClass->CreateComponent(*this);
            fRTTIReader = dynamic_cast<TROCustomRODLReader*>(&made);
        }
        if (auto* rtti = dynamic_cast<TROBaseRTTIRODLReader*>(fRTTIReader)) {
            if (rtti->BaseRODLReader() != reader)
                rtti->SetBaseRODLReader(reader);
            reader = rtti;
        }
    }
    if (!reader) {
        if (!fDefaultRodlReader)
            fDefaultRodlReader = std::make_unique<TRODefaultRODLReader>();
        reader = fDefaultRodlReader.get();
    }
    if (!fServiceGroup.empty() && reader->DefaultServiceGroup() != fServiceGroup)
        reader->SetDefaultServiceGroup(fServiceGroup);
    return reader;
}

void TROServer::CacheServiceNames() {
    fCachedServices.Clear();
    fCachedZeroServices.Clear();
    fCachedServices.SetSorted(false);
    fCachedZeroServices.SetSorted(false);
    const TScopeExit sort([&] {
        fCachedServices.SetSorted(true);
        fCachedZeroServices.SetSorted(true);
    });
    std::unique_ptr<TRODLLibrary> library = GetRODLLibrary(GetRODLReader(), true, false);
    for (int i = 0; i < library->ServiceCount(); ++i) {
        const String name = library->Services(i)->Name();
        fCachedServices.Add(name);
        if (ClassFactoryListExists())
            if (std::unique_ptr<TStringList> aliases = ClassFactoryList().GetRegisteredZeroConfNames(name))
                fCachedZeroServices.AddStrings(*aliases);
        GetServiceZeroConfNames(&fCachedZeroServices, name);
    }
}

bool IsServiceInServerGroup(const TROServer* aServer, const String& anInterfaceName) {
    if (!aServer || aServer->ServiceGroup().empty())
        return true;
    return aServer->CachedServices().IndexOf(anInterfaceName) >= 0 ||
           aServer->CachedZeroServices().IndexOf(anInterfaceName) >= 0;
}

// ---- Processing one request ---------------------------------------------------------------

namespace {

/// Metadata answers (sizes 0 and 4).
bool AnswerMetadata(IROMessage& aMessage, const std::shared_ptr<IROMessage>& aMessagePtr,
                    const std::shared_ptr<IROTransport>& aTransport, TStream& aRequestStream, TStream& aResponseStream,
                    TROResponseOptions& oResponseOptions, bool aDefinition) {
    (void)aMessage;
    oResponseOptions.Include(roDontEncrypt);
    String contentType = u"text/xml";
    String method;
    if (auto request = std::dynamic_pointer_cast<IROHTTPRequest>(aTransport))
        method = request->GetMethod();
    auto info = std::dynamic_pointer_cast<IROModuleInfo>(aMessagePtr);
    if (!info)
        throw EROException(SInvalidRequestStream, {aRequestStream.GetSize()});
    if (aDefinition)
        info->GetRodlInfo(aResponseStream, aTransport, contentType);
    else if (!SameText(method, u"OPTIONS"))
        info->GetModuleInfo(aResponseStream, aTransport, contentType);
    if (auto http = std::dynamic_pointer_cast<IROHTTPTransport>(aTransport))
        http->SetContentType(contentType);
    return true;
}

} // namespace

bool ServerProcessMessage(const std::shared_ptr<IROMessage>& aMessage, const std::shared_ptr<IROTransport>& aTransport,
                          TStream& aRequestStream, TStream& aResponseStream, TROResponseOptions& oResponseOptions,
                          bool aServeRodl, TROServer* aServer) {
    try {
        if (!aMessage)
            throw EROException(SMessageIsNil);
        IROMessage& message = *aMessage;
        const std::uint32_t size = std::uint32_t(aRequestStream.GetSize());
        switch (size) {
        case 0:
            return AnswerMetadata(message, aMessage, aTransport, aRequestStream, aResponseStream, oResponseOptions,
                                  false);
        case 4:
            if (!aServeRodl)
                throw EROException(SInvalidRequestStream, {aRequestStream.GetSize()});
            return AnswerMetadata(message, aMessage, aTransport, aRequestStream, aResponseStream, oResponseOptions,
                                  true);
        case 5:
            aResponseStream.WriteBuffer("PROBEDOK", 8);
            return true;
        default:
            break;
        }
        message.ReadTransportInfo(aTransport);
        message.ReadFromStream(aRequestStream);
        const int type = message.GetMessageType();
        if (type != MessageTypeRequest && type != MessageTypeResponse)
            // Poll messages (type 6) come with the event repositories.
            throw EROServerException(SUnsupportedMessageType, {type & 0x7F});
        const String interfaceName = message.GetInterfaceName();
        if (interfaceName.empty())
            throw EROException(SNoInterfaceName);
        if (message.GetMessageName().empty())
            throw EROException(SNoMessageName);
        if (aServer && !IsServiceInServerGroup(aServer, interfaceName))
            throw EROException(SClassFactoryNotFound, {interfaceName});
        if (message.GetClientID() == GUID_NULL)
            message.SetClientID(NewGuid());
        std::shared_ptr<IROClassFactory> factory = GetClassFactory(interfaceName);
        const bool result = factory->GetInvoker()->HandleMessage(factory, aMessage, aTransport, oResponseOptions);
        message.WriteTransportInfo(aTransport);
        message.WriteToStream(aResponseStream);
        return result;
    } catch (const Exception& e) {
        if (dynamic_cast<const EROSendNoResponse*>(&e))
            oResponseOptions.Include(roNoResponse);
        if (!aMessage)
            throw;
        aMessage->InitializeContentType(aTransport, String(), aMessage->GetInterfaceName(), aMessage->GetMessageName());
        aMessage->WriteTransportInfo(aTransport);
        aMessage->WriteException(aResponseStream, e);
        return false;
    }
}

// ---- Server classes -----------------------------------------------------------------------

namespace {
struct ServerClassList {
    std::mutex Lock;
    std::vector<TClass> Classes;
};
ServerClassList& TheServerClasses() {
    static ServerClassList list;
    return list;
}
} // namespace

void RegisterServerClass(TClass aServerClass) {
    ServerClassList& l = TheServerClasses();
    std::lock_guard lock(l.Lock);
    if (aServerClass && std::find(l.Classes.begin(), l.Classes.end(), aServerClass) == l.Classes.end())
        l.Classes.push_back(aServerClass);
}

void UnregisterServerClass(TClass aServerClass) {
    ServerClassList& l = TheServerClasses();
    std::lock_guard lock(l.Lock);
    l.Classes.erase(std::remove(l.Classes.begin(), l.Classes.end(), aServerClass), l.Classes.end());
}

std::vector<TClass> ServerClasses() {
    ServerClassList& l = TheServerClasses();
    std::lock_guard lock(l.Lock);
    return l.Classes;
}

// ---- Unit start and end -------------------------------------------------------------------

void InitializeRemotingServer() {
    InitializeRemotingCore();
    ClassFactoryList();
    InitializeRTTIServer();
    RegisterClass(&EROSendNoResponse::StaticClassInfo());
    RegisterExceptionClass(&EROSendNoResponse::StaticClassInfo());
    RegisterMessageClass(&TROSOAPMessage::StaticClassInfo());
    if (TROUrlSchemaParser* parser = UrlSchemaParser())
        parser->SetMessageHandler(u"soap", &TROSOAPMessage::StaticClassInfo());
}

void FinalizeRemotingServer() {
    if (TROUrlSchemaParser* parser = UrlSchemaParser())
        parser->SetMessageHandler(u"soap", nullptr);
    UnregisterExceptionClass(&EROSendNoResponse::StaticClassInfo());
    FreeClassFactoryList();
    FinalizeRTTIServer();
    {
        ServerClassList& l = TheServerClasses();
        std::lock_guard lock(l.Lock);
        l.Classes.clear();
    }
}

} // namespace vgl
