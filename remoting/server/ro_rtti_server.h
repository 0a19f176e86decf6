#pragma once
// Services found through run-time type information. A service is a class of the RTTI context
// (RegisterRttiType, ro_type_registry.h) that descends from TRORemotable or TRORemoteDataModule
// and carries ROServiceAttribute; its operations are its reflected methods that carry
// ROServiceMethodAttribute. TRTTIServerCache keeps the services of the process and builds the
// operation table of a service on its first use; TRORTTIClassFactory is the factory the factory
// list makes for a service name it does not know.
//
// The process-wide state (the cache, the library name and id, the service attribute registry)
// is made by InitializeRTTIServer and freed by FinalizeRTTIServer, both run by the server's
// InitializeRemotingServer / FinalizeRemotingServer.

#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/rtl/reflection.h"
#include "platform/rtl/string_list.h"
#include "remoting/core/ro_attributes.h"
#include "remoting/core/ro_type_registry.h"
#include "remoting/server/ro_class_factories.h"

namespace vgl {

// ---- Attributes read only by the service search --------------------------------------------

/// Creating an instance of the service fails.
class ROAbstractAttribute {
public:
    String Kind() const { return u"ROAbstractAttribute"; }
    AttributeInfo Info() const { return {Kind(), {}, {}}; }
};

/// A new remote data module of the service starts with RequiresSession set.
class RORequiresSessionAttribute {
public:
    String Kind() const { return u"RORequiresSessionAttribute"; }
    AttributeInfo Info() const { return {Kind(), {}, {}}; }
};

/// The service's zero-configuration name (normalised by MakeZeroConfName).
class ROZeroConfAttribute : public TRONameAttribute {
public:
    using TRONameAttribute::TRONameAttribute;
    String Kind() const override { return u"ROZeroConfAttribute"; }
};

// ---- Attribute helpers --------------------------------------------------------------------

/// The names of all attributes of that class, in declaration order.
std::vector<String> GetRoleNames(const TAttributes& attributes);
std::vector<String> GetServiceNames(TClass aClass);
std::vector<String> GetServiceGroupNames(const TAttributes& attributes);
const AttributeInfo* FindServiceAttribute(TClass aClass);
const AttributeInfo* FindServiceMethodAttribute(const MethodInfo& aMethod);
std::vector<String> ConcatRoles(const std::vector<String>& a, const std::vector<String>& b);
/// Descends from TRORemotable or TRORemoteDataModule (both count themselves).
bool IsServiceClass(TClass aClass);
/// The name without the prefix when it starts with it (with case) and differs from it.
String RemoveNamePrefix(const String& aName, const String& aPrefix);
/// The operations of a service class: the reflected methods with ROServiceMethodAttribute. With
/// aDeclaredOnly false, those of the class and its ancestors, most derived first, one per name
/// (without regard to case); with it true, the class's own in declaration order.
std::vector<const MethodInfo*> GetServiceMethods(TClass aClass, bool aDeclaredOnly);

// ---- The cache ----------------------------------------------------------------------------

/// One service as GetAllServices hands it out: a copy, valid after the cache changes.
struct TRTTIServiceEntry {
    /// The name it is filed under (class name or service-attribute name).
    String Name;
    TClass ServiceClass = nullptr;
    /// The roles of the most distant service ancestor first, the class's own last.
    std::vector<String> Roles;
};

class TRTTIServerCache : public TRORttiCache {
public:
    /// Links itself as the type registry's server cache when the registry exists.
    TRTTIServerCache();
    ~TRTTIServerCache() override;
    String ClassName() const override { return u"TRTTIServerCache"; }

    /// Back to the initial state (the next look-up searches again); the attribute lists of the
    /// service names are emptied.
    void Clear() override;
    /// Runs the service search when it is due.
    void EnsureServices();
    /// The number of names (class names and aliases) services are filed under.
    int ROServiceCount();
    /// The operation's method and roles (the method's own, then the service's); none when the
    /// service or the operation is unknown (aRoles untouched). Builds the service's operation
    /// table for this requested name on first use.
    const MethodInfo* FindROServiceMethod(const String& aServiceName, const String& aMethodName,
                                          std::vector<String>& aRoles);
    /// A snapshot of every name and its service.
    std::vector<TRTTIServiceEntry> GetAllServices();
    /// The service filed under the name (without regard to case); false when none.
    bool FindService(const String& aName, TRTTIServiceEntry& anEntry);
    /// How many operation tables were built since the cache was made.
    int TableBuildCount() const { return fTableBuilds.load(); }

private:
    struct Service;
    struct Operation;
    using OperationTable = std::unordered_map<String, std::unique_ptr<Operation>>;

