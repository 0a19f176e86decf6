#pragma once
// TROInterfacedObject: the reference-counted base of the framework's interface-implementing
// objects, and TROIntf, the reference that holds one.
//
// The count's top bit is set once, when the count first reaches 0, and the object is destroyed
// then. A reference taken and dropped while the destructor runs (the object handing itself to
// another object) moves the count between "top bit + 1" and "top bit", never to 0 again, so the
// object is destroyed exactly once.

#include <atomic>
#include <cstdint>
#include <utility>

#include "platform/rtl/guid.h"
#include "platform/rtl/object.h"
#include "platform/rtl/variant.h"

namespace vgl {

// HRESULT and S_OK come from the runtime's automation declarations (variant.h).
constexpr HRESULT E_NOINTERFACE = HRESULT(0x80004002u);

/// The identity of the basic interface that every reference-counted object implements.
constexpr TGUID IID_IInterface{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

class TROInterfacedObject : public TObject {
public:
    String ClassName() const override { return u"TROInterfacedObject"; }

    /// S_OK with `obj` set when the object implements the interface `iid`, else E_NOINTERFACE
    /// with `obj` cleared. The base knows IID_IInterface; descendants add their interfaces.
    virtual HRESULT QueryInterface(const TGUID& iid, void** obj);
    /// Atomic increment; returns the new count.
    std::int32_t _AddRef();
    /// Atomic decrement; at 0 marks destruction as begun and destroys the object (returns 0).
    std::int32_t _Release();
    /// The number of references (without the destruction mark).
    std::int32_t RefCount() const { return FRefCount.load() & kCountMask; }

    /// Gives back the reference that the constructor held, so that the object handed out as an
    /// interface during its constructor is not freed early. Called once, by ROCreate.
    void AfterConstruction();
    /// Destroys an object that no reference holds. Raises EInvalidPointer "Invalid pointer
    /// operation" while a reference still does.
    void Free();

protected:
    /// The count starts at 1 and stays there until AfterConstruction.
    TROInterfacedObject() = default;
    /// Objects are destroyed through _Release or Free only.
    ~TROInterfacedObject() override = default;

private:
    static constexpr std::int32_t kCountMask = 0x7FFFFFFF;
    static constexpr std::int32_t kDestroying = std::int32_t(0x80000000u);
    /// Sets the destruction mark; false when it was already set.
    bool MarkDestroying();

    std::atomic<std::int32_t> FRefCount{1};
};

/// A counted reference to a TROInterfacedObject (or a descendant): copies take a reference,
/// destruction and Reset drop one.
template <class T> class TROIntf {
public:
    TROIntf() = default;
    explicit TROIntf(T* obj) : FObj(obj) {
        if (FObj)
            FObj->_AddRef();
    }
    TROIntf(const TROIntf& other) : TROIntf(other.FObj) {}
    TROIntf(TROIntf&& other) noexcept : FObj(std::exchange(other.FObj, nullptr)) {}
    template <class U> TROIntf(const TROIntf<U>& other) : TROIntf(other.Get()) {}
    ~TROIntf() { Reset(); }
    TROIntf& operator=(TROIntf other) noexcept {
        std::swap(FObj, other.FObj);
        return *this;
    }

    void Reset() {
        if (T* obj = std::exchange(FObj, nullptr))
            obj->_Release();
    }
    T* Get() const { return FObj; }
    T* operator->() const { return FObj; }
    T& operator*() const { return *FObj; }
    explicit operator bool() const { return FObj != nullptr; }

private:
    T* FObj = nullptr;
};

/// Makes a T, ends its construction (AfterConstruction) and returns the first reference.
template <class T, class... Args> TROIntf<T> ROCreate(Args&&... args) {
    T* obj = new T(std::forward<Args>(args)...);
    TROIntf<T> ref(obj);
    obj->AfterConstruction();
    return ref;
}

} // namespace vgl
