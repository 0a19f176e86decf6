#include "remoting/core/ro_interfaced_object.h"

#include "platform/rtl/exceptions.h"

namespace vgl {

HRESULT TROInterfacedObject::QueryInterface(const TGUID& iid, void** obj) {
    if (IsEqualGUID(iid, IID_IInterface)) {
        if (obj)
            *obj = this;
        _AddRef();
        return S_OK;
    }
    if (obj)
        *obj = nullptr;
    return E_NOINTERFACE;
}

std::int32_t TROInterfacedObject::_AddRef() {
    return (FRefCount.fetch_add(1) + 1) & kCountMask;
}

std::int32_t TROInterfacedObject::_Release() {
    const std::int32_t count = FRefCount.fetch_sub(1) - 1;
    // Only the step to a plain 0 destroys: while the destructor runs, the mark keeps the count
    // away from 0.
    if (count == 0) {
        if (MarkDestroying())
            delete this;
        return 0;
    }
    return count & kCountMask;
}

bool TROInterfacedObject::MarkDestroying() {
    std::int32_t expected = FRefCount.load();
    for (;;) {
        if (expected & kDestroying)
            return false;
        if (FRefCount.compare_exchange_weak(expected, expected | kDestroying))
            return true;
    }
}

void TROInterfacedObject::AfterConstruction() {
    FRefCount.fetch_sub(1);
}

void TROInterfacedObject::Free() {
    if (RefCount() != 0)
        throw EInvalidPointer(u"Invalid pointer operation");
    if (MarkDestroying())
        delete this;
}

} // namespace vgl
