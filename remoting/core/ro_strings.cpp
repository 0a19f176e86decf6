#include "remoting/core/ro_strings.h"

namespace vgl {

TROStrings::TROStrings(TStrings* list, bool ownsList) : FList(list) {
    if (!FList) {
        FOwnedList = std::make_unique<TStringList>();
        FList = FOwnedList.get();
    } else if (ownsList) {
        FOwnedList.reset(list);
    }
}

TROStrings::~TROStrings() = default;

std::shared_ptr<TROStrings> TROStrings::CreateCopy(const TStrings& list) {
    auto result = std::make_shared<TROStrings>();
    result->FList->AddStrings(list);
    return result;
}

bool TROStrings::Sorted() const {
    TStringList* list = AsStringList();
    return list && list->Sorted();
}

void TROStrings::SetSorted(bool value) {
    if (TStringList* list = AsStringList())
        list->SetSorted(value);
}

void TROStrings::CustomSort(const TStringListSortCompare& compare) {
    if (TStringList* list = AsStringList())
        list->CustomSort(compare);
}

TDuplicates TROStrings::Duplicates() const {
    TStringList* list = AsStringList();
    return list ? list->Duplicates : dupAccept;
}

void TROStrings::SetDuplicates(TDuplicates value) {
    if (TStringList* list = AsStringList())
        list->Duplicates = value;
}

int TROStrings::ExtractValue(const String& name, String& value) {
    value.clear();
    const int index = FList->IndexOfName(name);
    if (index >= 0) {
        value = FList->ValueFromIndex(index);
        FList->Delete(index);
    }
    return index;
}

bool TROStrings::NormalizeName(const String& name) {
    const int index = FList->IndexOfName(name);
    if (index < 0)
        return false;
    const String line = name + FList->NameValueSeparator + FList->ValueFromIndex(index);
    if (Sorted()) {
        // A sorted list refuses Put; the renamed line goes to its sorted place instead.
        // The object is taken out first so that a list owning its objects does not free it.
        TObject* obj = FList->GetObject(index);
        FList->PutObject(index, nullptr);
        FList->Delete(index);
        FList->AddObject(line, obj);
    } else {
        FList->Put(index, line);
    }
    return true;
}

int TROStrings::IndexOfName(const String& name) const {
    return AsStringList() ? FList->IndexOfName(name) : -1;
}

} // namespace vgl
