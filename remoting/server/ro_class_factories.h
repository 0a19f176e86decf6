#pragma once
// Class factories, the process-wide factory list and the invoker base.
//
// A class factory stands for one service: it knows the service's interface name, makes the
// object that serves one call and releases it afterwards, and owns the invoker that calls the
// service's operations. Every factory of the process is in one list, keyed by interface name
// without regard to case; a name the list does not know is offered to the RTTI support, which
// makes a factory for a service class it finds (ro_rtti_server.h).
//
// Service objects travel as TROServiceInstance, a shared reference over the object's own count
// (TRORemotable and TRORemoteDataModule count themselves); "offers X" is a dynamic_cast of the
// object to X.

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/rtl/guid.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sync.h"
#include "remoting/core/ro_interfaced_object.h"
#include "remoting/core/ro_interfaces.h"

namespace vgl {

class Exception;
class IROMessage;
class IROStrings;

enum TROResponseOption { roNoResponse, roDontEncrypt };
VGL_DECLARE_ENUM(TROResponseOption);
/// What a dispatch reports about its answer: not to be sent, or not to be encrypted.
VGL_DECLARE_SET(TROResponseOptions, TROResponseOption);

/// A service object held for one call.
using TROServiceInstance = std::shared_ptr<TObject>;

// ---- Interfaces a service object may offer -------------------------------------------------

class IROObjectActivation {
public:
    virtual ~IROObjectActivation() = default;
    virtual void _OnActivate(const TGUID& aClientID, const std::shared_ptr<IROMessage>& aMessage) = 0;
    virtual void _OnDeactivate(const TGUID& aClientID) = 0;
};

class IRODispatchNotifier {
public:
    virtual ~IRODispatchNotifier() = default;
    virtual void GetDispatchInfo(const std::shared_ptr<IROTransport>& aTransport,
                                 const std::shared_ptr<IROMessage>& aMessage) = 0;
};

class IRORolesAwareService {
public:
    virtual ~IRORolesAwareService() = default;
    /// Raises SessionDoesNotHaveRequiredRolesException when the roles do not match.
    virtual void ServiceValidateRoles(const std::vector<String>& aRoles) = 0;
};

/// Objects a service keeps beyond its call: the invoker does not free them.
class IROObjectRetainer {
public:
    virtual ~IROObjectRetainer() = default;
    virtual void RetainObject(TObject* anObject) = 0;
    virtual void ReleaseObject(TObject* anObject) = 0;
    virtual bool IsRetained(const TObject* anObject) const = 0;
};

/// The retained objects of one service, under their own lock (services run on request threads).
class TRORetainedObjects {
public:
    void Add(TObject* anObject);
    /// Removes one entry of the object; nothing when it is not held.
    void Remove(TObject* anObject);
    bool Contains(const TObject* anObject) const;

private:
    mutable std::mutex fLock;
    std::vector<TObject*> fObjects;
};

// ---- Factories and invokers ----------------------------------------------------------------

class IROClassFactory;

class IROInvoker {
public:
    virtual ~IROInvoker() = default;
    /// Calls the operation the message names; true when the call produced its answer.
    virtual bool HandleMessage(const std::shared_ptr<IROClassFactory>& aFactory,
                               const std::shared_ptr<IROMessage>& aMessage,
                               const std::shared_ptr<IROTransport>& aTransport,
                               TROResponseOptions& oResponseOptions) = 0;
};

class IROClassFactory {
public:
    virtual ~IROClassFactory() = default;
    virtual void CreateInstance(const TGUID& aClientID, TROServiceInstance& anInstance) = 0;
    virtual void ReleaseInstance(const TGUID& aClientID, TROServiceInstance& anInstance) = 0;
    virtual String GetInterfaceName() const = 0;
    virtual std::shared_ptr<IROInvoker> GetInvoker() = 0;
};

class IROClassFactory_ZeroConfig {
public:
    virtual ~IROClassFactory_ZeroConfig() = default;
    virtual bool IsInterfaceNameSupported(const String& aName) const = 0;
    virtual void RegisterInterfaceName(const String& aName) = 0;
    virtual void UnregisterInterfaceName(const String& aName) = 0;
    /// A copy of the alias names.
    virtual std::vector<String> GetAliasNames() const = 0;
};

/// Makes a service object; the instance stays empty when the routine makes none.
using TRORemotableCreatorFunc = std::function<void(TROServiceInstance& anInstance)>;

class TROInvoker;
/// Makes the invoker of a factory (InvokerClassOf<T>).
using TROInvokerClass = std::shared_ptr<TROInvoker> (*)();
template <class T> std::shared_ptr<TROInvoker> InvokerClassOfImpl() {
    return std::make_shared<T>();
}
template <class T> constexpr TROInvokerClass InvokerClassOf() {
    return &InvokerClassOfImpl<T>;
}

/// "_" in front when missing; a name that ends neither with "._tcp." nor "._udp." gets
/// "_rosvc." (unless it ends with it) and then "_tcp." (both ends compared with case).
String MakeZeroConfName(const String& aName);

/// The per-call factory: every CreateInstance makes a new object.
class TROClassFactory : public IROClassFactory,
                        public IROClassFactory_ZeroConfig,
                        public std::enable_shared_from_this<TROClassFactory> {
public:
    /// Makes the factory and offers it to the factory list (which keeps the first factory of a
    /// name). ResetCache runs before the factory is listed.
    static std::shared_ptr<TROClassFactory>
    Create(const String& anInterfaceName, const TRORemotableCreatorFunc& aCreatorFunc, TROInvokerClass anInvokerClass);
    ~TROClassFactory() override;

    /// Flags the type registry for rebuilding (it re-reads the RTTI context on its next use).
    virtual void ResetCache();
    /// Calls the RTTI creator when one is set, else the creator routine; the client ID is not
    /// used.
    void CreateInstance(const TGUID& aClientID, TROServiceInstance& anInstance) override;
    /// Drops the caller's reference.
    void ReleaseInstance(const TGUID& aClientID, TROServiceInstance& anInstance) override;
    String GetInterfaceName() const override { return fInterfaceName; }
    /// The invoker, made once with the factory.
    std::shared_ptr<IROInvoker> GetInvoker() override;

    bool IsInterfaceNameSupported(const String& aName) const override;
    /// Adds MakeZeroConfName(aName).
    void RegisterInterfaceName(const String& aName) override;
    /// Deletes the first alias equal to aName exactly as passed.
    void UnregisterInterfaceName(const String& aName) override;
    std::vector<String> GetAliasNames() const override;

    /// Used instead of the creator routine when set (the RTTI factories set it).
    void SetRTTICreatorFunc(TRORemotableCreatorFunc aFunc) { fRTTICreatorFunc = std::move(aFunc); }

protected:
    TROClassFactory(const String& anInterfaceName, const TRORemotableCreatorFunc& aCreatorFunc,
                    TROInvokerClass anInvokerClass);
    /// Makes a factory of class F, runs its ResetCache when asked and offers it to the list.
    template <class F, class... A> static std::shared_ptr<F> Construct(bool resetCache, A&&... args) {
        std::shared_ptr<F> made(new F(std::forward<A>(args)...));
        if (resetCache)
            made->ResetCache();
        Register(made);
        return made;
    }

private:
    static void Register(const std::shared_ptr<IROClassFactory>& aFactory);

    TRORemotableCreatorFunc fCreatorFunc;
    String fInterfaceName;
    std::shared_ptr<IROInvoker> fInvoker;
    mutable std::mutex fAliasLock;
    TStringList fAliasNames;
    TRORemotableCreatorFunc fRTTICreatorFunc;
};

/// The process's factories under a multi-reader/exclusive-writer lock.
class TROClassFactoryList : public TObject {
public:
    TROClassFactoryList() = default;
    String ClassName() const override { return u"TROClassFactoryList"; }

