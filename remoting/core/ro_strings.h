#pragma once
// IROStrings: a reference-counted interface over a string list, and TROStrings, which wraps a
// TStrings with or without owning it.

#include <memory>

#include "platform/rtl/string_list.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// Held by std::shared_ptr. Operations forward to the wrapped list; those that only a
/// TStringList has answer the defaults of a plain list for any other list (not sorted,
/// duplicates accepted, IndexOfName -1) and ignore changes.
class IROStrings {
public:
    virtual ~IROStrings() = default;

    virtual int Count() const = 0;
    /// The wrapped list.
    virtual TStrings& Strings() const = 0;
    virtual String Values(const String& name) const = 0;
    virtual void SetValues(const String& name, const String& value) = 0;
    virtual String Names(int index) const = 0;
    virtual TObject* Objects(int index) const = 0;
    virtual void SetObjects(int index, TObject* obj) = 0;
    virtual String Text() const = 0;
    virtual void SetText(StringView text) = 0;
    virtual String CommaText() const = 0;
    virtual void SetCommaText(StringView text) = 0;
    virtual String Items(int index) const = 0;
    virtual void SetItems(int index, const String& s) = 0;
    virtual bool Sorted() const = 0;
    virtual void SetSorted(bool value) = 0;
    virtual void CustomSort(const TStringListSortCompare& compare) = 0;
    virtual TDuplicates Duplicates() const = 0;
    virtual void SetDuplicates(TDuplicates value) = 0;
    virtual int Add(const String& s) = 0;
    virtual int AddObject(const String& s, TObject* obj) = 0;
    virtual void Insert(int index, const String& s) = 0;
    virtual void InsertObject(int index, const String& s, TObject* obj) = 0;
    virtual void Delete(int index) = 0;
    virtual int IndexOf(const String& s) const = 0;
    /// Looks the line `name` up (IndexOfName); when found, hands out its value, deletes the
    /// line and answers its index; else -1 with an empty value.
    virtual int ExtractValue(const String& name, String& value) = 0;
    /// When a line `name` exists (compared as the list compares), its name part becomes `name`
    /// as given and the value stays; answers whether a line was found.
    virtual bool NormalizeName(const String& name) = 0;
    virtual void Clear() = 0;
    virtual int IndexOfName(const String& name) const = 0;
    /// Appends every line of `other`.
    virtual void AddStrings(const IROStrings& other) = 0;
};

class TROStrings : public TObject, public IROStrings {
public:
    /// Wraps `list`, freeing it with this object when `ownsList` is set; without a list an
    /// owned empty TStringList is made.
    explicit TROStrings(TStrings* list = nullptr, bool ownsList = true);
    /// An owned TStringList holding a copy of the lines of `list`.
    static std::shared_ptr<TROStrings> CreateCopy(const TStrings& list);
    ~TROStrings() override;
    TROStrings(const TROStrings&) = delete;
    TROStrings& operator=(const TROStrings&) = delete;
    String ClassName() const override { return u"TROStrings"; }

    int Count() const override { return FList->Count(); }
    TStrings& Strings() const override { return *FList; }
    String Values(const String& name) const override { return FList->Values(name); }
    void SetValues(const String& name, const String& value) override { FList->SetValue(name, value); }
    String Names(int index) const override { return FList->Names(index); }
    TObject* Objects(int index) const override { return FList->GetObject(index); }
    void SetObjects(int index, TObject* obj) override { FList->PutObject(index, obj); }
    String Text() const override { return FList->Text(); }
    void SetText(StringView text) override { FList->SetText(text); }
    String CommaText() const override { return FList->CommaText(); }
    void SetCommaText(StringView text) override { FList->SetCommaText(text); }
    String Items(int index) const override { return FList->Get(index); }
    void SetItems(int index, const String& s) override { FList->Put(index, s); }
    bool Sorted() const override;
    void SetSorted(bool value) override;
    void CustomSort(const TStringListSortCompare& compare) override;
    TDuplicates Duplicates() const override;
    void SetDuplicates(TDuplicates value) override;
    int Add(const String& s) override { return FList->Add(s); }
    int AddObject(const String& s, TObject* obj) override { return FList->AddObject(s, obj); }
    void Insert(int index, const String& s) override { FList->Insert(index, s); }
    void InsertObject(int index, const String& s, TObject* obj) override { FList->InsertObject(index, s, obj); }
    void Delete(int index) override { FList->Delete(index); }
    int IndexOf(const String& s) const override { return FList->IndexOf(s); }
    int ExtractValue(const String& name, String& value) override;
    bool NormalizeName(const String& name) override;
    void Clear() override { FList->Clear(); }
    int IndexOfName(const String& name) const override;
    void AddStrings(const IROStrings& other) override { FList->AddStrings(other.Strings()); }

private:
    TStringList* AsStringList() const { return dynamic_cast<TStringList*>(FList); }

    TStrings* FList;
    std::unique_ptr<TStrings> FOwnedList;
};

} // namespace vgl
