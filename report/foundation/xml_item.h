#pragma once
// TfrxXMLItem: one node of the report engine's XML item tree.

#include <cstdint>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TStream;

/// A node: an element name, the raw attribute text of its start tag (values kept escaped), a
/// content Value (written, never read back) and owned children. Destroying a node destroys its
/// subtree and removes it from its parent's list. An unloadable node may have its children moved
/// out to a stream (its "source") and read back on demand; it is then not Loaded.
class TfrxXMLItem : public TObject {
public:
    TfrxXMLItem() = default;
    ~TfrxXMLItem() override;
    TfrxXMLItem(const TfrxXMLItem&) = delete;
    TfrxXMLItem& operator=(const TfrxXMLItem&) = delete;
    String ClassName() const override { return u"TfrxXMLItem"; }

    /// Destroys all children; an unloadable node becomes not loaded.
    void Clear();
    /// Appends a new child (with the given Name) and returns it; the parent owns it.
    TfrxXMLItem* Add();
    TfrxXMLItem* Add(const String& name);
    /// Takes `item` (a new node or one of another parent) as the last child. Adding a child to its
    /// own parent moves it to the end.
    virtual void AddItem(TfrxXMLItem* item);
    /// AddItem, then moves the item to `index`.
    void InsertItem(int index, TfrxXMLItem* item);
    /// Index of the first child whose Name equals `name` without regard to case; -1 when none.
    int Find(const String& name) const;
    /// That child, or a new child named `name` appended when there is none.
    TfrxXMLItem* FindItem(const String& name);
    int IndexOf(const TfrxXMLItem* item) const;
    /// The topmost ancestor (this node when it has no parent).
    TfrxXMLItem* Root();
    virtual void SetData(const String& name, const String& text, const String& value);

    /// The unescaped value of attribute `name` (whole-name match without regard to case); the
    /// empty text when it is missing or unterminated. Raises EConvertError for a malformed
    /// numeric reference in the value.
    String GetProp(const String& name) const;
    /// Replaces the attribute in place or appends it; the value is escaped.
    void SetProp(const String& name, const String& value);
    bool PropExists(const String& name) const;
    /// Removes the attribute with the one character after it (the separating blank).
    void DeleteProp(const String& name);
    String Prop(const String& name) const { return GetProp(name); }

    int Count() const { return int(FItems.size()); }
    /// The child at `index`; raises EListError outside 0..Count-1.
    TfrxXMLItem* Items(int index) const;
    TfrxXMLItem* operator[](int index) const { return Items(index); }

    void* Data() const { return FData; }
    void SetData(void* data) { FData = data; }
    std::int64_t Offset() const { return FOffset; }
    void SetOffset(std::int64_t offset) { FOffset = offset; }
    bool Loaded() const { return FLoaded; }
    bool Modified() const { return FModified; }
    void SetModified(bool value) { FModified = value; }
    const String& Name() const { return FName; }
    void SetName(const String& name) { FName = name; }
    TfrxXMLItem* Parent() const { return FParent; }
    const String& Text() const { return FText; }
    void SetText(const String& text) { FText = text; }
    bool Unloadable() const { return FUnloadable; }
    void SetUnloadable(bool value) { FUnloadable = value; }
    const String& Value() const { return FValue; }
    void SetValue(const String& value) { FValue = value; }

private:
    friend class TfrxXMLReader;
    friend class TfrxXMLWriter;
    friend class TfrxXMLDocument;

    void DestroyChildren();
    void RemoveChild(TfrxXMLItem* item);
    // Position of the attribute name in FText (0-based), or npos.
    size_t FindProp(const String& name) const;
    // Marks the node unloaded with its children kept in `source` at `offset`.
    void MarkUnloaded(TStream* source, bool sourceOldFormat, std::int64_t offset);

    void* FData = nullptr;
    std::int64_t FOffset = 0;
    bool FLoaded = true;
    bool FModified = false;
    String FName;
    TfrxXMLItem* FParent = nullptr;
    String FText;
    bool FUnloadable = false;
    String FValue;
    std::vector<TfrxXMLItem*> FItems; // owned

    // Where an unloaded node's children live (owned by the document), and whether that stream
    // holds attribute text in the ANSI code page.
    TStream* FSource = nullptr;
    bool FSourceOldFormat = false;
};

} // namespace vgl
