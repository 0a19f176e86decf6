#include "report/foundation/xml_serializer.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <typeinfo>
#include <unordered_map>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/property_encoding.h"
#include "platform/rtl/reflection_cast.h"
#include "platform/rtl/reflection_visitor.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/variant.h"
#include "report/foundation/report_collections.h"
#include "report/foundation/resource_strings.h"
#include "report/foundation/utilities.h"
#include "report/foundation/wide_strings.h"
#include "report/foundation/xml_document.h"
#include "report/foundation/xml_escaping.h"

namespace vgl {

// ---- IfrxSerializableComponent defaults ----------------------------------------------------

void IfrxSerializableComponent::WriteNestedProperties(TfrxXMLItem&, TPersistent*) {}

bool IfrxSerializableComponent::ReadNestedProperty(TfrxXMLItem&) {
    return false;
}

TComponent* IfrxSerializableComponent::FindObject(StringView) const {
    return nullptr;
}

void IfrxSerializableComponent::SetMemoText(const String&) {}

IfrxSerializableComponent* AsSerializable(TObject* obj) {
    return CachedCast<IfrxSerializableComponent>(obj);
}

namespace {

// Floats closer than this to the ancestor's value count as equal.
constexpr long double kFloatTolerance = 1e-6L;

bool IsUnsigned64(const PropInfo& prop) {
    return prop.PropType->OrdSize == 8 && !prop.PropType->OrdSigned;
}

// The list text with one final line end removed (lists store a line end after every line).
/// A list's text without the line end of its last line, which reading implies; a last line that
/// is empty keeps it, since without it that line would be lost.
String WithoutFinalLineEnd(String text) {
    const size_t n = text.size();
    if (n >= 2 && text[n - 2] == u'\r' && text[n - 1] == u'\n') {
        const bool lastLineEmpty = n == 2 || text[n - 3] == u'\n' || text[n - 3] == u'\r' || text[n - 3] == u'\u2028';
        if (!lastLineEmpty)
            text.resize(n - 2);
    }
    return text;
}

/// Appends ` <add><name>="<value>"` to `out`.
void AppendAttribute(String& out, StringView add, StringView name, StringView value) {
    out += u' ';
    out += add;
    out += name;
    out += u"=\"";
    out += value;
    out += u'"';
}

String Attribute(StringView add, StringView name, StringView value) {
    String result;
    AppendAttribute(result, add, name, value);
    return result;
}

// Old documents held attribute text in the ANSI code page; a memo text written there as UTF-8 is
// turned back into its bytes and decoded.
String DecodeOldFormatUtf8(const String& text) {
    const AnsiString bytes = StringToAnsi(text);
    return IsValidUtf8(bytes) ? Utf8ToString(bytes) : text;
}

std::uint64_t ParseUInt64(StringView text) {
    const String trimmed = Trim(text);
    std::string digits;
    for (Char c : trimmed) {
        if (c < u'0' || c > u'9')
            throw EConvertError(u"'%s' is not a valid integer value", {String(text)});
        digits += char(c);
    }
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size())
        throw EConvertError(u"'%s' is not a valid integer value", {String(text)});
    return value;
}

bool SameVariant(const Variant& a, const Variant& b) {
    try {
        return VarCompareValue(a, b) == vrEqual;
    } catch (const Exception&) {
        return false;
    }
}

String VariantText(const Variant& v) {
    try {
        return VarToStr(v);
    } catch (const Exception&) {
        return {}; // arrays and other values without a text form are not written
    }
}

void SetLoading(TComponent* c, bool value) {
    if (auto* s = AsSerializable(c))
        s->SetIsLoading(value);
    else
        c->UpdateComponentState(csLoading, value);
}

// Sets IsWriting of a report component for the lifetime of the guard (nested writes of one
// component keep it set until the outermost ends).
class WritingGuard {
public:
    explicit WritingGuard(TObject* obj) : WritingGuard(AsSerializable(obj)) {}
    explicit WritingGuard(IfrxSerializableComponent* comp) : FComp(comp) {
        if (FComp) {
            FWasWriting = FComp->IsWriting();
            FComp->SetIsWriting(true);
        }
    }
    ~WritingGuard() {
        if (FComp)
            FComp->SetIsWriting(FWasWriting);
    }
    WritingGuard(const WritingGuard&) = delete;
    WritingGuard& operator=(const WritingGuard&) = delete;

private:
    IfrxSerializableComponent* FComp;
    bool FWasWriting = false;
};

// How ObjToXMLAt writes a property: the groups its value visitor tells apart.
enum class TAttributeForm { Ordinal, Enumeration, Float, Text, Variant, Reference, SubObject };

// One property ObjToXMLAt may write, with what it asks of it on every object worked out once.
struct TWrittenProperty {
    const PropInfo* Prop;
    TAttributeForm Form;
    // "Name": a component's name is written by its item, never among its attributes.
    bool IsName;
    // Read back by its name alone: a name that AssignAttribute treats apart (one letter,
    // "PropData", "Text") or that does not find this very property.
    bool ByName;
};

using TWrittenProperties = std::vector<TWrittenProperty>;

// The properties of a class that ObjToXMLAt looks at, in declaration order: readable ones,
// writable too unless they hold an object, of a kind that has an attribute form (events,
// interfaces, arrays and records have none). Made once per class and kept for the process, as
// the class tables are (never destroyed, so that objects may be written until the process ends).
const TWrittenProperties& MakeWrittenProperties(TClass cls) {
    static std::shared_mutex& lock = *new std::shared_mutex;
    static auto& lists = *new std::unordered_map<TClass, std::unique_ptr<const TWrittenProperties>>;
    {
        std::shared_lock read(lock);
        if (auto it = lists.find(cls); it != lists.end())
            return *it->second;
    }
    namespace k = valuekind;
    using F = std::optional<TAttributeForm>;
    auto list = std::make_unique<TWrittenProperties>();
    for (const PropInfo* prop : cls->Properties()) {
        if (!prop->Readable() || (prop->Kind() != tkClass && !prop->Writable()))
            continue;
        const F form = VisitProperty(*prop, ValueVisitor{
                                                [](k::Ordinal) -> F { return TAttributeForm::Ordinal; }, // and sets
                                                [](k::Enumeration) -> F { return TAttributeForm::Enumeration; },
                                                [](k::Float) -> F { return TAttributeForm::Float; },
                                                [](k::Text) -> F { return TAttributeForm::Text; },
                                                [](k::VariantValue) -> F { return TAttributeForm::Variant; },
                                                [](k::Reference) -> F { return TAttributeForm::Reference; },
                                                [](k::SubObject) -> F { return TAttributeForm::SubObject; },
                                                [](k::AnyValue) -> F { return std::nullopt; },
                                            });
        if (form) {
            const bool byName = prop->Name.size() == 1 || SameText(prop->Name, u"PropData") ||
                                SameText(prop->Name, u"Text") || cls->FindProperty(prop->Name) != prop;
            list->push_back({prop, *form, SameText(prop->Name, u"Name"), byName});
        }
    }
    std::unique_lock write(lock);
    auto& slot = lists[cls];
    if (!slot)
        slot = std::move(list);
    return *slot;
}

// The same, through a small table of each thread's recent classes, which takes no lock.
const TWrittenProperties& WrittenProperties(TClass cls) {
    struct TRecent {
        TClass Class = nullptr;
        const TWrittenProperties* List = nullptr;
    };
    thread_local std::array<TRecent, 64> recent;
    TRecent& entry = recent[(reinterpret_cast<std::uintptr_t>(cls) * 0x9E3779B97F4A7C15ull) >> 58];
    if (entry.Class != cls)
        entry = {cls, &MakeWrittenProperties(cls)};
    return *entry.List;
}

// The define-properties output of an object, as a component writer produces it.
void CaptureDefinedProperties(TPersistent& obj, TComponent* root, TMemoryStream& out) {
    TWriter writer(out);
    writer.SetRoot(root);
    obj.DefineProperties(writer);
}

// FloatToStr and TextToFloat depend on nothing but their argument (the process's format settings
// never change), and a template writes and reads the same few dozen numbers over and over: their
// results are kept in small tables of each thread's recent arguments.

static_assert(std::numeric_limits<long double>::digits == 64, "80-bit long double expected");

// The ten bytes that hold a long double's value (the rest of its storage is padding).
std::uint64_t ExtendedKey(const long double& value, std::uint16_t& high) {
    std::uint64_t low;
    std::memcpy(&low, &value, sizeof low);
    std::memcpy(&high, reinterpret_cast<const unsigned char*>(&value) + sizeof low, sizeof high);
    return low;
}

// A value's text as ObjToXML writes it, and that text read back as XMLToObj reads it.
struct TFloatText {
    bool Used = false;
    std::uint64_t Low = 0;
    std::uint16_t High = 0;
    String Text;
    bool Readable = false; // the text reads back; a text that does not is assigned as text
    long double Read = 0;
};

// A table slot from a 64-bit key: the bits are mixed first, since the keys (a number's bits, a
// text's hash) differ in a few bits only.
std::size_t Slot(std::uint64_t key, int bits) {
    key ^= key >> 33;
    key *= 0xFF51AFD7ED558CCDull;
    key ^= key >> 33;
    key *= 0xC4CEB9FE1A85EC53ull;
    key ^= key >> 33;
    return std::size_t(key >> (64 - bits));
}

const TFloatText& FloatText(long double value) {
    thread_local std::array<TFloatText, 512> recent;
    std::uint16_t high;
    const std::uint64_t low = ExtendedKey(value, high);
    TFloatText& entry = recent[Slot(low ^ (std::uint64_t(high) << 47), 9)];
    if (!entry.Used || entry.Low != low || entry.High != high) {
        String text = FloatToStr(value);
        long double read = 0;
        bool readable = true;
        try {
            read = TextToFloat(text);
        } catch (const Exception&) {
            readable = false;
        }
        entry = {true, low, high, std::move(text), readable, read};
    }
    return entry;
}

// TextToFloat of an attribute value. Texts longer than a number's usual form are read directly;
// a text that does not read raises as TextToFloat does and is not kept.
long double ReadFloat(StringView text) {
    constexpr std::size_t kLongest = 24;
    struct TEntry {
        std::uint8_t Length = 0; // 0: unused
        std::array<Char, kLongest> Text{};
        long double Value = 0;
    };
    if (text.empty() || text.size() > kLongest)
        return TextToFloat(text);
    std::uint64_t hash = 14695981039346656037ull;
    for (Char c : text)
        hash = (hash ^ c) * 1099511628211ull;
    thread_local std::array<TEntry, 512> recent;
    TEntry& entry = recent[Slot(hash, 9)];
    if (entry.Length == text.size() && std::equal(text.begin(), text.end(), entry.Text.begin()))
        return entry.Value;
    const long double value = TextToFloat(text);
    entry.Length = std::uint8_t(text.size());
    std::copy(text.begin(), text.end(), entry.Text.begin());
    entry.Value = value;
    return value;
}

// Whether every name of the enumeration reads back as its own value: no name equals an earlier
// one without regard to case, none reads as a number (AssignPropertyValue tries numbers first) and
// none holds a surrogate (a copy replaces lone ones in texts).
// Then a value kept as its ordinal is assigned as its name would be. Found once per type and
// name list, in a small table of each thread's recent types.
bool EnumNamesReadBack(const TypeInfo& type) {
    struct TEntry {
        const TypeInfo* Type = nullptr;
        const String* Names = nullptr;
        std::size_t Count = 0;
        bool ReadBack = false;
    };
    thread_local std::array<TEntry, 256> recent;
    const std::vector<String>& names = type.Enum.Names();
    TEntry& entry = recent[(reinterpret_cast<std::uintptr_t>(&type) * 0x9E3779B97F4A7C15ull) >> 56];
    if (entry.Type != &type || entry.Names != names.data() || entry.Count != names.size()) {
        bool readBack = true;
        for (std::size_t i = 0; i < names.size() && readBack; ++i) {
            std::int64_t number;
            readBack = GetEnumValue(type, names[i]) == int(i) && !TryStrToInt64(names[i], number) &&
                       std::none_of(names[i].begin(), names[i].end(), [](Char c) { return IsSurrogate(c); });
        }
        entry = {&type, names.data(), names.size(), readBack};
    }
    return entry.ReadBack;
}

} // namespace

