#include "platform/rtl/exceptions.h"

namespace vgl {

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
