#pragma once
// The polymorphic root of the system's class hierarchy.

#include "platform/rtl/ustring.h"

namespace vgl {

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = default;
    TObject& operator=(const TObject&) = default;
    virtual ~TObject() = default;

    /// The class's documented name ("TfrxReport", "EConvertError").
    virtual String ClassName() const { return u"TObject"; }
};

} // namespace vgl
