#pragma once
// TfrxXMLSerializer: object trees to and from the report engine's XML items, through the
// reflection layer. A component becomes one item (its class name, its attribute text, its child
// objects as child items); sub-objects become dotted attribute names ("Font.Style"), string lists
// a dotted "Text" attribute, define-properties data one hex attribute "PropData" in the
// project's property-value encoding, and references to other components their names, resolved
// once the whole tree is read.

#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/rtl/component.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"

namespace vgl {

class TCollection;
class TReader;
class TWriter;
class TfrxXMLItem;
class TfrxXMLSerializer;

/// What the serializer needs of a report component beyond TComponent. The report's component
/// base implements it; every operation has a neutral default except the flags and the child list.
class IfrxSerializableComponent {
public:
    virtual ~IfrxSerializableComponent() = default;

    virtual bool IsLoading() const = 0;
    virtual void SetIsLoading(bool value) = 0;
    virtual bool IsWriting() const = 0;
    virtual void SetIsWriting(bool value) = 0;
    /// The component belongs to an ancestor report (an inherited object).
    virtual bool IsAncestor() const { return false; }
    /// The parent in the report tree; SetParent(none) detaches, SetParent(p) attaches the
    /// component as p's last child.
    virtual TComponent* GetParentComponent() const = 0;
    virtual void SetParentComponent(TComponent* parent) = 0;
    /// The child objects, in order.
    virtual int ObjectCount() const = 0;
    virtual TComponent* ObjectAt(int index) const = 0;
    /// csHandlesNestedProperties: the component writes and reads child items of its own.
    virtual bool HandlesNestedProperties() const { return false; }
    virtual void WriteNestedProperties(TfrxXMLItem& item, TPersistent* ancestor);
    /// True when the component consumed the child item.
    virtual bool ReadNestedProperty(TfrxXMLItem& item);
    /// The object of that name in the component's tree, or none.
    virtual TComponent* FindObject(StringView name) const;
    /// The report the component belongs to, or none.
    virtual TComponent* Report() const { return nullptr; }
    /// The component is a report (no loaded notification after reading; its Name is not read).
    virtual bool IsReport() const { return false; }
    /// A report's own serializer while the report is being read; none otherwise.
    virtual TfrxXMLSerializer* XMLSerializer() const { return nullptr; }
    /// A text view: its text travels as the attribute "Text" (short forms "x" and "u").
    virtual bool IsMemoView() const { return false; }
    virtual String GetMemoText() const { return {}; }
    virtual void SetMemoText(const String& text);
};

/// One attribute as ObjToXML writes it, kept as a value instead of text: a copy whose items are
/// read back by objects of the writing classes needs neither the text nor its parsing.
struct TfrxWrittenAttribute {
    enum TForm : unsigned char {
        afEscaped, ///< Value is the attribute text
        afText,    ///< Value is the text before escaping (it holds no NUL and no '&')
        afOrdinal, ///< the number in Ordinal
        /// The enumeration value in Ordinal, of a type whose names read back as their values; its
        /// text is the value's name.
        afEnumeration,
        /// The number in Float; FloatRead is its text read back (what the reader would assign).
        afFloat,
    };
    /// The property written and the class whose property it is; none for an attribute that is
    /// read by its name (PropData, Text, one-letter names, lists).
    const PropInfo* Prop = nullptr;
    TClass Class = nullptr;
    /// Index in TfrxItemAttributes::Paths of the sub-objects leading to the property; -1 for a
    /// property of the item's object itself.
    int Path = -1;
    TForm Form = afEscaped;
    std::int64_t Ordinal = 0;
    long double Float = 0;
    long double FloatRead = 0;
    /// The full attribute name of an attribute without Prop (the others make it from the path
    /// and the property: see TfrxItemAttributes::NameOf).
    String Name;
    String Value;

    /// The attribute text (escaped) that ObjToXML writes for it.
    String Text() const;
};

/// One step from an object to one of its sub-objects: the object's class and its property.
struct TfrxAttributeStep {
    TClass Class = nullptr;
    const PropInfo* Prop = nullptr;
};

/// The sub-objects from an item's object to one of its sub-objects, and the attribute name
/// prefix they make ("Frame.LeftLine.").
struct TfrxAttributePath {
    std::vector<TfrxAttributeStep> Steps;
    String Prefix;
};

/// The attributes of one item, in writing order.
struct TfrxItemAttributes {
    std::vector<TfrxWrittenAttribute> Attributes;
    std::vector<TfrxAttributePath> Paths;

    /// The full attribute name of `a` ("Font.Name").
    String NameOf(const TfrxWrittenAttribute& a) const;
    /// The attribute text ObjToXML writes for them: each attribute preceded by one blank.
    String Text() const;
};

/// One component as WriteComponentStr writes it, its attributes kept as values where they read
/// back as their text would (WriteComponentRecord): an object kept to be read back many times
/// needs neither the text nor its parsing.
struct TfrxWrittenComponent {
    String ClassName;
    /// The attributes as values, in writing order; unused when Text is set.
    TfrxItemAttributes Attributes;
    /// The attribute text, for a component whose attributes could not be told apart as values.
    std::optional<String> Text;