// ---- Attributes kept as values ----------------------------------------------------------------

String TfrxWrittenAttribute::Text() const {
    switch (Form) {
    case afText:
        return XMLEscapeText(Value);
    case afOrdinal:
        return Prop && IsUnsigned64(*Prop) ? UIntToStr(std::uint64_t(Ordinal)) : IntToStr(Ordinal);
    case afEnumeration:
        return GetEnumName(*Prop->PropType, Ordinal);
    case afFloat:
        return FloatText(Float).Text;
    case afEscaped:
        break;
    }
    return Value;
}

String TfrxItemAttributes::NameOf(const TfrxWrittenAttribute& a) const {
    if (!a.Prop)
        return a.Name;
    return a.Path < 0 ? a.Prop->Name : Paths[std::size_t(a.Path)].Prefix + a.Prop->Name;
}

String TfrxItemAttributes::Text() const {
    String result;
    for (const TfrxWrittenAttribute& a : Attributes)
        AppendAttribute(result, {}, NameOf(a), a.Text());
    return result;
}

const TfrxItemAttributes* TfrxAttributeStore::Find(const TfrxXMLItem* item) const {
    auto it = FItems.find(item);
    return it == FItems.end() ? nullptr : &it->second;
}

TfrxItemAttributes& TfrxAttributeStore::Add(const TfrxXMLItem* item) {
    TfrxItemAttributes& entry = FItems[item];
    entry = {};
    return entry;
}

