#include "remoting/server/ro_rtti_server.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/sync.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/server/ro_remote_data_module.h"
#include "remoting/server/ro_rtti_invoker.h"
#include "remoting/server/ro_rtti_rodl_reader.h"

namespace vgl {

namespace {

constexpr const char16_t* SAbstractService = u"Interface \"%s\" is declared as an abstract service.";
constexpr const char16_t* SErrorCreatingInstance = u"Error at creating %s instance";

/// Map key of a name compared without regard to case.
String Key(StringView name) {
    return AnsiLowerCase(name);
}

[[noreturn]] void RaiseDuplicate() {
    throw EListError(u"Duplicates not allowed");
}

std::vector<String> NamesOf(const TAttributes& attributes, StringView kind) {
    std::vector<String> names;
    for (const AttributeInfo& a : attributes)
        if (AttributeKindInheritsFrom(a.Kind, kind))
            names.push_back(a.Name);
    return names;
}

} // namespace

// ---- Attribute helpers --------------------------------------------------------------------

std::vector<String> GetRoleNames(const TAttributes& attributes) {
    return NamesOf(attributes, u"RORoleAttribute");
}

std::vector<String> GetServiceNames(TClass aClass) {
    return NamesOf(aClass->Attributes(), u"ROServiceAttribute");
}

std::vector<String> GetServiceGroupNames(const TAttributes& attributes) {
    return NamesOf(attributes, u"ROServiceGroupAttribute");
}

const AttributeInfo* FindServiceAttribute(TClass aClass) {
    return FindROAttribute(aClass->Attributes(), u"ROServiceAttribute");
}

const AttributeInfo* FindServiceMethodAttribute(const MethodInfo& aMethod) {
    return FindROAttribute(aMethod.Attributes, u"ROServiceMethodAttribute");
}

std::vector<String> ConcatRoles(const std::vector<String>& a, const std::vector<String>& b) {
    std::vector<String> roles = a;
    roles.insert(roles.end(), b.begin(), b.end());
    return roles;
}

bool IsServiceClass(TClass aClass) {
    return aClass && (aClass->InheritsFrom(&TRORemotable::StaticClassInfo()) ||
                      aClass->InheritsFrom(&TRORemoteDataModule::StaticClassInfo()));
}

String RemoveNamePrefix(const String& aName, const String& aPrefix) {
    if (aName.size() > aPrefix.size() && aName.compare(0, aPrefix.size(), aPrefix) == 0)
        return aName.substr(aPrefix.size());
    return aName;
}

std::vector<const MethodInfo*> GetServiceMethods(TClass aClass, bool aDeclaredOnly) {
    std::vector<const MethodInfo*> methods;
    if (aDeclaredOnly) {
        for (const MethodInfo* m : aClass->DeclaredMethods())
            if (FindServiceMethodAttribute(*m))
                methods.push_back(m);
        return methods;
    }
    std::vector<String> names;
    auto listed = [&](const String& name) {
        return std::any_of(names.begin(), names.end(), [&](const String& n) { return AnsiSameText(n, name); });
    };
    // Most derived first: a redeclared operation hides its ancestor's.
    for (TClass cls = aClass; cls; cls = cls->Parent())
        for (const MethodInfo* m : cls->DeclaredMethods())
            if (FindServiceMethodAttribute(*m) && !listed(m->Name)) {
                methods.push_back(m);
                names.push_back(m->Name);
            }
    return methods;
}

// ---- Service attribute registry -----------------------------------------------------------

namespace {
struct AttributeRegistry {
    std::mutex Lock;
    std::unordered_map<String, std::unique_ptr<TStringList>> Lists;
};
AttributeRegistry& Attributes() {
    static AttributeRegistry registry;
    return registry;
}
TStringList* FindListLocked(AttributeRegistry& r, const String& aServiceName, bool aCreate) {
    auto it = r.Lists.find(Key(aServiceName));
    if (it != r.Lists.end())
        return it->second.get();
    if (!aCreate)
        return nullptr;
    auto& slot = r.Lists[Key(aServiceName)];
    slot = std::make_unique<TStringList>();
    return slot.get();
}
} // namespace

TStringList* FindServiceAttributeList(const String& aServiceName, bool aCreate) {
    AttributeRegistry& r = Attributes();
    std::lock_guard lock(r.Lock);
    return FindListLocked(r, aServiceName, aCreate);
}

void SetServiceAttributeValue(const String& aServiceName, const String& anAttributeName, const String& aValue) {
    AttributeRegistry& r = Attributes();
    std::lock_guard lock(r.Lock);
    FindListLocked(r, aServiceName, true)->SetValue(anAttributeName, aValue);
}

String GetServiceAttributeValue(const String& aServiceName, const String& anAttributeName) {
    AttributeRegistry& r = Attributes();
    std::lock_guard lock(r.Lock);
    TStringList* list = FindListLocked(r, aServiceName, false);
    return list ? list->Values(anAttributeName) : String();
}

void ClearServiceAttributeLists() {
    AttributeRegistry& r = Attributes();
    std::lock_guard lock(r.Lock);
    r.Lists.clear();
}

namespace {
void EmptyServiceAttributeList(const String& aServiceName) {
    AttributeRegistry& r = Attributes();
    std::lock_guard lock(r.Lock);
    if (TStringList* list = FindListLocked(r, aServiceName, false))
        list->Clear();
}
} // namespace

// ---- The cache ----------------------------------------------------------------------------

struct TRTTIServerCache::Service {
    TClass Class = nullptr;
    std::vector<String> Roles;
};

struct TRTTIServerCache::Operation {
    const MethodInfo* Method = nullptr;
    std::vector<String> Roles;
};

TRTTIServerCache::TRTTIServerCache() {
    if (TRORttiClientCache* registry = GetRttiClientCache()) {
        TWriteGuard write(registry->Lock());
        registry->SetServerCache(this);
    }
}

TRTTIServerCache::~TRTTIServerCache() {
    if (TRORttiClientCache* registry = GetRttiClientCache()) {
        TWriteGuard write(registry->Lock());
        if (registry->ServerCache() == this)
            registry->SetServerCache(nullptr);
    }
    TWriteGuard write(fRWS);
    ClearLocked();
}

void TRTTIServerCache::Clear() {
    TWriteGuard write(fRWS);
    ClearLocked();
}

void TRTTIServerCache::ClearLocked() {
    fCalcROServices = true;
    for (const String& name : fAllServicesOrder)
        EmptyServiceAttributeList(name);
    fAllServices.clear();
    fAllServicesOrder.clear();
    fServices.clear();
    fServiceMethods.clear();
}

void TRTTIServerCache::EnsureServices() {
    if (!fCalcROServices)
        return;
    TWriteGuard write(fRWS);
    CalcROServices();
}

void TRTTIServerCache::RegisterCustomAttributes(const String& aServiceName, TClass aClass) {
    for (const ROCustomAttribute& a : GetROCustomAttributes(aClass->Attributes())) {
        if (AnsiLowerCase(a.Name()).compare(0, 7, u"httpapi") == 0)
            continue;
        SetServiceAttributeValue(aServiceName, a.Name(), a.Value());
    }
}

void TRTTIServerCache::CalcROServices() {
    if (!fCalcROServices)
        return;
    ClearLocked();
    // A failed search leaves the cache empty and the search due.
    try {
        for (const TypeInfo* type : RttiContextTypes()) {
            TClass cls = type->Kind == tkClass ? type->ClassType : nullptr;
            if (!IsServiceClass(cls) || !FindServiceAttribute(cls) || GetSkipAttribute(cls->Attributes()))
                continue;
            auto service = std::make_unique<Service>();
            service->Class = cls;
            service->Roles = GetRoleNames(cls->Attributes());
            for (TClass base = cls->Parent(); base && IsServiceClass(base); base = base->Parent())
                service->Roles = ConcatRoles(GetRoleNames(base->Attributes()), service->Roles);
            Service* entry = service.get();
            const String className = cls->Name();
            if (!fServices.emplace(Key(className), std::move(service)).second)
                RaiseDuplicate();
            auto file = [&](const String& name) {
                if (!fAllServices.emplace(Key(name), std::make_pair(name, entry)).second)
                    RaiseDuplicate();
                fAllServicesOrder.push_back(name);
            };
            file(className);
            for (const String& name : GetServiceNames(cls)) {
                if (name.empty()) {
                    RegisterCustomAttributes(RemoveNamePrefix(className, u"T"), cls);
                    continue;
                }
                file(name);
                RegisterCustomAttributes(name, cls);
            }
        }
    } catch (...) {
        ClearLocked();
        throw;
    }
    fCalcROServices = false;
}

int TRTTIServerCache::ROServiceCount() {
    TReadGuard read(fRWS);
    EnsureServices();
    return int(fAllServices.size());
}

std::vector<TRTTIServiceEntry> TRTTIServerCache::GetAllServices() {
    TReadGuard read(fRWS);
    EnsureServices();
    std::vector<TRTTIServiceEntry> entries;
    for (const String& name : fAllServicesOrder) {
        const Service* s = fAllServices.at(Key(name)).second;
        entries.push_back({name, s->Class, s->Roles});
    }
    return entries;
}

bool TRTTIServerCache::FindService(const String& aName, TRTTIServiceEntry& anEntry) {
    TReadGuard read(fRWS);
    EnsureServices();
    auto it = fAllServices.find(Key(aName));
    if (it == fAllServices.end())
        return false;
    anEntry = {it->second.first, it->second.second->Class, it->second.second->Roles};
    return true;
}

const MethodInfo* TRTTIServerCache::FindROServiceMethod(const String& aServiceName, const String& aMethodName,
                                                        std::vector<String>& aRoles) {
    TReadGuard read(fRWS);
    EnsureServices();
    auto table = fServiceMethods.find(Key(aServiceName));
    if (table == fServiceMethods.end()) {
        if (!fAllServices.count(Key(aServiceName)))
            return nullptr;
        // Promotion: another writer may have run in between, so both conditions are tested again.
        TWriteGuard write(fRWS);
        CalcROServices();
        table = fServiceMethods.find(Key(aServiceName));
        if (table == fServiceMethods.end()) {
            auto service = fAllServices.find(Key(aServiceName));
            if (service == fAllServices.end())
                return nullptr;
            const Service& entry = *service->second.second;
            auto built = std::make_unique<OperationTable>();
            for (const MethodInfo* m : GetServiceMethods(entry.Class, false)) {
                auto op = std::make_unique<Operation>();
                op->Method = m;
                op->Roles = ConcatRoles(GetRoleNames(m->Attributes), entry.Roles);
                const AttributeInfo* attribute = FindServiceMethodAttribute(*m);
                const String name = attribute && !attribute->Name.empty() ? attribute->Name : m->Name;
                if (!built->emplace(Key(name), std::move(op)).second)
                    RaiseDuplicate();
            }
            table = fServiceMethods.emplace(Key(aServiceName), std::move(built)).first;
            ++fTableBuilds;
        }
    }
    auto op = table->second->find(Key(aMethodName));
    if (op == table->second->end())
        return nullptr;
    aRoles = op->second->Roles;
    return op->second->Method;
}

namespace {
std::mutex CacheMutex;
std::atomic<TRTTIServerCache*> CachePtr{nullptr};
/// Made on first use, so that at the program's end it goes before the type registry, which it
/// unlinks itself from.
std::unique_ptr<TRTTIServerCache>& CacheOwner() {
    static std::unique_ptr<TRTTIServerCache> owner;
    return owner;
}
} // namespace

TRTTIServerCache& RTTIServerCache() {
    if (TRTTIServerCache* p = CachePtr.load(std::memory_order_acquire))
        return *p;
    std::lock_guard lock(CacheMutex);
    std::unique_ptr<TRTTIServerCache>& owner = CacheOwner();
    if (!owner) {
        owner = std::make_unique<TRTTIServerCache>();
        CachePtr.store(owner.get(), std::memory_order_release);
    }
    return *owner;
}

// ---- The RTTI factory ---------------------------------------------------------------------

TRORTTIClassFactory::TRORTTIClassFactory(const String& anInterfaceName, TClass aServiceClass)
    : TROClassFactory(anInterfaceName, nullptr, InvokerClassOf<TRORTTIInvoker>()), fServiceClass(aServiceClass) {
    if (const AttributeInfo* zero = FindROAttribute(aServiceClass->Attributes(), u"ROZeroConfAttribute"))
        if (!zero->Name.empty())
            RegisterInterfaceName(zero->Name);
}

TRORTTIClassFactory::~TRORTTIClassFactory() = default;

std::shared_ptr<TRORTTIClassFactory> TRORTTIClassFactory::Create(const String& anInterfaceName, TClass aServiceClass) {
    return Construct<TRORTTIClassFactory>(false, anInterfaceName, aServiceClass);
}

std::shared_ptr<IROClassFactory> TRORTTIClassFactory::RealFactory() {
    std::call_once(fRealFactoryOnce, [this] {
        // The service class is already known to the type registry, so the real factory leaves
        // the registry's caches as they are.
        std::shared_ptr<TROClassFactory> real =
            Construct<TROClassFactory>(false, GetInterfaceName(), nullptr, InvokerClassOf<TRORTTIInvoker>());
        std::weak_ptr<TROClassFactory> self = shared_from_this();
        real->SetRTTICreatorFunc([self](TROServiceInstance& anInstance) {
            if (auto factory = std::static_pointer_cast<TRORTTIClassFactory>(self.lock()))
                factory->CreateServiceInstance(anInstance);
        });
        fClassFactory = real;
    });
    return fClassFactory;
}

void TRORTTIClassFactory::CreateInstance(const TGUID& aClientID, TROServiceInstance& anInstance) {
    anInstance.reset();
    if (FindROAttribute(fServiceClass->Attributes(), u"ROAbstractAttribute"))
        RaiseError(SAbstractService, {GetInterfaceName()});
    RealFactory()->CreateInstance(aClientID, anInstance);
}

void TRORTTIClassFactory::ReleaseInstance(const TGUID& aClientID, TROServiceInstance& anInstance) {
    RealFactory()->ReleaseInstance(aClientID, anInstance);
}

TROServiceInstance MakeServiceInstance(std::unique_ptr<TObject> anObject, const String& anInterfaceName) {
    if (auto* module = dynamic_cast<TRORemoteDataModule*>(anObject.get())) {
        anObject.release();
        module->_AddRef();
        return TROServiceInstance(module, [](TObject* obj) { static_cast<TRORemoteDataModule*>(obj)->_Release(); });
    }
    if (auto* counted = dynamic_cast<TROInterfacedObject*>(anObject.get())) {
        anObject.release();
        TROIntf<TROInterfacedObject> ref(counted);
        counted->AfterConstruction();
        return TROServiceInstance(counted, [ref](TObject*) mutable { ref.Reset(); });
    }
    anObject.reset();
    RaiseError(SErrorCreatingInstance, {anInterfaceName});
}

void TRORTTIClassFactory::CreateServiceInstance(TROServiceInstance& anInstance) {
    std::unique_ptr<TObject> made = fServiceClass->Create();
    if (auto* module = dynamic_cast<TRORemoteDataModule*>(made.get()))
        if (FindROAttribute(fServiceClass->Attributes(), u"RORequiresSessionAttribute"))
            module->SetRequiresSession(true);
    anInstance = MakeServiceInstance(std::move(made), GetInterfaceName());
}

std::shared_ptr<IROClassFactory> CreateRTTIClassFactory(const String& aName) {
    TRTTIServerCache& cache = RTTIServerCache();
    TRTTIServiceEntry entry;
    if (cache.FindService(aName, entry))
        return TRORTTIClassFactory::Create(aName, entry.ServiceClass);
    for (const TRTTIServiceEntry& e : cache.GetAllServices()) {
        const AttributeInfo* zero = FindROAttribute(e.ServiceClass->Attributes(), u"ROZeroConfAttribute");
        if (!zero || zero->Name.empty() || MakeZeroConfName(zero->Name) != aName)
            continue;
        const AttributeInfo* service = FindServiceAttribute(e.ServiceClass);
        return TRORTTIClassFactory::Create(service && !service->Name.empty() ? service->Name : e.Name, e.ServiceClass);
    }
    return nullptr;
}

// ---- Zero-configuration names -------------------------------------------------------------

void AddServiceZeroConfName(TStrings& aList, TClass aClass) {
    const AttributeInfo* zero = FindROAttribute(aClass->Attributes(), u"ROZeroConfAttribute");
    if (zero && !zero->Name.empty())
        aList.Add(MakeZeroConfName(zero->Name));
}

void GetServiceZeroConfNames(TStrings* aList, const String& aServiceName) {
    if (!aList)
        return;
    std::vector<TRTTIServiceEntry> all = RTTIServerCache().GetAllServices();
    if (aServiceName.empty()) {
        for (const TRTTIServiceEntry& e : all)
            AddServiceZeroConfName(*aList, e.ServiceClass);
        return;
    }
    for (const TRTTIServiceEntry& e : all)
        for (const String& name : GetServiceNames(e.ServiceClass))
            if (AnsiSameText(name, aServiceName)) {
                AddServiceZeroConfName(*aList, e.ServiceClass);
                return;
            }
    TRTTIServiceEntry entry;
    if (RTTIServerCache().FindService(aServiceName, entry) || RTTIServerCache().FindService(u"T" + aServiceName, entry))
        AddServiceZeroConfName(*aList, entry.ServiceClass);
}

// ---- Library name and id ------------------------------------------------------------------

namespace {
struct LibraryTexts {
    std::mutex Lock;
    String Name;
    String ID;
    String Documentation;
    String Namespace;
};
LibraryTexts& Library() {
    static LibraryTexts texts;
    return texts;
}
String DefaultLibraryName() {
    return ChangeFileExt(ExtractFileName(ProgramFileName()), u"");
}
} // namespace

String RODLLibraryName() {
    LibraryTexts& l = Library();
    std::lock_guard lock(l.Lock);
    return l.Name;
}

void SetRODLLibraryName(const String& aName) {
    LibraryTexts& l = Library();
    std::lock_guard lock(l.Lock);
    l.Name = aName;
}

String RODLLibraryID() {
    LibraryTexts& l = Library();
    std::lock_guard lock(l.Lock);
    return l.ID;
}

void SetRODLLibraryID(const String& anID) {
    LibraryTexts& l = Library();
    std::lock_guard lock(l.Lock);
    l.ID = anID;
}

String RODLLibraryDocumentation() {
    LibraryTexts& l = Library();
    std::lock_guard lock(l.Lock);
    return l.Documentation;
}

String RODLLibraryNamespace() {
    LibraryTexts& l = Library();
    std::lock_guard lock(l.Lock);
    return l.Namespace;
}

void InitializeRTTIServer() {
    {
        LibraryTexts& l = Library();
        std::lock_guard lock(l.Lock);
        l.Name = DefaultLibraryName();
        l.ID = GUIDToString(GUID_NULL);
        l.Documentation.clear();
        l.Namespace.clear();
    }
    RTTIServerCache();
    // The server and every message build the service definition from the RTTI.
    SetRttiRODLReaderClass(&TRORTTIRODLReader::StaticClassInfo());
}

void FinalizeRTTIServer() {
    SetRttiRODLReaderClass(nullptr);
    {
        std::lock_guard lock(CacheMutex);
        CachePtr.store(nullptr, std::memory_order_release);
        CacheOwner().reset();
    }
    ClearServiceAttributeLists();
    LibraryTexts& l = Library();
    std::lock_guard lock(l.Lock);
    l.Name.clear();
    l.ID.clear();
    l.Documentation.clear();
    l.Namespace.clear();
}

} // namespace vgl
