#include "remoting/core/ro_exceptions.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <shared_mutex>

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_serializer.h"
#include "remoting/core/ro_type_registry.h"

namespace vgl {

VGL_DEFINE_CLASS(EROException) {
    b.ClassAttribute(u"ROSkipAttribute");
}

VGL_DEFINE_CLASS(EROServerException) {
    b.Property(u"ServerStackTrace", &EROServerException::ServerStackTrace, &EROServerException::SetServerStackTrace);
    b.ClassAttribute(u"ROSkipAttribute");
}

VGL_DEFINE_CLASS(EROUnknownServiceMethod) {
    b.Property(u"MethodName", &EROUnknownServiceMethod::MethodName, nullptr);
    b.Property(u"ServiceName", &EROUnknownServiceMethod::ServiceName, nullptr);
}

VGL_DEFINE_CLASS(UnknownServiceMethodException) {}

VGL_DEFINE_CLASS(EROIncorrectUri) {}

std::span<const TClass> ROExceptionClasses() {
    static const TClass classes[] = {
        &EROException::StaticClassInfo(),
        &EROServerException::StaticClassInfo(),
        &EROUnknownServiceMethod::StaticClassInfo(),
        &UnknownServiceMethodException::StaticClassInfo(),
        &EROUnregisteredServerException::StaticClassInfo(),
        &EROUnknownExceptionReceivedFromServer::StaticClassInfo(),
        &EROChannelBusy::StaticClassInfo(),
        &EROSessionNotFound::StaticClassInfo(),
        &EROSessionExpired::StaticClassInfo(),
        &SessionNotFoundException::StaticClassInfo(),
        &SessionDoesNotHaveRequiredRolesException::StaticClassInfo(),
        &EROInvalidStream::StaticClassInfo(),
        &EROUnknownItem::StaticClassInfo(),
        &EROUnknownType::StaticClassInfo(),
        &EROCircularReference::StaticClassInfo(),
        &EROMessageTooLarge::StaticClassInfo(),
        &EROIncorrectUri::StaticClassInfo(),
    };
    return classes;
}

// ---- EROException -------------------------------------------------------------------------

String EROException::GetAttributeName(int) const {
    return {};
}

String EROException::GetAttributeValue(int) const {
    return {};
}

void EROException::Assign(const EROException& source) {
    SetMessage(source.Message());
}

void EROException::ReadException(TROSerializer& aSerializer) {
    aSerializer.ReadObject(this);
}

void EROException::WriteException(TROSerializer& aSerializer) const {
    aSerializer.WriteObject(this);
}

std::unique_ptr<EROException> EROException::Clone() const {
    std::unique_ptr<TObject> made = ClassType()->CreateWithMessage(Message());
    auto* copy = dynamic_cast<EROException*>(made.get());
    if (!copy)
        throw EInvalidOperation(u"Cannot clone an exception of class %s", {ClassName()});
    made.release();
    std::unique_ptr<EROException> result(copy);
    result->Assign(*this);
    return result;
}

namespace {

struct NameLess {
    bool operator()(const String& a, const String& b) const { return CompareText(a, b) < 0; }
};
using TAttributeMap = std::map<String, String, NameLess>;

/// Class-level attribute maps, built once per class and never changed afterwards, so a found
/// map may be read after the lock is released.
struct AttributeCache {
    std::shared_mutex Lock;
    std::map<TClass, std::unique_ptr<const TAttributeMap>> Maps;
};

AttributeCache& TheAttributeCache() {
    static AttributeCache cache;
    return cache;
}

std::unique_ptr<const TAttributeMap> BuildAttributeMap(TClass cls) {
    auto map = std::make_unique<TAttributeMap>();
    for (const AttributeInfo& a : cls->Attributes())
        if (SameText(a.Kind, u"ROCustomAttribute"))
            (*map)[a.Name] = a.Value;
    // The class-level pairs come from the class's overrides; an instance made from an empty
    // message answers them.
    std::unique_ptr<TObject> probe = cls->CreateWithMessage(String());
    if (auto* e = dynamic_cast<const EROException*>(probe.get())) {
        const int count = e->GetAttributeCount();
        for (int i = 0; i < count; ++i)
            (*map)[e->GetAttributeName(i)] = e->GetAttributeValue(i);
    }
    return map;
}

} // namespace

bool EROException::TryGetAttribute(TClass cls, StringView name, String& value) {
    value.clear();
    if (!cls || !cls->InheritsFrom(&EROException::StaticClassInfo()))
        return false;
    AttributeCache& cache = TheAttributeCache();
    const TAttributeMap* map = nullptr;
    {
        std::shared_lock read(cache.Lock);
        auto it = cache.Maps.find(cls);
        if (it != cache.Maps.end())
            map = it->second.get();
    }
    if (!map) {
        // Built outside the lock: the class's overrides are user code.
        std::unique_ptr<const TAttributeMap> built = BuildAttributeMap(cls);
        std::unique_lock write(cache.Lock);
        auto [it, added] = cache.Maps.emplace(cls, std::move(built));
        map = it->second.get();
    }
    auto found = map->find(String(name));
    if (found == map->end())
        return false;
    value = found->second;
    return true;
}

// ---- EROUnknownServiceMethod --------------------------------------------------------------

namespace {
constexpr StringView kMethodMarker = u"Unknown method ";
constexpr StringView kServiceMarker = u" for interface ";
} // namespace

String EROUnknownServiceMethod::MethodName() const {
    const String& m = Message();
    const int start = Pos(kMethodMarker, m);
    const int end = Pos(kServiceMarker, m);
    if (start == 0 || end == 0)
        return {};
    const int from = start + int(kMethodMarker.size());
    return from < end ? Copy(m, from, end - from) : String();
}

String EROUnknownServiceMethod::ServiceName() const {
    const String& m = Message();
    const int end = Pos(kServiceMarker, m);
    if (Pos(kMethodMarker, m) == 0 || end == 0)
        return {};
    return m.substr(size_t(end - 1 + kServiceMarker.size()));
}

// ---- Registration for transfer by name ----------------------------------------------------
// The type registry's persistent layer is the only filing; these are its entry points for the
// exception unit.

void RegisterExceptionClass(TClass cls, StringView nameSpace) {
    if (!cls || !cls->InheritsFrom(&EROException::StaticClassInfo()))
        throw EArgumentException(u"%s is no remoting exception class", {cls ? cls->Name() : String(u"nil")});
    RttiRegisterExceptionClass(cls, nameSpace);
}

void UnregisterExceptionClass(TClass cls, StringView nameSpace) {
    if (cls)
        RttiUnregisterExceptionClass(cls, nameSpace);
}

TClass FindExceptionClass(StringView name, const std::vector<String>& nameSpaces) {
    if (nameSpaces.empty())
        return RttiFindExceptionClass(name);
    TStringList list;
    for (const String& nameSpace : nameSpaces)
        list.Add(nameSpace);
    return RttiFindExceptionClass(name, &list);
}

// ---- Raising ------------------------------------------------------------------------------

void RaiseError(StringView format, TVarRecs args) {
    throw EROException(Format(format, args));
}

void RaiseErrorOfClass(StringView format, TVarRecs args, TClass cls) {
    String message = Format(format, args);
    std::unique_ptr<TObject> made = cls ? cls->CreateWithMessage(message) : nullptr;
    if (auto* e = dynamic_cast<Exception*>(made.get()))
        e->Raise();
    throw EROException(std::move(message));
}

void RaiseErrorIf(bool condition, StringView format, TVarRecs args) {
    if (condition)
        RaiseError(format, args);
}

void RaiseErrorOfClassIf(bool condition, StringView format, TVarRecs args, TClass cls) {
    if (condition)
        RaiseErrorOfClass(format, args, cls);
}

void RaiseErrorMessage(const String& message) {
    throw EROException(message);
}

bool RaiseErrorMessageIf(bool condition, const String& message) {
    if (condition)
        RaiseErrorMessage(message);
    return condition;
}

void RaiseNotSupported(const String& text) {
    if (text.empty())
        throw ENotSupportedException(SNotSupported);
    throw ENotSupportedException(text + u" " + SNotSupported);
}

void RaiseInvalidStream(StringView format, TVarRecs args, TStream& stream) {
    constexpr std::int64_t kShownBytes = 500;
    String message = Format(format, args) + u"\r\r";
    stream.SetPosition(0);
    const std::int64_t n = std::min(stream.GetSize(), kShownBytes);
    if (n > 0) {
        std::string bytes(size_t(n), '\0');
        bytes.resize(size_t(std::max<std::int64_t>(stream.Read(bytes.data(), n), 0)));
        const String text = IsValidUtf8(bytes) ? Utf8ToString(bytes) : AnsiToString(bytes);
        message += MakeReadableString(text);
    }
    throw EROInvalidStream(std::move(message));
}

} // namespace vgl