void TfrxAttributeStore::TransformTexts(const std::function<void(String&)>& transform) {
    for (auto& [item, attributes] : FItems)
        for (TfrxWrittenAttribute& a : attributes.Attributes)
            if (a.Form == TfrxWrittenAttribute::afEscaped || a.Form == TfrxWrittenAttribute::afText)
                transform(a.Value);
}

// ---- TfrxXMLSerializer ---------------------------------------------------------------------

TfrxXMLSerializer::TfrxXMLSerializer(TStream* stream) : FStream(stream) {
    FErrors.SetSorted(true);
    FErrors.Duplicates = dupIgnore;
}

TfrxXMLSerializer::~TfrxXMLSerializer() = default;

void TfrxXMLSerializer::AddError(const String& message) {
    FErrors.Add(message);
}

String TfrxXMLSerializer::ObjToXML(TPersistent* obj, const String& add, TPersistent* ancestor) {
    String result;
    ObjToXMLAt(obj, add, ancestor, 0, result);
    return result;
}

void TfrxXMLSerializer::ObjToXMLAt(TPersistent* obj, const String& add, TPersistent* ancestor, int depth,
                                   String& result, TfrxItemAttributes* record, int path) {
    if (!obj)
        return;
    if (depth > MaxSubObjectDepth)
        throw EWriteError(u"Sub-objects of %s nest deeper than %d levels", {add, MaxSubObjectDepth});
    IfrxSerializableComponent* serializable = AsSerializable(obj);
    WritingGuard objWriting(serializable);
    auto* component = CachedCast<TComponent>(obj);
    if (component && !ancestor && OnGetAncestor)
        OnGetAncestor(component->Name(), ancestor);
    WritingGuard ancestorWriting(ancestor && ancestor != obj ? AsSerializable(ancestor) : nullptr);
    if (SaveAncestorOnly && ancestor) {
        obj = ancestor;
        component = CachedCast<TComponent>(obj);
        serializable = AsSerializable(obj);
    }
    const TClass cls = obj->ClassType();

    // An attribute read by its name alone (path -2: the sub-object itself is reached by name).
    const auto addByName = [&](StringView name, String text) {
        if (!record) {
            AppendAttribute(result, add, name, text);
            return;
        }
        TfrxWrittenAttribute& a = record->Attributes.emplace_back();
        a.Name = add;
        a.Name += name;
        a.Value = std::move(text);
    };
    // An attribute of a property that ApplyAttribute may set directly.
    const auto addProperty = [&](const TWrittenProperty& written) -> TfrxWrittenAttribute& {
        TfrxWrittenAttribute& a = record->Attributes.emplace_back();
        if (!written.ByName && path >= -1) {
            a.Prop = written.Prop;
            a.Class = cls;
            a.Path = path;
        } else {
            a.Name = add;
            a.Name += written.Prop->Name;
        }
        return a;
    };
    // A text value: kept unescaped when escaping and unescaping give it back unchanged.
    const auto addText = [&](const TWrittenProperty& written, String value) {
        if (value.empty())
            return;
        if (!record) {
            AppendAttribute(result, add, written.Prop->Name, XMLEscapeText(value));
            return;
        }
        TfrxWrittenAttribute& a = addProperty(written);
        if (value.find_first_of(StringView(u"\0&", 2)) == String::npos) {
            a.Form = TfrxWrittenAttribute::afText;
            a.Value = std::move(value);
        } else {
            a.Value = XMLEscapeText(value);
        }
    };

    for (const TWrittenProperty& written : WrittenProperties(cls)) {
        const PropInfo* prop = written.Prop;
        if (component && written.IsName)
            continue;
        if (!IsStoredProp(*obj, *prop))
            continue;
        const PropInfo* ancestorProp = ancestor ? ancestor->ClassType()->FindProperty(prop->Name) : nullptr;
        if (ancestorProp && (ancestorProp->Kind() != prop->Kind() || !ancestorProp->Readable()))
            ancestorProp = nullptr;

        // Each form leaves the attribute text in `text`, or skips the property (unchanged
        // against the ancestor or default, or already written in another form).
        String text;
        const auto ordinalSkipped = [&](std::int64_t value) {
            const bool same = ancestorProp ? value == GetOrdProp(*ancestor, *ancestorProp)
                                           : prop->HasDefault && value == prop->Default;
            return same && !SerializeDefaultValues;
        };
        switch (written.Form) {
        case TAttributeForm::Ordinal: { // integers, characters, sets
            const std::int64_t value = GetOrdProp(*obj, *prop);
            if (ordinalSkipped(value))
                continue;
            if (record && !written.ByName && path >= -1) {
                TfrxWrittenAttribute& a = addProperty(written);
                a.Form = TfrxWrittenAttribute::afOrdinal;
                a.Ordinal = value;
                continue;
            }
            text = IsUnsigned64(*prop) ? UIntToStr(std::uint64_t(value)) : IntToStr(value);
            break;
        }
        case TAttributeForm::Enumeration: { // Booleans too
            const std::int64_t value = GetOrdProp(*obj, *prop);
            if (ordinalSkipped(value))
                continue;
            if (record && !written.ByName && path >= -1) {
                const std::vector<String>& names = prop->PropType->Enum.Names();
                if (value >= 0 && value < std::int64_t(names.size()) && !names[std::size_t(value)].empty() &&
                    EnumNamesReadBack(*prop->PropType)) {
                    TfrxWrittenAttribute& a = addProperty(written);
                    a.Form = TfrxWrittenAttribute::afEnumeration;
                    a.Ordinal = value;
                    continue;
                }
            }
            text = GetEnumName(*prop->PropType, value);
            break;
        }
        case TAttributeForm::Float: {
            const long double value = GetFloatProp(*obj, *prop);
            if (ancestorProp && !SerializeDefaultValues &&
                std::fabs(value - GetFloatProp(*ancestor, *ancestorProp)) < kFloatTolerance)
                continue;
            const TFloatText& floatText = FloatText(value);
            if (record && !written.ByName && path >= -1 && floatText.Readable && !floatText.Text.empty()) {
                const long double read = floatText.Read;
                TfrxWrittenAttribute& a = addProperty(written);
                a.Form = TfrxWrittenAttribute::afFloat;
                a.Float = value;
                a.FloatRead = read;
                continue;
            }
            text = floatText.Text;
            break;
        }
        case TAttributeForm::Text: {
            String value = GetStrProp(*obj, *prop);
            const bool same = ancestorProp ? value == GetStrProp(*ancestor, *ancestorProp) : value.empty();
            if (same && !SerializeDefaultValues)
                continue;
            addText(written, std::move(value));
            continue;
        }
        case TAttributeForm::Variant: {
            const Variant value = GetPropValue(*obj, *prop);
            if (ancestorProp && !SerializeDefaultValues && SameVariant(value, GetPropValue(*ancestor, *ancestorProp)))
                continue;
            addText(written, VariantText(value));
            continue;
        }
        case TAttributeForm::Reference: {
            auto* target = CachedCast<TComponent>(GetObjectProp(*obj, *prop));
            if (ancestorProp) {
                auto* ancestorTarget = CachedCast<TComponent>(GetObjectProp(*ancestor, *ancestorProp));
                if (!target && !ancestorTarget)
                    continue;
                if (target && ancestorTarget && SameText(target->Name(), ancestorTarget->Name()))
                    continue;
                text = target ? ComponentFullName(FOwner, target) : String(u"nil");
            } else if (target)
                text = ComponentFullName(FOwner, target);
            break;
        }
        case TAttributeForm::SubObject: { // written here in its own form, never as one attribute
            TObject* value = GetObjectProp(*obj, *prop);
            TObject* ancestorValue = ancestorProp ? GetObjectProp(*ancestor, *ancestorProp) : nullptr;
            if (CachedCast<TfrxWideStrings>(value))
                continue; // travels as the memo text, never as a property
            if (auto* list = CachedCast<TStrings>(value)) {
                auto* ancestorList = CachedCast<TStrings>(ancestorValue);
                if (ancestorList && !SaveAncestorOnly && list->Text() == ancestorList->Text())
                    continue;
                addByName(prop->Name + u".Text", XMLEscapeText(WithoutFinalLineEnd(list->Text())));
                continue;
            }
            if (auto* sub = CachedCast<TPersistent>(value)) {
                int subPath = -2;
                String subAdd = add + prop->Name + u".";
                if (record && !written.ByName && path >= -1) {
                    TfrxAttributePath subObject;
                    if (path >= 0)
                        subObject.Steps = record->Paths[std::size_t(path)].Steps;
                    subObject.Steps.push_back({cls, prop});
                    subObject.Prefix = subAdd;
                    subPath = int(record->Paths.size());
                    record->Paths.push_back(std::move(subObject));
                }
                ObjToXMLAt(sub, subAdd, CachedCast<TPersistent>(ancestorValue), depth + 1, result, record, subPath);
            }
            continue;
        }
        }
        if (text.empty())
            continue;
        if (record && !written.ByName && path >= -1)
            addProperty(written).Value = std::move(text);
        else
            addByName(prop->Name, std::move(text));
    }

    if (serializable && serializable->IsMemoView()) {
        const String text = serializable->GetMemoText();
        IfrxSerializableComponent* ancestorMemo = AsSerializable(ancestor);
        const bool same = ancestor && !SaveAncestorOnly && ancestorMemo && ancestorMemo->IsMemoView() &&
                          ancestorMemo->GetMemoText() == text;
        if (!same) {
            if (record) {
                TfrxWrittenAttribute& a = record->Attributes.emplace_back();
                a.Name = u"Text";
                a.Value = XMLEscapeText(WithoutFinalLineEnd(text));
            } else {
                AppendAttribute(result, {}, u"Text", XMLEscapeText(WithoutFinalLineEnd(text)));
            }
        }
    }

    if (!(serializable && HandleNestedProperties && serializable->HandlesNestedProperties())) {
        TMemoryStream data;
        CaptureDefinedProperties(*obj, FOwner, data);
        if (data.GetSize() > 0) {
            bool same = false;
            if (ancestor && !SaveAncestorOnly) {
                TMemoryStream ancestorData;
                CaptureDefinedProperties(*ancestor, FOwner, ancestorData);
                same = StreamCRC32(data) == StreamCRC32(ancestorData);
            }
            if (!same)
                addByName(u"PropData", StreamToHexText(data));
        }
    }
}

