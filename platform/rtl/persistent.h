#pragma once
// TPersistent: objects that can be copied onto each other and that describe their
// define-properties data.

#include "platform/rtl/object.h"
#include "platform/rtl/reflection.h"

namespace vgl {

class TFiler;

class TPersistent : public TObject {
    VGL_CLASS(TPersistent, TObject)

    TPersistent() = default;

    /// Copies `source` into this object. The base hands the work to source->AssignTo(this);
    /// when nobody knows how, raises EConvertError "Cannot assign a %s to a %s." with the
    /// source's class name ("nil" for none) and this object's class name.
    virtual void Assign(const TPersistent* source);
    /// The name by which messages name this object; the class name by default.
    virtual String GetNamePath() const;
    /// The object that owns this one (a component's owner, a collection item's collection);
    /// none by default.
    virtual TPersistent* GetOwner() const { return nullptr; }
    /// Declares the object's define-properties data to a filer (TWriter/TReader); nothing by
    /// default.
    virtual void DefineProperties(TFiler& filer);

protected:
    /// Copies this object into `dest`; the base raises the "Cannot assign" error.
    virtual void AssignTo(TPersistent* dest) const;
    /// Raises EConvertError "Cannot assign a <source> to a <this>.".
    [[noreturn]] void AssignError(const TPersistent* source) const;
};

} // namespace vgl
