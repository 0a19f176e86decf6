#include "remoting/server/ro_rtti_invoker.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_visitor.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/variant.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_message.h"
#include "remoting/server/ro_rtti_server.h"

namespace vgl {

namespace {

constexpr const char16_t* SErrorReadingParameter = u"Error reading parameter %s: %s";
constexpr const char16_t* SNoValue = u"the request carries no value for it";
constexpr const char16_t* SRTTIInvoke = u"RTTIInvoke";

/// The argument a method receives for a value read from the message.
Variant ToArgument(const TypeInfo& aType, const TROValue& v) {
    namespace k = valuekind;
    return VisitValue(
        aType, ValueVisitor{
                   [&](k::Boolean) { return Variant(v.Ord != 0); },
                   [&](k::Char) { return Variant(String(1, Char(v.Ord))); },
                   [&](k::Ordinal) { return Variant(static_cast<long long>(v.Ord)); },
                   [&](k::Float) { return Variant(static_cast<double>(v.Float)); },
                   [&](k::UnicodeText) { return Variant(v.Text); },
                   [&](k::AnsiText) { return Variant(v.Ansi); },
                   [&](k::VariantValue) { return v.Var; },
                   [&](k::Object) { return Variant::FromObject(v.Object); },
                   [&](k::AnyValue) -> Variant { throw EROUnknownType(STypeNotSupported, {TypeKindName(aType.Kind)}); },
               });
}

/// The value to write for a method's result or var/out argument.
void FromArgument(const TypeInfo& aType, const Variant& arg, TROValue& v) {
    namespace k = valuekind;
    VisitValue(aType, ValueVisitor{
                          [&](k::Char) {
                              String s = arg.AsString();
                              v.Ord = s.empty() ? 0 : s[0];
                          },
                          [&](k::Ordinal) { v.Ord = arg.IsEmpty() ? 0 : arg.AsInt64(); },
                          [&](k::Float) { v.Float = arg.IsEmpty() ? 0 : arg.AsExtended(); },
                          [&](k::UnicodeText) { v.Text = arg.AsString(); },
                          [&](k::AnsiText) { v.Ansi = arg.AsAnsiString(); },
                          [&](k::VariantValue) { v.Var = arg; },
                          [&](k::Object) { v.Object = arg.AsObject(); },
                          [&](k::AnyValue) { throw EROUnknownType(STypeNotSupported, {TypeKindName(aType.Kind)}); },
                      });
}

/// The empty value an out parameter starts with.
Variant EmptyArgument(const TypeInfo& aType) {
    TROValue empty;
    return ToArgument(aType, empty);
}

bool IsObjectType(const TypeInfo* aType) {
    return aType && aType->Kind == tkClass;
}

/// The objects of one call, each once, in the order they were met.
class TCollected {
public:
    void Add(TObject* obj) {
        if (obj && std::find(fObjects.begin(), fObjects.end(), obj) == fObjects.end())
            fObjects.push_back(obj);
    }
    /// Takes over the object a read made.
    void Take(TROValue& v) {
        if (!v.Owned)
            return;
        fObjects.reserve(fObjects.size() + 1);
        fObjects.push_back(v.Owned.release());
    }
    void Dispose(const TROServiceInstance& aService) {
        if (fObjects.empty())
            return;
        TROObjectDisposer disposer(aService);
        for (TObject* obj : fObjects)
            disposer.Add(obj);
        fObjects.clear();
    }

private:
    std::vector<TObject*> fObjects;
};

} // namespace

String TRORTTIInvoker::GetInvokeMethodName(const std::shared_ptr<IROMessage>& aMessage) {
    TRTTIServerCache& cache = RTTIServerCache();
    std::vector<String> roles;
    const String service = aMessage->GetInterfaceName();
    const String operation = aMessage->GetMessageName();
    if (cache.FindROServiceMethod(service, operation, roles) ||
        cache.FindROServiceMethod(u"T" + service, operation, roles))
        return SRTTIInvoke;
    return TROInvoker::GetInvokeMethodName(aMessage);
}

TMessageInvokeMethod TRORTTIInvoker::MethodAddress(const String& aName) const {
    if (SameText(aName, SRTTIInvoke))
        return static_cast<TMessageInvokeMethod>(&TRORTTIInvoker::RTTIInvoke);
    return TROInvoker::MethodAddress(aName);
}

void TRORTTIInvoker::RTTIInvoke(const TROServiceInstance& anInstance, const std::shared_ptr<IROMessage>& aMessage,
                                const std::shared_ptr<IROTransport>& aTransport, TROResponseOptions&) {
    auto* message = dynamic_cast<TROMessage*>(aMessage.get());
    if (!message || !anInstance)
        throw EInvalidCast(u"Invalid class typecast");
    const String service = message->GetInterfaceName();
    const String operation = message->GetMessageName();

    TRTTIServerCache& cache = RTTIServerCache();
    std::vector<String> roles;
    const MethodInfo* method = cache.FindROServiceMethod(service, operation, roles);
    if (!method)
        method = cache.FindROServiceMethod(u"T" + service, operation, roles);
    // Without an operation nothing is written, and the request would go back as the answer.
    if (!method)
        throw EROUnknownServiceMethod(operation, service);
    CheckRoles(anInstance, roles);

    TCollected collected;
    const TScopeExit dispose([&] { collected.Dispose(anInstance); });

    std::vector<Variant> args(method->Params.size());
    for (size_t i = 0; i < method->Params.size(); ++i) {
        const ParamInfo& p = method->Params[i];
        if (p.Flags & pfOut) {
            args[i] = EmptyArgument(*p.ParamType);
            continue;
        }
        TROValue value;
        RttiReadParameter(*message, p.Name, *p.ParamType, value);
        collected.Take(value);
        // The operations use their records at once; a missing one is the caller's error.
        if (IsObjectType(p.ParamType) && !value.Object)
            throw EROException(SErrorReadingParameter, {p.Name, String(SNoValue)});
        args[i] = ToArgument(*p.ParamType, value);
    }

    Variant result = method->Invoker->Invoke(*anInstance, args);
    if (IsObjectType(method->ResultType))
        collected.Add(result.AsObject());
    for (size_t i = 0; i < method->Params.size(); ++i) {
        const ParamInfo& p = method->Params[i];
        if ((p.Flags & (pfVar | pfOut)) && IsObjectType(p.ParamType))
            collected.Add(args[i].AsObject());
    }

    message->InitializeResponseMessage(aTransport, RODLLibraryName(), service, operation + u"Response");
    const TScopeExit finish([&] {
        message->Finalize();
        message->ClearAttributes();
    });
    if (method->ResultType) {
        TROValue value;
        FromArgument(*method->ResultType, result, value);
        RttiWriteParameter(*message, u"Result", *method->ResultType, value);
    }
    for (size_t i = 0; i < method->Params.size(); ++i) {
        const ParamInfo& p = method->Params[i];
        if (!(p.Flags & (pfVar | pfOut)))
            continue;
        TROValue value;
        FromArgument(*p.ParamType, args[i], value);
        RttiWriteParameter(*message, p.Name, *p.ParamType, value);
    }
}

// ---- TROObjectDisposer --------------------------------------------------------------------

void TROObjectDisposer::Add(TObject* aObject) {
    if (std::find(fObjects.begin(), fObjects.end(), aObject) == fObjects.end())
        fObjects.push_back(aObject);
}

TROObjectDisposer::~TROObjectDisposer() {
    if (auto* retainer = dynamic_cast<IROObjectRetainer*>(fService.get())) {
        for (auto it = fObjects.rbegin(); it != fObjects.rend(); ++it)
            if (!retainer->IsRetained(*it))
                delete *it;
    } else {
        for (TObject* obj : fObjects)
            delete obj;
    }
}

} // namespace vgl