void TfrxXMLSerializer::XMLToObj(const String& s, TPersistent& obj) {
    size_t pos = 0;
    const size_t n = s.size();
    for (;;) {
        while (pos < n && s[pos] <= u' ')
            ++pos;
        const size_t eq = s.find(u'=', pos);
        if (eq == String::npos)
            break;
        // The name is trimmed: the blanks before it were skipped above, those before '=' here.
        size_t nameEnd = eq;
        while (nameEnd > pos && s[nameEnd - 1] <= u' ')
            --nameEnd;
        if (nameEnd == pos)
            break;
        const StringView name = StringView(s).substr(pos, nameEnd - pos);
        const size_t open = s.find(u'"', eq + 1);
        if (open == String::npos)
            break;
        const size_t close = s.find(u'"', open + 1);
        if (close == String::npos)
            break;
        const StringView value = StringView(s).substr(open + 1, close - open - 1);
        pos = close + 1;
        try {
            AssignAttribute(&obj, name, value);
        } catch (const Exception& e) {
            AddError(e.Message());
        }
    }
}

void TfrxXMLSerializer::AssignAttribute(TObject* obj, StringView fullName, StringView value) {
    AssignAttributeFrom(obj, fullName, fullName, value);
}

void TfrxXMLSerializer::AssignAttributeFrom(TObject* target, StringView fullName, StringView name, StringView value) {
    // A dotted name walks the sub-objects; a part that is no property ends the walk and the rest
    // is taken as the name.
    for (size_t dot; (dot = name.find(u'.')) != StringView::npos;) {
        const StringView part = name.substr(0, dot);
        const PropInfo* prop = target->ClassType()->FindProperty(part);
        if (!prop)
            break;
        TObject* sub = prop->Kind() == tkClass && prop->Readable() ? GetObjectProp(*target, *prop) : nullptr;
        if (!sub)
            throw EPropertyError(u"Cannot assign %s: %s holds no object", {String(fullName), String(part)});
        target = sub;
        name.remove_prefix(dot + 1);
    }

    // The cross-cast is looked up only for the attributes that need it.
    IfrxSerializableComponent* serializable = nullptr;
    bool serializableKnown = false;
    const auto asSerializable = [&] {
        if (!serializableKnown) {
            serializable = AsSerializable(target);
            serializableKnown = true;
        }
        return serializable;
    };
    if (name.size() == 1 && asSerializable()) {
        const Char letter = name[0];
        const char16_t* bound = letter == u'l'   ? u"Left"
                                : letter == u't' ? u"Top"
                                : letter == u'w' ? u"Width"
                                : letter == u'h' ? u"Height"
                                                 : nullptr;
        if (bound) {
            if (const PropInfo* prop = target->ClassType()->FindProperty(bound); prop && prop->Kind() == tkFloat) {
                SetFloatProp(*target, *prop, TextToFloat(value));
                return;
            }
        } else if ((letter == u'x' || letter == u'u') && serializable->IsMemoView()) {
            const String text = XMLUnescapeText(value);
            serializable->SetMemoText(letter == u'u' && OldFormat ? DecodeOldFormatUtf8(text) : text);
            return;
        }
    }
    if (SameText(name, u"PropData")) {
        if (auto* persistent = CachedCast<TPersistent>(target))
            ReplayPropData(*persistent, value);
        return;
    }
    if (SameText(name, u"Text")) {
        if (auto* list = CachedCast<TStrings>(target)) {
            list->SetText(XMLUnescapeText(value));
            return;
        }
        if (asSerializable() && serializable->IsMemoView()) {
            const String text = XMLUnescapeText(value);
            serializable->SetMemoText(OldFormat ? DecodeOldFormatUtf8(text) : text);
            return;
        }
    }
    if (SameText(name, u"Name") && asSerializable() && serializable->IsReport())
        return;
    AssignProperty(*target, name, value);
}