    /// The index of the listed factory of that interface name (without regard to case); a new
    /// name is appended.
    int Add(const std::shared_ptr<IROClassFactory>& aClassFactory);
    /// By interface name, then by a zero-configuration alias; else (outside the lock) a factory
    /// made by the RTTI support, which is then listed. None when nothing answers.
    std::shared_ptr<IROClassFactory> FindClassFactoryByInterfaceName(const String& anInterfaceName);
    /// As above; EROException "Class factory for interface %s not found" when none.
    std::shared_ptr<IROClassFactory> GetClassFactoryByInterfaceName(const String& anInterfaceName);
    /// The interface names of all factories, then GetZeroConfNames.
    std::shared_ptr<IROStrings> GetNames();
    /// Sorted, without duplicates: the aliases of the listed factories and the
    /// zero-configuration names of the RTTI service cache.
    std::shared_ptr<IROStrings> GetZeroConfNames();
    /// The aliases of the factory of that name; none without such a factory.
    std::unique_ptr<TStringList> GetRegisteredZeroConfNames(const String& anInterfaceName);
    int Count();

private:
    int IndexOfInterfaceName(const String& anInterfaceName) const;

    TMultiReadExclusiveWriteSynchronizer fMRW;
    std::vector<std::shared_ptr<IROClassFactory>> fItems;
};

/// The process's factory list (made when missing).
TROClassFactoryList& ClassFactoryList();
/// Whether the list exists.
bool ClassFactoryListExists();
/// Frees the list (the server's finalization).
void FreeClassFactoryList();

/// The factory of the name; EROException "Class factory for interface %s not found" when none.
std::shared_ptr<IROClassFactory> GetClassFactory(const String& anInterfaceName);
/// False when the list does not exist yet; may make the RTTI factory.
bool HasClassFactory(const String& anInterfaceName);
int RegisterClassFactory(const std::shared_ptr<IROClassFactory>& aClassFactory);
std::shared_ptr<IROStrings> GetClassFactoryNames();

/// A method of an invoker that handles one message.
using TMessageInvokeMethod = void (TROInvoker::*)(const TROServiceInstance& anInstance,
                                                  const std::shared_ptr<IROMessage>& aMessage,
                                                  const std::shared_ptr<IROTransport>& aTransport,
                                                  TROResponseOptions& oResponseOptions);

/// The invoker base: finds the method that handles a message by name, gets the service object
/// from the factory and calls the method between BeforeInvoke and AfterInvoke.
class TROInvoker : public IROInvoker, public std::enable_shared_from_this<TROInvoker> {
public:
    TROInvoker() = default;
    /// CustomHandleMessage.
    bool HandleMessage(const std::shared_ptr<IROClassFactory>& aFactory, const std::shared_ptr<IROMessage>& aMessage,
                       const std::shared_ptr<IROTransport>& aTransport, TROResponseOptions& oResponseOptions) final;