    /// WriteComponentStr's text of the component.
    String Str() const;
};

/// The attributes of the items one WriteRootComponent made, for ReadRootComponent of the same
/// items (a copy of a component tree). An item listed here carries in its own text only what
/// WriteItem puts before the attributes (the name); its attributes are read from here after the
/// text, exactly as if they followed it.
class TfrxAttributeStore {
public:
    /// The attributes of `item`, or none when it has no entry.
    const TfrxItemAttributes* Find(const TfrxXMLItem* item) const;
    /// A new, empty entry for `item`.
    TfrxItemAttributes& Add(const TfrxXMLItem* item);
    /// Drops the entry of `item`.
    void Remove(const TfrxXMLItem* item) { FItems.erase(item); }
    /// Applies `transform` to every value kept as text (escaped or not).
    void TransformTexts(const std::function<void(String&)>& transform);
    int Count() const { return int(FItems.size()); }

private:
    std::unordered_map<const TfrxXMLItem*, TfrxItemAttributes> FItems;
};

/// A reference read by name, waiting for the whole tree.
struct TfrxFixupItem {
    TPersistent* Obj = nullptr;
    const vgl::PropInfo* PropInfo = nullptr;
    String Value;
};

class TfrxXMLSerializer : public TObject {
public:
    /// Supplies the ancestor of a component by name (none: no ancestor).
    using TGetAncestorEvent = std::function<void(const String& componentName, TPersistent*& ancestor)>;
    using TCustomDataEvent = std::function<void(TfrxXMLItem& item)>;

    /// `stream` (may be none) is where WriteRootComponent, ReadRootComponent, WriteComponent and
    /// ReadComponent write and read when they are given no item.
    explicit TfrxXMLSerializer(TStream* stream = nullptr);
    ~TfrxXMLSerializer() override;
    TfrxXMLSerializer(const TfrxXMLSerializer&) = delete;
    TfrxXMLSerializer& operator=(const TfrxXMLSerializer&) = delete;
    String ClassName() const override { return u"TfrxXMLSerializer"; }

    /// Writes `root` and, with `saveChildren`, its descendants into `xmlItem`; without an item,
    /// into a new indented document that is then saved to Stream.
    void WriteRootComponent(TComponent* root, bool saveChildren = true, TfrxXMLItem* xmlItem = nullptr);
    /// Reads the tree of `xmlItem` (or of a document loaded from Stream) into `root`: existing
    /// objects of the same name are updated, others created. Problems go to Errors; a document that
    /// cannot be loaded raises.
    void ReadRootComponent(TComponent* root, TfrxXMLItem* xmlItem = nullptr);

    /// The attribute text of the object's properties, each attribute preceded by one blank and
    /// its name by `add`; with an ancestor only what differs from it.
    String ObjToXML(TPersistent* obj, const String& add = {}, TPersistent* ancestor = nullptr);
    /// Assigns the attributes of the attribute text `s` to `obj`. Every attribute that cannot be
    /// assigned adds its message to Errors; component references are collected for later
    /// resolution.
    void XMLToObj(const String& s, TPersistent& obj);

    /// The class name immediately followed by ObjToXML (one object as text, for copy and paste).
    String WriteComponentStr(TComponent* c, TPersistent* ancestor = nullptr);
    /// Makes an object from WriteComponentStr's text, owned by `root`, and resolves its references
    /// (with `dontFixup` they are dropped). None for a blank text; EClassNotFound for a class
    /// that is not registered.
    TComponent* ReadComponentStr(TComponent* root, const String& s, bool dontFixup = false);
    /// WriteComponentStr with the attributes kept as values (see TfrxWrittenComponent).
    TfrxWrittenComponent WriteComponentRecord(TComponent* c);
    /// ReadComponentStr of `written`'s text followed by a blank and the attribute text `more`,
    /// without making or parsing that text when the attributes are kept as values.
    TComponent* ReadComponentRecord(TComponent* root, const TfrxWrittenComponent& written, const String& more);
    /// Writes "<" + WriteComponentStr + "/>" to Stream.
    void WriteComponent(TComponent* c, TPersistent* ancestor = nullptr);
    /// Reads one element from Stream with ReadComponentStr.
    TComponent* ReadComponent(TComponent* root);
    /// XMLToObj into `obj`, references looked up from `root` and resolved at once.
    void ReadPersistentStr(TComponent* root, TPersistent& obj, const String& s);
    /// Appends copies of the pending references to `fixList` (nothing for none).
    void CopyFixupList(std::vector<TfrxFixupItem>* fixList) const;
    /// Adds a line to Errors (each distinct message is kept once).
    void AddError(const String& message);