void TfrxXMLSerializer::AssignProperty(TObject& obj, StringView name, StringView value) {
    const PropInfo* prop = obj.ClassType()->FindProperty(name);
    if (!prop)
        return; // attributes of no published property are ignored
    AssignPropertyValue(obj, *prop, value);
}

void TfrxXMLSerializer::AssignPropertyValue(TObject& obj, const PropInfo& property, StringView value) {
    namespace k = valuekind;
    const PropInfo* prop = &property;
    if (prop->Kind() != tkClass && !prop->Writable())
        return;
    VisitProperty(*prop, ValueVisitor{
                             [&](k::Ordinal) { SetOrdProp(obj, *prop, StrToInt64(value)); }, // also sets
                             [&](k::Int64) {
                                 SetOrdProp(obj, *prop,
                                            IsUnsigned64(*prop) ? std::int64_t(ParseUInt64(value)) : StrToInt64(value));
                             },
                             [&](k::Enumeration) { // Booleans too
                                 std::int64_t number;
                                 if (TryStrToInt64(value, number))
                                     return SetOrdProp(obj, *prop, number);
                                 const int ordinal = GetEnumValue(*prop->PropType, value);
                                 if (ordinal < 0)
                                     throw EPropertyError(u"Invalid property value");
                                 SetOrdProp(obj, *prop, ordinal);
                             },
                             [&](k::Float) { SetFloatProp(obj, *prop, ReadFloat(value)); },
                             [&](k::Text) { SetStrProp(obj, *prop, XMLUnescapeText(value)); },
                             [&](k::VariantValue) { SetPropValue(obj, *prop, Variant(XMLUnescapeText(value))); },
                             [&](k::Reference) {
                                 if (auto* persistent = CachedCast<TPersistent>(&obj))
                                     FFixups.push_back({persistent, prop, String(value)});
                             },
                             [](k::AnyValue) {}, // sub-objects and other kinds are not read from attributes
                         });
}

void TfrxXMLSerializer::ApplyAttributes(const TfrxItemAttributes& attributes, TPersistent& obj) {
    for (const TfrxWrittenAttribute& a : attributes.Attributes) {
        try {
            ApplyAttribute(attributes, a, obj);
        } catch (const Exception& e) {
            AddError(e.Message());
        }
    }
}

// What AssignAttribute does with the attribute's text, without finding the property by name
// while the objects on the way are of the classes that wrote it.
void TfrxXMLSerializer::ApplyAttribute(const TfrxItemAttributes& attributes, const TfrxWrittenAttribute& a,
                                       TPersistent& obj) {
    namespace k = valuekind;
    if (!a.Prop) {
        AssignAttribute(&obj, a.Name, a.Text());
        return;
    }
    TObject* target = &obj;
    std::size_t done = 0; // length of the name's part walked
    const auto byName = [&] {
        const String fullName = attributes.NameOf(a);
        AssignAttributeFrom(target, fullName, StringView(fullName).substr(done), a.Text());
    };
    if (a.Path >= 0)
        for (const TfrxAttributeStep& step : attributes.Paths[std::size_t(a.Path)].Steps) {
            if (target->ClassType() != step.Class)
                return byName();
            const PropInfo* prop = step.Prop;
            TObject* sub = prop->Kind() == tkClass && prop->Readable() ? GetObjectProp(*target, *prop) : nullptr;
            if (!sub)
                throw EPropertyError(u"Cannot assign %s: %s holds no object", {attributes.NameOf(a), prop->Name});
            target = sub;
            done += prop->Name.size() + 1;
        }
    if (target->ClassType() != a.Class)
        return byName();
    // The names AssignAttribute treats apart are written by name; of them only "Name" can be here.
    if (SameText(a.Prop->Name, u"Name"))
        if (IfrxSerializableComponent* s = AsSerializable(target); s && s->IsReport())
            return;
    const PropInfo& prop = *a.Prop;
    switch (a.Form) {
    case TfrxWrittenAttribute::afEscaped:
        AssignPropertyValue(*target, prop, a.Value);
        return;
    case TfrxWrittenAttribute::afText:
        if (prop.Kind() != tkClass && !prop.Writable())
            return;
        VisitProperty(prop, ValueVisitor{
                                [&](k::Text) { SetStrProp(*target, prop, a.Value); },
                                [&](k::VariantValue) { SetPropValue(*target, prop, Variant(a.Value)); },
                                [&](k::AnyValue) { AssignPropertyValue(*target, prop, a.Text()); },
                            });
        return;
    case TfrxWrittenAttribute::afOrdinal:
        if (prop.Kind() != tkClass && !prop.Writable())
            return;
        VisitProperty(prop, ValueVisitor{
                                [&](k::Ordinal) { SetOrdProp(*target, prop, a.Ordinal); }, // also sets, Int64
                                [&](k::Enumeration) { AssignPropertyValue(*target, prop, a.Text()); },
                                [&](k::AnyValue) { AssignPropertyValue(*target, prop, a.Text()); },
                            });
        return;
    case TfrxWrittenAttribute::afEnumeration:
        if (prop.Kind() != tkClass && !prop.Writable())
            return;
        VisitProperty(prop, ValueVisitor{
                                [&](k::Enumeration) { SetOrdProp(*target, prop, a.Ordinal); },
                                [&](k::AnyValue) { AssignPropertyValue(*target, prop, a.Text()); },
                            });
        return;
    case TfrxWrittenAttribute::afFloat:
        if (prop.Kind() != tkClass && !prop.Writable())
            return;
        VisitProperty(prop, ValueVisitor{
                                [&](k::Float) { SetFloatProp(*target, prop, a.FloatRead); },
                                [&](k::AnyValue) { AssignPropertyValue(*target, prop, a.Text()); },
                            });
        return;
    }
}