    /// An abstract service refuses every call.
    bool Abstract() const { return fAbstract; }
    void SetAbstract(bool value) { fAbstract = value; }

    /// An empty role list passes; otherwise the instance must offer IRORolesAwareService, or
    /// SessionDoesNotHaveRequiredRolesException is raised.
    static void CheckRoles(const TROServiceInstance& anInstance, const std::vector<String>& aRoles);

protected:
    /// "Invoke_" followed by the message name.
    virtual String GetInvokeMethodName(const std::shared_ptr<IROMessage>& aMessage);
    /// The handling method of that name (ASCII case-insensitive), searched in this class and
    /// its ancestors; none when there is none. The base knows none: the event-client methods
    /// come with the event repository.
    virtual TMessageInvokeMethod MethodAddress(const String& aName) const;
    virtual bool CustomHandleMessage(const std::shared_ptr<IROClassFactory>& aFactory,
                                     const std::shared_ptr<IROMessage>& aMessage,
                                     const std::shared_ptr<IROTransport>& aTransport,
                                     TROResponseOptions& oResponseOptions);
    /// Activation (IROObjectActivation) with the message's client ID, then dispatch
    /// information (IRODispatchNotifier).
    virtual void BeforeInvoke(TMessageInvokeMethod aMethodPtr, const TROServiceInstance& anInstance,
                              const std::shared_ptr<IROClassFactory>& aFactory,
                              const std::shared_ptr<IROMessage>& aMessage,
                              const std::shared_ptr<IROTransport>& aTransport);
    /// Deactivation (IROObjectActivation); anException is none after a call that succeeded.
    virtual void AfterInvoke(TMessageInvokeMethod aMethodPtr, const TROServiceInstance& anInstance,
                             const std::shared_ptr<IROClassFactory>& aFactory,
                             const std::shared_ptr<IROMessage>& aMessage,
                             const std::shared_ptr<IROTransport>& aTransport, const Exception* anException);
    virtual std::vector<String> GetDefaultServiceRoles() const { return {}; }

private:
    bool fAbstract = false;
};

/// The base of service classes that are plain reference-counted objects.
class TRORemotable : public TROInterfacedObject, public IROService, public IROObjectRetainer {
    VGL_CLASS(TRORemotable, TROInterfacedObject)
    TRORemotable() = default;
    explicit TRORemotable(TComponent*) {}

    /// Appends the object (an object may be listed more than once).
    void RetainObject(TObject* anObject) override;
    /// Removes its first occurrence without freeing it.
    void ReleaseObject(TObject* anObject) override;
    bool IsRetained(const TObject* anObject) const override;

protected:
    ~TRORemotable() override = default;

private:
    TRORetainedObjects fRetained;
};

} // namespace vgl