    /// Every distinct error met while reading, sorted.
    const TStringList& Errors() const { return FErrors; }
    const std::vector<TfrxFixupItem>& Fixups() const { return FFixups; }
    TComponent* Owner() const { return FOwner; }
    void SetOwner(TComponent* owner) { FOwner = owner; }
    TStream* Stream() const { return FStream; }
    /// Receives the define-properties data of "PropData" for replay.
    TMemoryStream& ReaderStream() { return FReaderStream; }

    bool SerializeDefaultValues = false;
    /// The attribute text being read was ANSI (old documents); set by ReadRootComponent.
    bool OldFormat = false;
    bool HandleNestedProperties = false;
    bool SaveAncestorOnly = false;
    bool IgnoreName = false;
    TGetAncestorEvent OnGetAncestor;
    TCustomDataEvent OnGetCustomDataEvent;
    TCustomDataEvent OnSaveCustomDataEvent;

    /// When set, WriteRootComponent keeps the attributes of the items it writes here instead of
    /// in their text, and ReadRootComponent reads the attributes of the items listed here from it.
    /// An item whose attributes could not be told apart in text form gets its text as usual.
    TfrxAttributeStore* Attributes = nullptr;

    /// Deepest sub-object nesting written (guards against objects that contain themselves).
    static constexpr int MaxSubObjectDepth = 32;

private:
    /// ObjToXML appending to `result`; with `record`, the attributes go there instead, the
    /// sub-objects leading to `obj` being record->Paths[path].
    void ObjToXMLAt(TPersistent* obj, const String& add, TPersistent* ancestor, int depth, String& result,
                    TfrxItemAttributes* record = nullptr, int path = -1);
    void AssignAttribute(TObject* obj, StringView name, StringView value);
    /// AssignAttribute from `target`, reached from the object by the part of `fullName` before
    /// `name`.
    void AssignAttributeFrom(TObject* target, StringView fullName, StringView name, StringView value);
    void AssignProperty(TObject& obj, StringView name, StringView value);
    void AssignPropertyValue(TObject& obj, const PropInfo& prop, StringView value);
    void ApplyAttributes(const TfrxItemAttributes& attributes, TPersistent& obj);
    void ApplyAttribute(const TfrxItemAttributes& attributes, const TfrxWrittenAttribute& attribute, TPersistent& obj);
    void ReplayPropData(TPersistent& obj, StringView hex);
    void WriteItem(TComponent* c, TfrxXMLItem& item, bool isRoot, bool saveChildren);
    /// Makes an object of the class named `className` owned by `root`, lets `read` assign its
    /// attributes while it is loading, then resolves (or drops) its references and tells it Loaded.
    TComponent* ReadComponentAs(TComponent* root, const String& className, bool dontFixup,
                                const std::function<void(TComponent&)>& read);
    void ReadItem(TfrxXMLItem& item, TComponent* root, TComponent* parent);
    TComponent* FindReference(const String& name) const;
    void ResolveFixups();
    void DropFixups();
    void FinishLoading();

    TStream* FStream;
    TComponent* FOwner = nullptr;
    /// Where ReadComponentStr and ReadPersistentStr look references up when Owner is none.
    TComponent* FReaderRoot = nullptr;
    TStringList FErrors;
    std::vector<TfrxFixupItem> FFixups;
    /// References read through PropData, resolved with the others.
    std::vector<TfrxFixupItem> FReaderFixups;
    TMemoryStream FReaderStream;
    /// Objects read in this pass, told Loaded at its end (in reading order; the set finds them).
    std::vector<TComponent*> FLoaded;
    std::unordered_set<TComponent*> FLoadedSet;
};

/// The serializer-side view of a report component (none for other objects).
IfrxSerializableComponent* AsSerializable(TObject* obj);

// ---- Collections in define-properties data and in XML items --------------------------------
// They take the report of `component` as owner and use the report's own serializer while it is
// being read, else a temporary one.

/// While the component IsWriting: a list of one-string lists, each the ObjToXML text of one item;
/// otherwise the standard collection form.
void WriteCollectionAsXML(const TCollection& collection, TWriter& writer, TComponent* component);
/// Reads either form back. After the standard form, in every string property of every item
/// the pair U+0001 c becomes the character c + 128.
void ReadCollectionFromReader(TCollection& collection, TReader& reader, TComponent* component);
/// Adds a child `name` to `parent` and under it one child "item" per entry; entries of report
/// collections carry InheritedName (with an ancestor) and uin (when they store their index).
void SaveCollectionToXML(TCollection& collection, const String& name, TfrxXMLItem& parent, TCollection* ancestor,
                         TComponent* component);
/// Reads the entries of `item` back into the collection.
void LoadCollectionFromXML(TCollection& collection, TfrxXMLItem& item, TComponent* component);

} // namespace vgl