void TfrxXMLSerializer::ReplayPropData(TPersistent& obj, StringView hex) {
    FReaderStream.Clear();
    HexTextToStream(hex, FReaderStream);
    FReaderStream.SetPosition(0);
    TReader reader(FReaderStream);
    reader.SetRoot(FReaderRoot ? FReaderRoot : FOwner);
    try {
        while (!reader.EndOfStream())
            reader.ReadProperty(obj);
    } catch (const Exception& e) {
        // The data cannot be resynchronised after a failure: the rest of it is dropped.
        AddError(e.Message());
    }
    for (const TPropFixup& f : reader.Fixups())
        FReaderFixups.push_back({f.Instance, f.Prop, f.Name});
}

TComponent* TfrxXMLSerializer::FindReference(const String& name) const {
    TComponent* from = FOwner ? FOwner : FReaderRoot;
    if (from)
        if (IfrxSerializableComponent* s = AsSerializable(from))
            if (TComponent* found = s->FindObject(name))
                return found;
    return FindComponentByPath(from, name);
}

void TfrxXMLSerializer::ResolveFixups() {
    std::vector<TfrxFixupItem> pending = std::move(FFixups);
    FFixups.clear();
    pending.insert(pending.end(), FReaderFixups.begin(), FReaderFixups.end());
    FReaderFixups.clear();
    for (const TfrxFixupItem& f : pending) {
        try {
            TComponent* found = FindReference(f.Value);
            if (found)
                SetObjectProp(*f.Obj, *f.PropInfo, found);
            else if (SameText(f.Value, u"nil"))
                SetObjectProp(*f.Obj, *f.PropInfo, nullptr); // the ancestor's reference was removed
            // a name that finds nothing leaves the property as it is
        } catch (const Exception& e) {
            AddError(e.Message());
        }
    }
}

void TfrxXMLSerializer::DropFixups() {
    FFixups.clear();
    FReaderFixups.clear();
}

void TfrxXMLSerializer::FinishLoading() {
    std::vector<TComponent*> loaded = std::move(FLoaded);
    FLoaded.clear();
    FLoadedSet.clear();
    for (TComponent* c : loaded) {
        try {
            SetLoading(c, false);
            IfrxSerializableComponent* s = AsSerializable(c);
            if (!(s && s->IsReport()))
                c->Loaded();
        } catch (const Exception& e) {
            AddError(e.Message());
        }
    }
}

void TfrxXMLSerializer::CopyFixupList(std::vector<TfrxFixupItem>* fixList) const {
    if (!fixList)
        return;
    fixList->insert(fixList->end(), FFixups.begin(), FFixups.end());
    fixList->insert(fixList->end(), FReaderFixups.begin(), FReaderFixups.end());
}

// ---- Component trees -----------------------------------------------------------------------

void TfrxXMLSerializer::WriteRootComponent(TComponent* root, bool saveChildren, TfrxXMLItem* xmlItem) {
    if (!root)
        throw EArgumentException(u"No component to write");
    if (!FOwner)
        FOwner = root;
    std::unique_ptr<TfrxXMLDocument> document;
    if (!xmlItem) {
        if (!FStream)
            throw EInvalidOperation(u"The serializer has no stream to write to");
        document = std::make_unique<TfrxXMLDocument>();
        document->AutoIndent = true;
        xmlItem = document->Root();
    }
    WriteItem(root, *xmlItem, true, saveChildren);
    if (OnSaveCustomDataEvent)
        OnSaveCustomDataEvent(*xmlItem->Add(u"FrxCustomData"));
    if (document)
        document->SaveToStream(*FStream);
}

void TfrxXMLSerializer::WriteItem(TComponent* c, TfrxXMLItem& item, bool isRoot, bool saveChildren) {
    IfrxSerializableComponent* s = AsSerializable(c);
    TPersistent* ancestor = nullptr;
    const bool inherited = s && s->IsAncestor() && OnGetAncestor;
    if (inherited)
        OnGetAncestor(c->Name(), ancestor);
    item.SetName(inherited ? String(u"inherited") : c->ClassName());
    String text;
    if (!isRoot && !IgnoreName) {
        text = u"Name=\"";
        text += c->Name();
        text += u'"';
    }
    if (Attributes) {
        TfrxItemAttributes& record = Attributes->Add(&item);
        record.Attributes.reserve(64); // a view writes some dozens
        ObjToXMLAt(c, {}, nullptr, 0, text, &record, -1);
        // A quote inside a value (or the name) ends its attribute early in text form: such an
        // item is read from its text, as it would be.
        const bool quoted =
            std::count(text.begin(), text.end(), u'"') > 2 ||
            std::any_of(record.Attributes.begin(), record.Attributes.end(), [](const TfrxWrittenAttribute& a) {
                return a.Form == TfrxWrittenAttribute::afEscaped && a.Value.find(u'"') != String::npos;
            });
        if (quoted) {
            text += record.Text();
            Attributes->Remove(&item);
        }
    } else {
        ObjToXMLAt(c, {}, nullptr, 0, text);
    }
    item.SetText(text);
    if (s && HandleNestedProperties && s->HandlesNestedProperties())
        s->WriteNestedProperties(item, ancestor);
    if (saveChildren && s)
        for (int i = 0; i < s->ObjectCount(); ++i)
            if (TComponent* child = s->ObjectAt(i))
                WriteItem(child, *item.Add(), false, true);
}

void TfrxXMLSerializer::ReadRootComponent(TComponent* root, TfrxXMLItem* xmlItem) {
    if (!root)
        throw EArgumentException(u"No component to read into");
    if (!FOwner)
        FOwner = root;
    std::unique_ptr<TfrxXMLDocument> document;
    if (!xmlItem) {
        if (!FStream)
            throw EInvalidOperation(u"The serializer has no stream to read from");
        document = std::make_unique<TfrxXMLDocument>();
        document->LoadFromStream(*FStream);
        OldFormat = document->OldVersion();
        xmlItem = document->Root();
    }
    const TScopeExit finishLoading([&] { FinishLoading(); });
    const TScopeFail dropFixups([&] { DropFixups(); });
    ReadItem(*xmlItem, root, nullptr);
    ResolveFixups();
}

