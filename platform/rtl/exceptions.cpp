#include "platform/rtl/exceptions.h"

#include <mutex>
#include <vector>

#include "platform/rtl/reflection.h"

namespace vgl {

const ClassInfo& Exception::StaticClassInfo() {
    static const vgl::ClassInfo* const info =
        MakeExceptionClassInfo(u"Exception", &TObject::StaticClassInfo(),
                               [](const String& message) -> TObject* { return new Exception(message); });
    return *info;
}

const ClassInfo* MakeExceptionClassInfo(const char16_t* name, TClass parent, TExceptionFactory factory) {
    // The tables live as long as the process; one list keeps them.
    static std::mutex lock;
    static std::vector<std::unique_ptr<ClassInfo>> tables;
    auto info = std::make_unique<ClassInfo>(name, parent);
    ClassInfoWriter w(*info);
    w.SetMessageFactory(factory);
    w.Finish();
    std::lock_guard guard(lock);
    tables.push_back(std::move(info));
    return tables.back().get();
}

std::span<const TClass> RuntimeExceptionClasses() {
    static const TClass classes[] = {
        &Exception::StaticClassInfo(),
        &EAbort::StaticClassInfo(),
        &EConvertError::StaticClassInfo(),
        &EListError::StaticClassInfo(),
        &EStringListError::StaticClassInfo(),
        &EStreamError::StaticClassInfo(),
        &EFilerError::StaticClassInfo(),
        &EReadError::StaticClassInfo(),
        &EWriteError::StaticClassInfo(),
        &EClassNotFound::StaticClassInfo(),
        &EFileStreamError::StaticClassInfo(),
        &EFOpenError::StaticClassInfo(),
        &EFCreateError::StaticClassInfo(),
        &EInOutError::StaticClassInfo(),
        &EOSError::StaticClassInfo(),
        &EAbstractError::StaticClassInfo(),
        &EAssertionFailed::StaticClassInfo(),
        &EArgumentException::StaticClassInfo(),
        &EArgumentOutOfRangeException::StaticClassInfo(),
        &ENotSupportedException::StaticClassInfo(),
        &ENotImplemented::StaticClassInfo(),
        &EInvalidOperation::StaticClassInfo(),
        &EInvalidCast::StaticClassInfo(),
        &EInvalidPointer::StaticClassInfo(),
        &EOutOfMemory::StaticClassInfo(),
        &EEncodingError::StaticClassInfo(),
        &EPropertyError::StaticClassInfo(),
        &EComponentError::StaticClassInfo(),
        &EVariantError::StaticClassInfo(),
        &EExternal::StaticClassInfo(),
        &EIntError::StaticClassInfo(),
        &EDivByZero::StaticClassInfo(),
        &ERangeError::StaticClassInfo(),
        &EIntOverflow::StaticClassInfo(),
        &EMathError::StaticClassInfo(),
        &EInvalidOp::StaticClassInfo(),
        &EZeroDivide::StaticClassInfo(),
        &EOverflow::StaticClassInfo(),
        &EUnderflow::StaticClassInfo(),
        &EInvalidArgument::StaticClassInfo(),
    };
    return classes;
}

std::unique_ptr<Exception> CreateException(StringView className, const String& message) {
    TClass cls = GetClass(className);
    if (!cls || !cls->InheritsFrom(&Exception::StaticClassInfo()))
        return nullptr;
    std::unique_ptr<TObject> obj = cls->CreateWithMessage(message);
    if (!obj)
        return nullptr;
    return std::unique_ptr<Exception>(static_cast<Exception*>(obj.release()));
}

Exception::Exception(StringView format, TVarRecs args) : FMessage(Format(format, args)) {}

void Exception::SetMessage(String message) {
    FMessage = std::move(message);
    FWhat.clear();
}

const char* Exception::what() const noexcept {
    try {
        if (FWhat.empty())
            FWhat = StringToUtf8(FMessage);
        return FWhat.c_str();
    } catch (...) {
        return "Exception";
    }
}

} // namespace vgl
