#pragma once
// One value of a remote call on its way between an object and a serializer, and the types that
// exist only so that the serializer's dispatch can tell them apart.

#include <cstdint>
#include <memory>

#include "platform/rtl/object.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/ustring.h"
#include "platform/rtl/variant.h"

namespace vgl {

class IXMLNode;

/// "Guid": text that carries a GUID (tkUString over a String).
const TypeInfo& GuidTypeInfo();
/// "Decimal": a variant that carries a 96-bit decimal value (tkVariant over a Variant).
const TypeInfo& DecimalTypeInfo();
/// "IXMLNode": an XML node handed over as std::shared_ptr<IXMLNode> (tkInterface).
const TypeInfo& XmlNodeTypeInfo();

/// A tagged value holder: the slot that matches the value's type kind is used.
/// - integers, characters, enumerations (ordinal), sets (bits) and Int64: `Ord`;
/// - floating point, TDateTime and Currency (as its value, not scaled): `Float`;
/// - UTF-16 and wide strings, Guid: `Text`; 8-bit strings (their bytes): `Ansi`;
/// - variants and Decimal: `Var`; IXMLNode: `Xml`;
/// - objects: `Object` names the object to write (not owned); a read hands its new object over
///   in `Owned` (and `Object` points at it).
struct TROValue {
    std::int64_t Ord = 0;
    long double Float = 0;
    String Text;
    AnsiString Ansi;
    Variant Var;
    std::shared_ptr<IXMLNode> Xml;
    TObject* Object = nullptr;
    std::unique_ptr<TObject> Owned;

    /// Takes `obj` over (Owned and Object both name it).
    void Own(std::unique_ptr<TObject> obj) {
        Owned = std::move(obj);
        Object = Owned.get();
    }
    /// Hands the owned object over and forgets it.
    std::unique_ptr<TObject> ReleaseObject() {
        Object = nullptr;
        return std::move(Owned);
    }
};

} // namespace vgl