void TfrxXMLSerializer::ReadItem(TfrxXMLItem& item, TComponent* root, TComponent* parent) {
    if (SameText(item.Name(), u"FrxCustomData")) {
        if (OnGetCustomDataEvent)
            OnGetCustomDataEvent(item);
        return;
    }
    const bool inherited = SameText(item.Name(), u"inherited");
    TComponent* obj = nullptr;
    try {
        TClass cls = nullptr;
        if (!inherited) {
            cls = GetClass(item.Name());
            if (!cls || !cls->InheritsFrom(&TComponent::StaticClassInfo())) {
                AddError(frxResourcesInstance().Get(u"xrCantFindClass") + u" " + item.Name());
                return;
            }
        }
        if (!parent) {
            obj = root;
        } else {
            TComponent* found = nullptr;
            if (!IgnoreName)
                if (const String name = item.GetProp(u"Name"); !name.empty()) {
                    IfrxSerializableComponent* owner = AsSerializable(FOwner);
                    found = owner ? owner->FindObject(name) : FOwner->FindComponent(name);
                    if (!AsSerializable(found))
                        found = nullptr;
                }
            if (found) {
                // An object may not become its own descendant.
                int steps = 0;
                for (TComponent* p = parent; p;
                     p = AsSerializable(p) ? AsSerializable(p)->GetParentComponent() : nullptr)
                    if (p == found || ++steps > 100000)
                        throw EReadError(u"Object %s cannot be read inside itself", {found->Name()});
            }
            if (!inherited) {
                obj = found ? found : &cls->CreateComponent(*parent);
            } else if (found) {
                IfrxSerializableComponent* s = AsSerializable(found);
                s->SetParentComponent(nullptr);
                s->SetParentComponent(parent);
                obj = found;
            } else {
                return; // an inherited object that no longer exists
            }
        }
        SetLoading(obj, true);
        if (FLoadedSet.insert(obj).second)
            FLoaded.push_back(obj);
        XMLToObj(item.Text(), *obj);
        if (Attributes)
            if (const TfrxItemAttributes* attributes = Attributes->Find(&item))
                ApplyAttributes(*attributes, *obj);
    } catch (const Exception& e) {
        AddError(e.Message());
        return;
    }

    IfrxSerializableComponent* s = AsSerializable(obj);
    for (int i = 0; i < item.Count(); ++i) {
        TfrxXMLItem& child = *item.Items(i);
        bool consumed = false;
        if (s && HandleNestedProperties && s->HandlesNestedProperties()) {
            try {
                consumed = s->ReadNestedProperty(child);
            } catch (const Exception& e) {
                AddError(e.Message());
                consumed = true;
            }
        }
        if (!consumed)
            ReadItem(child, root, obj);
    }
}

// ---- One component as text -----------------------------------------------------------------

String TfrxXMLSerializer::WriteComponentStr(TComponent* c, TPersistent* ancestor) {
    if (!c)
        throw EArgumentException(u"No component to write");
    String text = c->ClassName();
    ObjToXMLAt(c, {}, ancestor, 0, text);
    return text;
}

TComponent* TfrxXMLSerializer::ReadComponentStr(TComponent* root, const String& s, bool dontFixup) {
    const String text = Trim(s);
    if (text.empty())
        return nullptr;
    if (!root)
        throw EArgumentException(u"A component read from text needs an owner");
    const size_t blank = text.find(u' ');
    return ReadComponentAs(root, text.substr(0, blank), dontFixup,
                           [&](TComponent& c) { XMLToObj(blank == String::npos ? String() : text.substr(blank), c); });
}

String TfrxWrittenComponent::Str() const {
    return ClassName + (Text ? *Text : Attributes.Text());
}

TfrxWrittenComponent TfrxXMLSerializer::WriteComponentRecord(TComponent* c) {
    if (!c)
        throw EArgumentException(u"No component to write");
    TfrxWrittenComponent written;
    written.ClassName = c->ClassName();
    String text;
    written.Attributes.Attributes.reserve(32); // without defaults a view writes a dozen or two
    ObjToXMLAt(c, {}, nullptr, 0, text, &written.Attributes, -1);
    // A quote inside a value ends its attribute early in text form: such a component keeps its
    // text, to be read as it would be.
    const bool quoted = std::any_of(
        written.Attributes.Attributes.begin(), written.Attributes.Attributes.end(), [](const TfrxWrittenAttribute& a) {
            return a.Form == TfrxWrittenAttribute::afEscaped && a.Value.find(u'"') != String::npos;
        });
    if (quoted || !text.empty()) {
        written.Attributes = {};
        written.Text = String();
        ObjToXMLAt(c, {}, nullptr, 0, *written.Text);
    }
    return written;
}

TComponent* TfrxXMLSerializer::ReadComponentRecord(TComponent* root, const TfrxWrittenComponent& written,
                                                   const String& more) {
    // The class name holds no blank, so it is the text's first word; the attributes written as
    // values are well formed (no quote in a value), so reading them and then `more` is reading
    // the two texts joined.
    if (written.Text || written.ClassName.empty() || written.ClassName.find_first_of(u" \t\r\n") != String::npos)
        return ReadComponentStr(root, written.Str() + u" " + more);
    if (!root)
        throw EArgumentException(u"A component read from text needs an owner");
    return ReadComponentAs(root, written.ClassName, false, [&](TComponent& c) {
        ApplyAttributes(written.Attributes, c);
        XMLToObj(more, c);
    });
}

TComponent* TfrxXMLSerializer::ReadComponentAs(TComponent* root, const String& className, bool dontFixup,
                                               const std::function<void(TComponent&)>& read) {
    TClass cls = FindClass(className);
    TComponent& c = cls->CreateComponent(*root);
    TComponent* savedRoot = FReaderRoot;
    FReaderRoot = root;
    const auto finish = [&] {
        if (dontFixup)
            DropFixups();
        else
            ResolveFixups();
        SetLoading(&c, false);
        IfrxSerializableComponent* serializable = AsSerializable(&c);
        if (!(serializable && serializable->IsReport()))
            c.Loaded();
        FReaderRoot = savedRoot;
    };
    SetLoading(&c, true);
    const TScopeExit finishing([&] { finish(); });
    read(c);
    return &c;
}

void TfrxXMLSerializer::WriteComponent(TComponent* c, TPersistent* ancestor) {
    if (!FStream)
        throw EInvalidOperation(u"The serializer has no stream to write to");
    const std::string bytes = "<" + StringToUtf8(WriteComponentStr(c, ancestor)) + "/>";
    FStream->WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
}

TComponent* TfrxXMLSerializer::ReadComponent(TComponent* root) {
    if (!FStream)
        throw EInvalidOperation(u"The serializer has no stream to read from");
    TfrxXMLItem item;
    {
        TfrxXMLReader reader(*FStream);
        reader.ReadRootItem(item, false);
    }
    return ReadComponentStr(root, item.Name() + u" " + item.Text(), false);
}

