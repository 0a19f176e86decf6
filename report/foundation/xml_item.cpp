#include "report/foundation/xml_item.h"

#include <algorithm>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/xml_escaping.h"

namespace vgl {

TfrxXMLItem::~TfrxXMLItem() {
    DestroyChildren();
    if (FParent)
        FParent->RemoveChild(this);
}

void TfrxXMLItem::DestroyChildren() {
    std::vector<TfrxXMLItem*> items;
    items.swap(FItems);
    for (TfrxXMLItem* item : items) {
        item->FParent = nullptr;
        delete item; // the tree owns its nodes
    }
}

void TfrxXMLItem::RemoveChild(TfrxXMLItem* item) {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    if (it != FItems.end())
        FItems.erase(it);
}

void TfrxXMLItem::Clear() {
    DestroyChildren();
    if (FUnloadable)
        FLoaded = false;
}

TfrxXMLItem* TfrxXMLItem::Add() {
    auto* item = new TfrxXMLItem;
    AddItem(item);
    return item;
}

TfrxXMLItem* TfrxXMLItem::Add(const String& name) {
    TfrxXMLItem* item = Add();
    item->FName = name;
    return item;
}

void TfrxXMLItem::AddItem(TfrxXMLItem* item) {
    if (!item)
        throw EArgumentException(u"TfrxXMLItem.AddItem: no item");
    for (TfrxXMLItem* p = this; p; p = p->FParent)
        if (p == item)
            throw EInvalidOperation(u"TfrxXMLItem.AddItem: a node cannot become its own descendant");
    TfrxXMLItem* oldParent = item->FParent;
    FItems.push_back(item);
    // Removed from the previous parent after appending: find() meets the old place first, so
    // re-adding a child to its own parent moves it to the end.
    if (oldParent) {
        auto& siblings = oldParent->FItems;
        siblings.erase(std::find(siblings.begin(), siblings.end(), item));
    }
    item->FParent = this;
}

void TfrxXMLItem::InsertItem(int index, TfrxXMLItem* item) {
    AddItem(item);
    if (index < 0 || index >= Count())
        throw EListError(Format(u"List index out of bounds (%d)", {index}));
    FItems.pop_back();
    FItems.insert(FItems.begin() + index, item);
}

int TfrxXMLItem::Find(const String& name) const {
    for (size_t i = 0; i < FItems.size(); ++i)
        if (AnsiSameText(FItems[i]->FName, name))
            return int(i);
    return -1;
}

TfrxXMLItem* TfrxXMLItem::FindItem(const String& name) {
    const int i = Find(name);
    return i >= 0 ? FItems[i] : Add(name);
}

int TfrxXMLItem::IndexOf(const TfrxXMLItem* item) const {
    auto it = std::find(FItems.begin(), FItems.end(), item);
    return it == FItems.end() ? -1 : int(it - FItems.begin());
}

TfrxXMLItem* TfrxXMLItem::Root() {
    TfrxXMLItem* p = this;
    while (p->FParent)
        p = p->FParent;
    return p;
}

void TfrxXMLItem::SetData(const String& name, const String& text, const String& value) {
    FName = name;
    FText = text;
    FValue = value;
}

TfrxXMLItem* TfrxXMLItem::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(Format(u"List index out of bounds (%d)", {index}));
    return FItems[index];
}

namespace {

// No character but the blank has the blank as its upper case (checked once), so a blank before a
// name is found without case mapping.
bool OnlyBlankUppersToBlank() {
    static const bool only = [] {
        for (unsigned c = 0; c <= 0xFFFF; ++c)
            if (c != u' ' && AnsiUpperChar(Char(c)) == u' ')
                return false;
        return true;
    }();
    return only;
}

} // namespace

size_t TfrxXMLItem::FindProp(const String& name) const {
    // The first place where the text holds the name and =" without regard to case (upper case
    // unit by unit), with a blank (or the text start) before it, so "Left" never matches inside
    // "TextLeft". Compared in place: the text is not copied.
    String key = AnsiUpperCase(name);
    key += u"=\"";
    const size_t n = FText.size();
    const size_t m = key.size();
    const bool plainBlank = OnlyBlankUppersToBlank();
    for (size_t pos = 0; pos + m <= n; ++pos) {
        if (pos > 0) {
            const Char before = FText[pos - 1];
            if (before != u' ' && (plainBlank || AnsiUpperChar(before) != u' '))
                continue;
        }
        size_t j = 0;
        while (j < m && AnsiUpperChar(FText[pos + j]) == key[j])
            ++j;
        if (j == m)
            return pos;
    }
    return String::npos;
}

String TfrxXMLItem::GetProp(const String& name) const {
    const size_t pos = FindProp(name);
    if (pos == String::npos)
        return String();
    const size_t start = pos + name.size() + 2;
    const size_t end = FText.find(u'"', start);
    if (end == String::npos)
        return String();
    return XMLUnescapeText(StringView(FText).substr(start, end - start));
}

void TfrxXMLItem::SetProp(const String& name, const String& value) {
    size_t pos = FindProp(name);
    if (pos != String::npos) {
        const size_t quote = FText.find(u'"', pos + name.size() + 2);
        FText.erase(pos, quote == String::npos ? String::npos : quote - pos + 1);
    } else {
        pos = FText.size();
    }
    String pair = name + u"=\"" + XMLEscapeText(value) + u"\"";
    if (pos > 0 && FText[pos - 1] != u' ')
        pair.insert(0, 1, u' ');
    FText.insert(pos, pair);
}

bool TfrxXMLItem::PropExists(const String& name) const {
    return FindProp(name) != String::npos;
}

void TfrxXMLItem::DeleteProp(const String& name) {
    if (!PropExists(name))
        return;
    SetProp(name, String());
    const size_t pos = FindProp(name);
    FText.erase(pos, std::min(FText.size() - pos, name.size() + 4));
}

void TfrxXMLItem::MarkUnloaded(TStream* source, bool sourceOldFormat, std::int64_t offset) {
    DestroyChildren();
    FSource = source;
    FSourceOldFormat = sourceOldFormat;
    FOffset = offset;
    FUnloadable = true;
    FLoaded = false;
}

} // namespace vgl
