#pragma once
// The script engine's own small XML tree: elements with attributes only. It holds language
// grammars, the intermediate-language program and the designer's contents tree.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TStream;

/// Attribute escaping: LF, CR, '"', '<', '>' and '&' become decimal character references.
String fsXMLEscapeText(StringView text);
/// Decodes "&#n;" (decimal, or hexadecimal after '$') and "&quot;"; other text is left as is.
/// Raises EConvertError when the digits of a reference are not an integer.
String fsXMLUnescapeText(StringView text);

/// One element: a name, the raw attribute text and the owned children. Scripts reach it as a
/// class of their own, hence the class table.
class TfsXMLItem : public TObject {
    VGL_CLASS(TfsXMLItem, TObject)

    TfsXMLItem() = default;
    /// Clears the subtree and removes the item from its parent's child list.
    ~TfsXMLItem() override;
    TfsXMLItem(const TfsXMLItem&) = delete;
    TfsXMLItem& operator=(const TfsXMLItem&) = delete;

    int Count() const { return FItems ? int(FItems->size()) : 0; }
    /// Child at `index`; raises EListError "List index out of bounds (%d)" outside the range.
    TfsXMLItem* Items(int index) const;
    TfsXMLItem* operator[](int index) const { return Items(index); }

    void* Data() const { return FData; }
    void SetData(void* data) { FData = data; }
    const String& Name() const { return FName; }
    void SetName(String name) { FName = std::move(name); }
    TfsXMLItem* Parent() const { return FParent; }
    /// Removes the item from its old parent's child list and stores the reference; it does not
    /// join the new parent's list (AddItem moves for real).
    void SetParent(TfsXMLItem* parent);
    const String& Text() const { return FText; }
    void SetText(String text) { FText = std::move(text); }

    /// Frees every child.
    void Clear();
    /// A new empty child appended to this item.
    TfsXMLItem* Add();
    /// Takes ownership of `item` (which may belong to another parent) and appends it.
    void AddItem(TfsXMLItem* item);
    /// AddItem, then moves the item to `index`.
    void InsertItem(int index, TfsXMLItem* item);
    /// Index of the first child named `name` (case-insensitive), -1 when none.
    int Find(StringView name) const;
    /// The child named `name`, created when absent.
    TfsXMLItem* FindItem(StringView name);
    int IndexOf(const TfsXMLItem* item) const;
    /// The topmost item.
    TfsXMLItem* Root();

    String GetProp(StringView name) const;
    void SetProp(StringView name, StringView value);
    bool PropExists(StringView name) const;
    /// Deep copy of `item` (name, text, data, descendants); nullptr just clears.
    void Assign(const TfsXMLItem* item);

private:
    // True when `item` lies in this item's subtree (this item itself excluded).
    bool IsAncestorOf(const TfsXMLItem* item) const;
    // Index in FText of the value after `name="` (0-based), or npos.
    size_t FindPropValue(StringView name) const;

    void* FData = nullptr;
    std::unique_ptr<std::vector<TfsXMLItem*>> FItems; // owned children
    String FName;
    TfsXMLItem* FParent = nullptr;
    String FText;
};

class TfsXMLDocument : public TObject {
    VGL_CLASS(TfsXMLDocument, TObject)

    TfsXMLDocument();
    ~TfsXMLDocument() override;
    TfsXMLDocument(const TfsXMLDocument&) = delete;
    TfsXMLDocument& operator=(const TfsXMLDocument&) = delete;

    bool AutoIndent() const { return FAutoIndent; }
    void SetAutoIndent(bool value) { FAutoIndent = value; }
    TfsXMLItem* Root() const { return FRoot.get(); }

    /// Clears the root's children; the root's own name and text stay.
    void Clear();
    /// Reads a document. Raises Exception "Invalid file format" for a bad header, a '<' inside a
    /// tag, a tag or an element cut off by the end of the data, or a mismatched closing tag. On
    /// return the stream stands right after the last byte consumed.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const String& fileName);
    void SaveToFile(const String& fileName) const;

private:
    bool FAutoIndent = false;
    std::unique_ptr<TfsXMLItem> FRoot;
};

/// Reads one document from a stream through a 4096-byte block.
class TfsXMLReader {
public:
    explicit TfsXMLReader(TStream& stream);
    /// Leaves the stream right after the last byte the reader consumed.
    ~TfsXMLReader();
    TfsXMLReader(const TfsXMLReader&) = delete;
    TfsXMLReader& operator=(const TfsXMLReader&) = delete;

    void ReadHeader();
    void ReadRootItem(TfsXMLItem& item);
    [[noreturn]] void RaiseException() const;

    std::int64_t Position() const { return FPosition; }
    void SetPosition(std::int64_t value);
    std::int64_t Size() const { return FSize; }

private:
    // Reads one tag into name and text; sets FAtEnd when the data ended outside a tag.
    void ReadItem(String& name, String& text);
    // Reads one item and its children; false when the tag read ends the parent's children.
    bool ReadItemTree(TfsXMLItem& item, int depth);
    int NextByte();

    std::vector<std::uint8_t> FBuffer;
    size_t FBufPos = 0;
    size_t FBufEnd = 0;
    std::int64_t FPosition = 0;
    std::int64_t FSize = 0;
    TStream& FStream;
    String FLastName;
    bool FAtEnd = false;
};

/// Writes one document to a stream.
class TfsXMLWriter {
public:
    explicit TfsXMLWriter(TStream& stream) : FStream(stream) {}
    void SetAutoIndent(bool value) { FAutoIndent = value; }
    void WriteHeader();
    void WriteRootItem(const TfsXMLItem& item);

private:
    void WriteLn(const std::string& line);
    void WriteItem(const TfsXMLItem& item, int depth);
    void Flush();

    bool FAutoIndent = false;
    std::string FBuffer;
    TStream& FStream;
};

} // namespace vgl