void TfrxXMLSerializer::ReadPersistentStr(TComponent* root, TPersistent& obj, const String& s) {
    TComponent* savedRoot = FReaderRoot;
    FReaderRoot = root;
    const TScopeExit restore([&] {
        ResolveFixups();
        FReaderRoot = savedRoot;
    });
    XMLToObj(s, obj);
}

// ---- Collections ---------------------------------------------------------------------------

namespace {

// The report's own serializer while it is being read, else a temporary one owned here.
struct CollectionSerializer {
    explicit CollectionSerializer(TComponent* component) {
        IfrxSerializableComponent* s = AsSerializable(component);
        Report = s ? s->Report() : nullptr;
        if (IfrxSerializableComponent* report = AsSerializable(Report))
            Shared = report->XMLSerializer();
        if (!Shared) {
            Temporary = std::make_unique<TfrxXMLSerializer>(nullptr);
            Temporary->SetOwner(Report);
        }
    }
    TfrxXMLSerializer& Get() { return Shared ? *Shared : *Temporary; }

    TComponent* Report = nullptr;
    TfrxXMLSerializer* Shared = nullptr;
    std::unique_ptr<TfrxXMLSerializer> Temporary;
};

// Old collection data carried characters above 127 as U+0001 followed by the character - 128.
String DecodeHighCharacters(const String& text) {
    String result;
    result.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\x01' && i + 1 < text.size())
            result += Char(text[++i] + 128);
        else
            result += text[i];
    }
    return result;
}

void DecodeStringProperties(TCollectionItem& item) {
    for (const PropInfo* prop : item.ClassType()->Properties()) {
        if (!prop->Readable() || !prop->Writable())
            continue;
        VisitProperty(*prop, ValueVisitor{
                                 [&](valuekind::Text) {
                                     const String value = GetStrProp(item, *prop);
                                     if (value.find(u'\x01') != String::npos)
                                         SetStrProp(item, *prop, DecodeHighCharacters(value));
                                 },
                                 [&](valuekind::VariantValue) {
                                     const Variant value = GetPropValue(item, *prop);
                                     if (VarIsStr(value))
                                         if (const String text = VarToStr(value); text.find(u'\x01') != String::npos)
                                             SetPropValue(item, *prop, Variant(DecodeHighCharacters(text)));
                                 },
                                 [](valuekind::AnyValue) {},
                             });
    }
}

} // namespace

void WriteCollectionAsXML(const TCollection& collection, TWriter& writer, TComponent* component) {
    IfrxSerializableComponent* s = AsSerializable(component);
    if (!(s && s->IsWriting())) {
        writer.WriteCollection(collection);
        return;
    }
    CollectionSerializer serializer(component);
    writer.WriteListBegin();
    for (int i = 0; i < collection.Count(); ++i) {
        writer.WriteListBegin();
        writer.WriteString(serializer.Get().ObjToXML(collection.Items(i)));
        writer.WriteListEnd();
    }
    writer.WriteListEnd();
}

void ReadCollectionFromReader(TCollection& collection, TReader& reader, TComponent* component) {
    if (reader.NextValue() == vaCollection) {
        reader.ReadCollection(collection);
        for (int i = 0; i < collection.Count(); ++i)
            DecodeStringProperties(*collection.Items(i));
        return;
    }
    CollectionSerializer serializer(component);
    reader.ReadListBegin();
    collection.Clear();
    while (!reader.EndOfList()) {
        reader.ReadListBegin();
        const String text = reader.ReadString();
        reader.ReadListEnd();
        TCollectionItem* item = collection.Add();
        if (serializer.Shared)
            serializer.Shared->XMLToObj(text, *item);
        else
            serializer.Temporary->ReadPersistentStr(serializer.Report, *item, text);
    }
    reader.ReadListEnd();
}

void SaveCollectionToXML(TCollection& collection, const String& name, TfrxXMLItem& parent, TCollection* ancestor,
                         TComponent* component) {
    CollectionSerializer serializer(component);
    auto* reportCollection = dynamic_cast<TfrxCollection*>(&collection);
    auto* ancestorCollection = dynamic_cast<TfrxCollection*>(ancestor);
    TfrxXMLItem* node = parent.Add(name);
    for (int i = 0; i < collection.Count(); ++i) {
        TCollectionItem* entry = collection.Items(i);
        auto* reportEntry = dynamic_cast<TfrxCollectionItem*>(entry);
        TfrxCollectionItem* ancestorEntry = nullptr;
        if (reportCollection && ancestorCollection && reportEntry)
            ancestorEntry = ancestorCollection->FindByName(reportEntry->GetInheritedName());
        String text;
        if (ancestorEntry)
            text = Attribute({}, u"InheritedName", XMLEscapeText(ancestorEntry->GetInheritedName()));
        text += serializer.Get().ObjToXML(entry, {}, ancestorEntry);
        if (reportCollection && reportEntry && reportEntry->IsUniqueNameStored())
            text += Attribute({}, u"uin", IntToStr(reportEntry->UniqueIndex()));
        node->Add(u"item")->SetText(text);
    }
}

void LoadCollectionFromXML(TCollection& collection, TfrxXMLItem& item, TComponent* component) {
    CollectionSerializer serializer(component);
    TfrxXMLSerializer& reader = serializer.Get();
    IfrxSerializableComponent* s = AsSerializable(component);
    const bool isAncestor = s && s->IsAncestor();
    auto* reportCollection = dynamic_cast<TfrxCollection*>(&collection);
    // The report's serializer resolves references with the rest of the report; a temporary one
    // resolves them entry by entry.
    const auto assign = [&](TCollectionItem& entry, const String& text) {
        if (serializer.Shared)
            serializer.Shared->XMLToObj(text, entry);
        else
            serializer.Temporary->ReadPersistentStr(serializer.Report, entry, text);
    };
    if (isAncestor && !reportCollection)
        collection.Clear();
    for (int i = 0; i < item.Count(); ++i) {
        TfrxXMLItem& child = *item.Items(i);
        try {
            if (isAncestor && reportCollection) {
                if (const String inheritedName = child.GetProp(u"InheritedName"); !inheritedName.empty()) {
                    if (TfrxCollectionItem* entry = reportCollection->FindByName(inheritedName)) {
                        assign(*entry, child.Text());
                        entry->SetIsInherited(true);
                    }
                    continue;
                }
            }
            TCollectionItem* entry = collection.Add();
            assign(*entry, child.Text());
            auto* reportEntry = dynamic_cast<TfrxCollectionItem*>(entry);
            if (reportCollection && reportEntry && reportEntry->IsUniqueNameStored())
                if (const String uin = child.GetProp(u"uin"); !uin.empty())
                    reportEntry->SetUniqueIndex(StrToInt(uin));
        } catch (const Exception& e) {
            reader.AddError(e.Message());
        }
    }
}

} // namespace vgl