    void ClearLocked();
    void CalcROServices();
    void RegisterCustomAttributes(const String& aServiceName, TClass aClass);

    bool fCalcROServices = true;
    std::unordered_map<String, std::unique_ptr<Service>> fServices;
    /// Key to (name as filed, service).
    std::unordered_map<String, std::pair<String, Service*>> fAllServices;
    std::vector<String> fAllServicesOrder;
    std::unordered_map<String, std::unique_ptr<OperationTable>> fServiceMethods;
    std::atomic<int> fTableBuilds{0};
};

/// The process's cache (made when missing).
TRTTIServerCache& RTTIServerCache();

// ---- The RTTI factory ---------------------------------------------------------------------

class TRORTTIClassFactory : public TROClassFactory {
public:
    /// Makes the factory and offers it to the factory list; a class with a non-empty
    /// ROZeroConfAttribute registers that name as an alias.
    static std::shared_ptr<TRORTTIClassFactory> Create(const String& anInterfaceName, TClass aServiceClass);
    ~TRORTTIClassFactory() override;

    /// Nothing: the service class is already in the RTTI context.
    void ResetCache() override {}
    /// EROException "Interface "%s" is declared as an abstract service." for a class with
    /// ROAbstractAttribute; otherwise the real factory's CreateInstance.
    void CreateInstance(const TGUID& aClientID, TROServiceInstance& anInstance) override;
    void ReleaseInstance(const TGUID& aClientID, TROServiceInstance& anInstance) override;

    TClass ServiceClass() const { return fServiceClass; }
    /// The factory that makes the instances, built once. Every service gets the plain per-call
    /// factory; the other factory kinds come with their own attributes.
    std::shared_ptr<IROClassFactory> RealFactory();
    /// A new service object of the class: a remote data module without owner (RequiresSession
    /// set for RORequiresSessionAttribute) or a remotable object. Any other object is freed and
    /// EROException "Error at creating %s instance" is raised.
    void CreateServiceInstance(TROServiceInstance& anInstance);

    TRORTTIClassFactory(const String& anInterfaceName, TClass aServiceClass);

private:
    TClass fServiceClass;
    std::once_flag fRealFactoryOnce;
    std::shared_ptr<IROClassFactory> fClassFactory;
};

/// A factory for a service name (a class name or service-attribute name without regard to case,
/// or a zero-configuration name exactly); none when no service answers to it.
std::shared_ptr<IROClassFactory> CreateRTTIClassFactory(const String& aName);

/// Turns an object a factory made into a service instance over the object's own count. Raises
/// EROException "Error at creating %s instance" (freeing the object) for an object that counts
/// no references.
TROServiceInstance MakeServiceInstance(std::unique_ptr<TObject> anObject, const String& anInterfaceName);

// ---- Zero-configuration names -------------------------------------------------------------

/// Appends the class's zero-configuration name when it carries a non-empty ROZeroConfAttribute.
void AddServiceZeroConfName(TStrings& aList, TClass aClass);
/// Appends the zero-configuration names of the service of that name (all services for an empty
/// name); nothing without a list.
void GetServiceZeroConfNames(TStrings* aList, const String& aServiceName);

// ---- Service attribute registry -----------------------------------------------------------

/// The name=value list of a service (without regard to case); none when absent unless asked to
/// create it. The list stays valid until ClearServiceAttributeLists.
TStringList* FindServiceAttributeList(const String& aServiceName, bool aCreate);
void SetServiceAttributeValue(const String& aServiceName, const String& anAttributeName, const String& aValue);
/// Empty when the service or the name is absent.
String GetServiceAttributeValue(const String& aServiceName, const String& anAttributeName);
void ClearServiceAttributeLists();

// ---- Library name and id ------------------------------------------------------------------

/// The program's file name without folder and extension until the service sets its own.
String RODLLibraryName();
void SetRODLLibraryName(const String& aName);
/// "{00000000-0000-0000-0000-000000000000}".
String RODLLibraryID();
void SetRODLLibraryID(const String& anID);
String RODLLibraryDocumentation();
String RODLLibraryNamespace();

/// The unit start and end of the RTTI support (run by InitializeRemotingServer and
/// FinalizeRemotingServer).
void InitializeRTTIServer();
void FinalizeRTTIServer();

} // namespace vgl
