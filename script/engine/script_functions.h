#pragma once
// TfsSysFunctions: the built-in vocabulary every script starts with (elementary types, True,
// False, nil, Null, the string and array helpers, the exception variables, the built-in
// functions in six categories and the Variant type codes). It is the first registration module.

#include <memory>

#include "script/engine/script.h"

namespace vgl {

class TfsSysFunctions : public TfsRTTIModule {
public:
    explicit TfsSysFunctions(TfsScript* script);

    const String FCatConv = u"ctConv";
    const String FCatDate = u"ctDate";
    const String FCatFormat = u"ctFormat";
    const String FCatMath = u"ctMath";
    const String FCatOther = u"ctOther";
    const String FCatStr = u"ctString";
};

/// The module factory the registry lists first.
std::unique_ptr<TfsRTTIModule> fsCreateSysFunctions(TfsScript* script);

} // namespace vgl
