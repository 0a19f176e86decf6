#include "remoting/server/ro_class_factories.h"

#include <algorithm>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_message.h"
#include "remoting/core/ro_strings.h"
#include "remoting/core/ro_type_registry.h"
#include "remoting/core/ro_utils.h"
#include "remoting/server/ro_rtti_server.h"

namespace vgl {

VGL_DEFINE_ENUM(TROResponseOption, u"roNoResponse", u"roDontEncrypt")
VGL_DEFINE_SET(TROResponseOptions, TROResponseOption)

VGL_DEFINE_CLASS(TRORemotable) {}

namespace {
constexpr const char16_t* SClassFactoryNotFound = u"Class factory for interface %s not found";
constexpr const char16_t* SAbstractService = u"Interface \"%s\" is declared as an abstract service.";
constexpr const char16_t* SNoInstance = u"Class factory did not return an instance of \"%s\"";
constexpr const char16_t* SMissingRoles = u"Session does not have all the required roles for this action.";

bool EndsWith(StringView text, StringView suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}
} // namespace

String MakeZeroConfName(const String& aName) {
    String name = aName;
    if (name.empty() || name[0] != u'_')
        name = u"_" + name;
    if (!EndsWith(name, u"._tcp.") && !EndsWith(name, u"._udp.")) {
        if (!EndsWith(name, u"_rosvc."))
            name += u"_rosvc.";
        name += u"_tcp.";
    }
    return name;
}

// ---- TROClassFactory ----------------------------------------------------------------------

TROClassFactory::TROClassFactory(const String& anInterfaceName, const TRORemotableCreatorFunc& aCreatorFunc,
                                 TROInvokerClass anInvokerClass)
    : fCreatorFunc(aCreatorFunc), fInterfaceName(anInterfaceName) {
    // Made here, once: a lazily made invoker would be a race between the first calls.
    if (anInvokerClass)
        fInvoker = anInvokerClass();
}

TROClassFactory::~TROClassFactory() = default;

std::shared_ptr<TROClassFactory> TROClassFactory::Create(const String& anInterfaceName,
                                                         const TRORemotableCreatorFunc& aCreatorFunc,
                                                         TROInvokerClass anInvokerClass) {
    return Construct<TROClassFactory>(true, anInterfaceName, aCreatorFunc, anInvokerClass);
}

void TROClassFactory::Register(const std::shared_ptr<IROClassFactory>& aFactory) {
    RegisterClassFactory(aFactory);
}

void TROClassFactory::ResetCache() {
    ClearRttiClientCache();
}

void TROClassFactory::CreateInstance(const TGUID&, TROServiceInstance& anInstance) {
    anInstance.reset();
    if (fRTTICreatorFunc)
        fRTTICreatorFunc(anInstance);
    else if (fCreatorFunc)
        fCreatorFunc(anInstance);
}

void TROClassFactory::ReleaseInstance(const TGUID&, TROServiceInstance& anInstance) {
    anInstance.reset();
}

std::shared_ptr<IROInvoker> TROClassFactory::GetInvoker() {
    return fInvoker;
}

bool TROClassFactory::IsInterfaceNameSupported(const String& aName) const {
    std::lock_guard lock(fAliasLock);
    return fAliasNames.IndexOf(aName) >= 0;
}

void TROClassFactory::RegisterInterfaceName(const String& aName) {
    std::lock_guard lock(fAliasLock);
    fAliasNames.Add(MakeZeroConfName(aName));
}

void TROClassFactory::UnregisterInterfaceName(const String& aName) {
    std::lock_guard lock(fAliasLock);
    for (int i = 0; i < fAliasNames.Count(); ++i)
        if (fAliasNames.Get(i) == aName) {
            fAliasNames.Delete(i);
            return;
        }
}

std::vector<String> TROClassFactory::GetAliasNames() const {
    std::lock_guard lock(fAliasLock);
    return StringListToArray(fAliasNames);
}

// ---- The factory list ---------------------------------------------------------------------

int TROClassFactoryList::IndexOfInterfaceName(const String& anInterfaceName) const {
    for (size_t i = 0; i < fItems.size(); ++i)
        if (AnsiSameText(fItems[i]->GetInterfaceName(), anInterfaceName))
            return int(i);
    return -1;
}

int TROClassFactoryList::Add(const std::shared_ptr<IROClassFactory>& aClassFactory) {
    if (!aClassFactory)
        throw EROException(u"No class factory to add");
    const String name = aClassFactory->GetInterfaceName();
    {
        TReadGuard read(fMRW);
        int index = IndexOfInterfaceName(name);
        if (index >= 0)
            return index;
    }
    TWriteGuard write(fMRW);
    int index = IndexOfInterfaceName(name);
    if (index >= 0)
        return index;
    fItems.push_back(aClassFactory);
    return int(fItems.size()) - 1;
}

std::shared_ptr<IROClassFactory> TROClassFactoryList::FindClassFactoryByInterfaceName(const String& anInterfaceName) {
    {
        TReadGuard read(fMRW);
        int index = IndexOfInterfaceName(anInterfaceName);
        if (index >= 0)
            return fItems[size_t(index)];
        for (const auto& factory : fItems)
            if (auto zero = std::dynamic_pointer_cast<IROClassFactory_ZeroConfig>(factory))
                if (zero->IsInterfaceNameSupported(anInterfaceName))
                    return factory;
    }
    std::shared_ptr<IROClassFactory> made = CreateRTTIClassFactory(anInterfaceName);
    if (!made)
        return nullptr;
    // The list keeps the first factory of a name; a thread that lost the race uses the listed one.
    int index = Add(made);
    TReadGuard read(fMRW);
    return fItems[size_t(index)];
}

std::shared_ptr<IROClassFactory> TROClassFactoryList::GetClassFactoryByInterfaceName(const String& anInterfaceName) {
    std::shared_ptr<IROClassFactory> factory = FindClassFactoryByInterfaceName(anInterfaceName);
    if (!factory)
        throw EROException(SClassFactoryNotFound, {anInterfaceName});
    return factory;
}

std::shared_ptr<IROStrings> TROClassFactoryList::GetNames() {
    std::shared_ptr<IROStrings> names = NewROStrings();
    {
        TReadGuard read(fMRW);
        for (const auto& factory : fItems)
            names->Add(factory->GetInterfaceName());
    }
    names->AddStrings(*GetZeroConfNames());
    return names;
}

std::shared_ptr<IROStrings> TROClassFactoryList::GetZeroConfNames() {
    auto list = std::make_unique<TStringList>();
    list->SetSorted(true);
    list->Duplicates = dupIgnore;
    {
        TReadGuard read(fMRW);
        for (const auto& factory : fItems)
            if (auto zero = std::dynamic_pointer_cast<IROClassFactory_ZeroConfig>(factory))
                for (const String& alias : zero->GetAliasNames())
                    list->Add(alias);
    }
    GetServiceZeroConfNames(list.get(), String());
    return NewROStringsFromList(list.release(), true);
}

std::unique_ptr<TStringList> TROClassFactoryList::GetRegisteredZeroConfNames(const String& anInterfaceName) {
    TReadGuard read(fMRW);
    int index = IndexOfInterfaceName(anInterfaceName);
    if (index < 0)
        return nullptr;
    auto zero = std::dynamic_pointer_cast<IROClassFactory_ZeroConfig>(fItems[size_t(index)]);
    if (!zero)
        return nullptr;
    auto list = std::make_unique<TStringList>();
    for (const String& alias : zero->GetAliasNames())
        list->Add(alias);
    return list;
}

int TROClassFactoryList::Count() {
    TReadGuard read(fMRW);
    return int(fItems.size());
}

namespace {
std::mutex ListMutex;
std::unique_ptr<TROClassFactoryList> ListOwner;
std::atomic<TROClassFactoryList*> ListPtr{nullptr};
} // namespace

TROClassFactoryList& ClassFactoryList() {
    if (TROClassFactoryList* p = ListPtr.load(std::memory_order_acquire))
        return *p;
    std::lock_guard lock(ListMutex);
    if (!ListOwner) {
        ListOwner = std::make_unique<TROClassFactoryList>();
        ListPtr.store(ListOwner.get(), std::memory_order_release);
    }
    return *ListOwner;
}

bool ClassFactoryListExists() {
    return ListPtr.load(std::memory_order_acquire) != nullptr;
}

void FreeClassFactoryList() {
    std::lock_guard lock(ListMutex);
    ListPtr.store(nullptr, std::memory_order_release);
    ListOwner.reset();
}

std::shared_ptr<IROClassFactory> GetClassFactory(const String& anInterfaceName) {
    return ClassFactoryList().GetClassFactoryByInterfaceName(anInterfaceName);
}

bool HasClassFactory(const String& anInterfaceName) {
    if (!ClassFactoryListExists())
        return false;
    return ClassFactoryList().FindClassFactoryByInterfaceName(anInterfaceName) != nullptr;
}

int RegisterClassFactory(const std::shared_ptr<IROClassFactory>& aClassFactory) {
    return ClassFactoryList().Add(aClassFactory);
}

std::shared_ptr<IROStrings> GetClassFactoryNames() {
    return ClassFactoryList().GetNames();
}

// ---- TROInvoker ---------------------------------------------------------------------------

bool TROInvoker::HandleMessage(const std::shared_ptr<IROClassFactory>& aFactory,
                               const std::shared_ptr<IROMessage>& aMessage,
                               const std::shared_ptr<IROTransport>& aTransport, TROResponseOptions& oResponseOptions) {
    return CustomHandleMessage(aFactory, aMessage, aTransport, oResponseOptions);
}

String TROInvoker::GetInvokeMethodName(const std::shared_ptr<IROMessage>& aMessage) {
    return u"Invoke_" + aMessage->GetMessageName();
}

TMessageInvokeMethod TROInvoker::MethodAddress(const String&) const {
    return nullptr;
}

bool TROInvoker::CustomHandleMessage(const std::shared_ptr<IROClassFactory>& aFactory,
                                     const std::shared_ptr<IROMessage>& aMessage,
                                     const std::shared_ptr<IROTransport>& aTransport,
                                     TROResponseOptions& oResponseOptions) {
    if (fAbstract)
        throw EROException(SAbstractService, {aFactory->GetInterfaceName()});
    TMessageInvokeMethod method = MethodAddress(GetInvokeMethodName(aMessage));
    if (!method)
        throw EROUnknownServiceMethod(aMessage->GetMessageName(), aFactory->GetInterfaceName());

    TROServiceInstance instance;
    const TScopeExit release([&] {
        if (instance) {
            TGUID clientID = aMessage->GetClientID();
            aFactory->ReleaseInstance(clientID, instance);
            instance.reset();
        }
    });
    aFactory->CreateInstance(aMessage->GetClientID(), instance);
    if (!instance)
        throw EROException(SNoInstance, {aMessage->GetInterfaceName()});
    try {
        BeforeInvoke(method, instance, aFactory, aMessage, aTransport);
        (this->*method)(instance, aMessage, aTransport, oResponseOptions);
    } catch (const Exception& e) {
        AfterInvoke(method, instance, aFactory, aMessage, aTransport, &e);
        throw;
    }
    AfterInvoke(method, instance, aFactory, aMessage, aTransport, nullptr);
    return true;
}

void TROInvoker::BeforeInvoke(TMessageInvokeMethod, const TROServiceInstance& anInstance,
                              const std::shared_ptr<IROClassFactory>&, const std::shared_ptr<IROMessage>& aMessage,
                              const std::shared_ptr<IROTransport>& aTransport) {
    if (auto* activation = dynamic_cast<IROObjectActivation*>(anInstance.get()))
        activation->_OnActivate(aMessage->GetClientID(), aMessage);
    if (auto* notifier = dynamic_cast<IRODispatchNotifier*>(anInstance.get()))
        notifier->GetDispatchInfo(aTransport, aMessage);
}

void TROInvoker::AfterInvoke(TMessageInvokeMethod, const TROServiceInstance& anInstance,
                             const std::shared_ptr<IROClassFactory>&, const std::shared_ptr<IROMessage>& aMessage,
                             const std::shared_ptr<IROTransport>&, const Exception*) {
    if (auto* activation = dynamic_cast<IROObjectActivation*>(anInstance.get()))
        activation->_OnDeactivate(aMessage->GetClientID());
}

void TROInvoker::CheckRoles(const TROServiceInstance& anInstance, const std::vector<String>& aRoles) {
    if (aRoles.empty())
        return;
    auto* aware = dynamic_cast<IRORolesAwareService*>(anInstance.get());
    if (!aware)
        throw SessionDoesNotHaveRequiredRolesException(SMissingRoles);
    aware->ServiceValidateRoles(aRoles);
}

// ---- TRORemotable -------------------------------------------------------------------------

void TRORetainedObjects::Add(TObject* anObject) {
    std::lock_guard lock(fLock);
    fObjects.push_back(anObject);
}

void TRORetainedObjects::Remove(TObject* anObject) {
    std::lock_guard lock(fLock);
    auto it = std::find(fObjects.begin(), fObjects.end(), anObject);
    if (it != fObjects.end())
        fObjects.erase(it);
}

bool TRORetainedObjects::Contains(const TObject* anObject) const {
    std::lock_guard lock(fLock);
    return std::find(fObjects.begin(), fObjects.end(), anObject) != fObjects.end();
}

void TRORemotable::RetainObject(TObject* anObject) {
    fRetained.Add(anObject);
}

void TRORemotable::ReleaseObject(TObject* anObject) {
    fRetained.Remove(anObject);
}

bool TRORemotable::IsRetained(const TObject* anObject) const {
    return fRetained.Contains(anObject);
}

} // namespace vgl
