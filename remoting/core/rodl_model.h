#pragma once
// The service-definition model: an in-memory tree of entities rooted in one TRODLLibrary that
// describes a remoting library (services with their interfaces, operations and parameters,
// event sinks, structures, arrays, enumerations, exceptions, groups and used definitions),
// with the editing operations of a definition tool and a validation pass that reports to a
// message sink.
//
// Ownership: a library owns its top-level entities, a complex entity its items, an operation
// its result parameter and code bodies, a use and a library their includes. Group membership
// (an entity filed under a group) and use membership (an entity located in used definitions)
// are links kept on both sides and owned by neither; destroying either side unlinks it.
// Names are identifiers (MakeValidIdentifier); name lookups are ASCII case-insensitive and
// answer the first match. A model is used by one thread at a time.

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/rtl/guid.h"
#include "platform/rtl/object.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/ustring.h"

namespace vgl {

enum TRODLParamFlag { fIn, fOut, fInOut, fResult };
enum TRODLUseSplitMode { usmAsParent, usmNever, usmAlways };
enum TROIncludePlatform { plUnknown, plNative, plDotNet, plObjC, plJava, plJavaScript, plCocoa };

/// True for the flags of parameters that travel in a request (fIn, fInOut).
bool IsInputParamFlag(TRODLParamFlag aFlag);

/// Where new entities take their UIDs from (NewGuid by default; tests make output
/// reproducible). None restores the default.
void SetRODLGuidSource(std::function<TGUID()> aSource);
TGUID NewRODLGuid();

/// `text` trimmed, every character outside 0-9, A-Z, a-z and "_" made "_", and "_" put in
/// front of a leading digit.
String MakeValidIdentifier(StringView text);
/// A text beginning with "$(" NAME ")" has that part replaced by the environment variable
/// NAME (empty when unset); any other text is returned unchanged.
String ExpandRodlPath(StringView text);

/// The simple type names, "Integer" .. "XsDateTime" (0 to 14), and "???" (15).
extern const char16_t* const RODLSimpleTypeNames[16];

/// Message kinds of IROPluginMessages.
constexpr int RODLWarning = 2;
constexpr int RODLError = 3;

class TRODLEntity;

/// The validation message sink.
class IROPluginMessages {
public:
    virtual ~IROPluginMessages() = default;
    virtual void AddMessage(int aKind, const String& anItemPath, TRODLEntity* anEntity, int aPosition,
                            const String& aMessage) = 0;
};

class TRODLGroup;
class TRODLUse;
class TRODLLibrary;
class TRODLComplexEntity;

class TRODLEntity : public TObject {
public:
    /// A new UID from the GUID source.
    TRODLEntity();
    /// Leaves its group and its uses.
    ~TRODLEntity() override;
    TRODLEntity(const TRODLEntity&) = delete;
    TRODLEntity& operator=(const TRODLEntity&) = delete;
    String ClassName() const override { return u"TRODLEntity"; }

    const String& Name() const { return fName; }
    /// Stores MakeValidIdentifier(aName).
    virtual void SetName(const String& aName);
    /// The original name, or Name when none is set.
    String OriginalName() const { return fOriginalName.empty() ? fName : fOriginalName; }
    void SetOriginalName(const String& value) { fOriginalName = value; }
    TRODLEntity* Owner() const { return fOwner; }
    void SetOwner(TRODLEntity* value) { fOwner = value; }
    /// The nearest library up the owner chain; EAssertionFailed outside any library.
    TRODLLibrary* OwnerLibrary() const;
    /// A free user object (not owned).
    TObject* Data = nullptr;

    TRODLGroup* GroupUnder() const { return fGroupUnder; }
    /// Files the entity under a group (none: under no group), updating the group's members.
    void SetGroupUnder(TRODLGroup* aGroup);

    /// The custom attributes as name=value lines (created on first use).
    TStrings& Attributes();
    bool HasAttributes() const { return fAttributes && fAttributes->Count() > 0; }
    /// The value of a custom attribute (ASCII case-insensitive); empty when absent.
    String AttributeValue(const String& aName) const;
    /// Whether a custom attribute of that name (ASCII case-insensitive) exists.
    bool HasAttribute(const String& aName) const;
    const String& Documentation() const { return fDocumentation; }
    void SetDocumentation(const String& value) { fDocumentation = value; }
    const TGUID& UID() const { return fUID; }
    void SetUID(const TGUID& value) { fUID = value; }

    // Use membership.
    int InUseCount() const { return int(fInUse.size()); }
    TRODLUse* InUse(int index) const { return fInUse.at(size_t(index)); }
    bool IsFromUsedRodl() const { return !fInUse.empty(); }
    /// The first use the entity belongs to, or none.
    TRODLUse* LocatedInRodlUse() const { return fInUse.empty() ? nullptr : fInUse.front(); }
    /// Joins the use (both sides; never twice); none does nothing.
    void SetLocatedInRodlUse(TRODLUse* aUse);
    void LeaveUse(TRODLUse* aUse);
    void LeaveAllUses();

    virtual bool GetDontCodegen() const { return fDontCodegen; }
    void SetDontCodegen(bool value) { fDontCodegen = value; }

    /// Copies owner, data, name, custom attributes, DontCodegen, documentation and UID; a
    /// source filed under a group gives this entity a group of its own holding a copy of that
    /// group's data; then this entity leaves its uses and joins the source's.
    virtual void Assign(const TRODLEntity& aSource);
    /// Reports problems of the entity (see the validation table in rodl_model.cpp).
    virtual void Validate(IROPluginMessages& aMessages);

private:
    friend class TRODLGroup;
    friend class TRODLUse;
    TRODLEntity* fOwner = nullptr;
    TRODLGroup* fGroupUnder = nullptr;
    String fName;
    String fOriginalName;
    std::unique_ptr<TStringList> fAttributes;
    String fDocumentation;
    TGUID fUID{};
    std::vector<TRODLUse*> fInUse;
    bool fDontCodegen = false;
    /// A group made by Assign for this entity alone.
    std::unique_ptr<TRODLGroup> fOwnGroup;
};

/// A tag that entities are filed under; knows its members.
class TRODLGroup : public TRODLEntity {
public:
    TRODLGroup() = default;
    /// Members filed under this group are filed under none.
    ~TRODLGroup() override;
    String ClassName() const override { return u"TRODLGroup"; }
    const std::vector<TRODLEntity*>& Members() const { return fMembers; }

private:
    friend class TRODLEntity;
    std::vector<TRODLEntity*> fMembers;
};

/// Include file names per platform.
class TRODLIncludes : public TRODLEntity {
public:
    String ClassName() const override { return u"TRODLIncludes"; }
    /// plUnknown always reads empty and ignores writes.
    String Value(TROIncludePlatform aPlatform) const;
    void SetValue(TROIncludePlatform aPlatform, const String& value);
    bool IsNotEmpty() const;
    void Assign(const TRODLEntity& aSource) override;

private:
    String fValues[7];
};

class TRODLTypedEntity : public TRODLEntity {
public:
    String ClassName() const override { return u"TRODLTypedEntity"; }
    const String& DataType() const { return fDataType; }
    /// Stores MakeValidIdentifier(value).
    void SetDataType(const String& value);
    void Assign(const TRODLEntity& aSource) override;
    void Validate(IROPluginMessages& aMessages) override;

private:
    String fDataType;
};

class TRODLOperationParam : public TRODLTypedEntity {
public:
    String ClassName() const override { return u"TRODLOperationParam"; }
    TRODLParamFlag Flag() const { return fFlag; }
    void SetFlag(TRODLParamFlag value) { fFlag = value; }
    /// "in", "out", "in/out", "result".
    String FlagAsString() const;
    /// Case-insensitive; another text raises EROException "Invalid Parameter Flag "%s"".
    void SetFlagAsString(const String& value);
    void Assign(const TRODLEntity& aSource) override;

private:
    TRODLParamFlag fFlag = fIn;
};

class TRODLArray : public TRODLEntity {
public:
    String ClassName() const override { return u"TRODLArray"; }
    const String& ElementType() const { return fElementType; }
    /// Stored trimmed.
    void SetElementType(const String& value);
    void Assign(const TRODLEntity& aSource) override;
    void Validate(IROPluginMessages& aMessages) override;

private:
    String fElementType;
};

class TRODLEnumValue : public TRODLEntity {
public:
    String ClassName() const override { return u"TRODLEnumValue"; }
};

/// A used definition file and the entities located in it (not owned).
class TRODLUse : public TRODLEntity {
public:
    TRODLUse();
    /// Every entity located in this use leaves it.
    ~TRODLUse() override;
    String ClassName() const override { return u"TRODLUse"; }

    String RodlFile;
    String AbsoluteRodlFile;
    String LoadedRodlLibraryName;
    TGUID LoadedRodlLibraryGUID{};
    TRODLUseSplitMode SplitMode = usmAsParent;
    bool Merged = false;
    bool LibDontCodegen = false;
    TRODLIncludes& Includes() { return *fIncludes; }
    const TRODLIncludes& Includes() const { return *fIncludes; }
    int Count() const { return int(fItems.size()); }
    TRODLEntity* Items(int index) const { return fItems.at(size_t(index)); }
    /// Its own flag or the used library's.
    bool GetDontCodegen() const override { return TRODLEntity::GetDontCodegen() || LibDontCodegen; }
    void Assign(const TRODLEntity& aSource) override;
    void Validate(IROPluginMessages& aMessages) override;

private:
    friend class TRODLEntity;
    std::unique_ptr<TRODLIncludes> fIncludes;
    std::vector<TRODLEntity*> fItems;
};

/// An entity with an ordered, owned list of child entities of one class.
class TRODLComplexEntity : public TRODLEntity {
public:
    ~TRODLComplexEntity() override;
    String ClassName() const override { return u"TRODLComplexEntity"; }

    int Count() const { return int(fItems.size()); }
    /// EROException "Invalid index %d" out of range.
    TRODLEntity* Items(int index) const;
    /// The name of the item class.
    virtual String ItemClassName() const = 0;
    /// Whether the entity is of the item class (or a descendant).
    virtual bool IsItemClass(const TRODLEntity& anEntity) const = 0;

    /// Appends the entity (EROException "Invalid type "%s. Expected "%s"""for another class)
    /// and becomes its owner; answers its index.
    virtual int Add(std::unique_ptr<TRODLEntity> anEntity);
    /// A new item of the item class, appended.
    virtual TRODLEntity* Add();
    virtual void Insert(int index, std::unique_ptr<TRODLEntity> anEntity);
    virtual TRODLEntity* Insert(int index);
    void Exchange(int index1, int index2);
    /// Removes and frees the entity; nothing when it is no item.
    virtual void Remove(TRODLEntity* anEntity);
    virtual void Delete(int index);
    virtual void Clear();
    /// Hands the item over to the caller without freeing it.
    std::unique_ptr<TRODLEntity> Extract(int index);
    int IndexOf(const TRODLEntity* anEntity) const;

    TRODLEntity* ItemByName(StringView aName) const;
    TRODLEntity* ItemByUID(const TGUID& aUID) const;
    /// A direct item, or with aRecurse an item inside any complex item (depth first).
    bool ContainsEntity(const TRODLEntity* anEntity, bool aRecurse) const;
    /// Sorts the items by name (ASCII case-insensitive).
    void Sort();
    /// aBase when no item has that name; else aBase followed by 1, 2, ... until no item's name
    /// equals the candidate exactly.
    String UniqueName(const String& aBase) const;

    bool AutoCreateParams() const { return fAutoCreateParams; }
    void SetAutoCreateParams(bool value) { fAutoCreateParams = value; }
    bool Abstract() const { return fAbstract; }
    void SetAbstract(bool value) { fAbstract = value; }
    void Validate(IROPluginMessages& aMessages) override;

protected:
    virtual std::unique_ptr<TRODLEntity> CreateItem() const = 0;
    /// Called with every new item made by the parameterless Add/Insert.
    virtual void NewItemCreated(TRODLEntity&) {}
    void CheckItemClass(const TRODLEntity& anEntity) const;

private:
    std::vector<std::unique_ptr<TRODLEntity>> fItems;
    bool fAutoCreateParams = true;
    bool fAbstract = false;
};

/// An entity with an ancestor named by text.
class IRODLEntityWithAncestor {
public:
    virtual ~IRODLEntityWithAncestor() = default;
    virtual String GetAncestor() const = 0;
    virtual void SetAncestor(const String& value) = 0;
};

class TRODLBaseStruct : public TRODLComplexEntity, public IRODLEntityWithAncestor {
public:
    String ClassName() const override { return u"TRODLBaseStruct"; }
    String ItemClassName() const override { return u"TRODLTypedEntity"; }
    bool IsItemClass(const TRODLEntity& e) const override { return dynamic_cast<const TRODLTypedEntity*>(&e); }
    TRODLTypedEntity* Items(int index) const {
        return static_cast<TRODLTypedEntity*>(TRODLComplexEntity::Items(index));
    }
    String GetAncestor() const override { return fAncestor; }
    /// Stored trimmed.
    void SetAncestor(const String& value) override;
    /// Whether the ancestor chain (through the owner library) reaches anEntity.
    bool DescendsFrom(const TRODLEntity* anEntity) const;
    /// (name, element) pairs: own elements last to first, then the ancestors' (with
    /// aIncludeAncestors); sorted and without repeated names with aIgnoreDuplicates. Raises
    /// EROCircularReference for a circular ancestry.
    std::unique_ptr<TStringList> CalcItems(bool aIncludeAncestors, bool aIgnoreDuplicates) const;
    /// CalcItems(aIncludeAncestors, true) sorted by name (ordinal, ASCII case-insensitive).
    std::unique_ptr<TStringList> CalcItemsMarshalingOrder(bool aIncludeAncestors) const;
    /// Also appends a copy of each source element.
    void Assign(const TRODLEntity& aSource) override;
    void Validate(IROPluginMessages& aMessages) override;

protected:
    std::unique_ptr<TRODLEntity> CreateItem() const override { return std::make_unique<TRODLTypedEntity>(); }
    void NewItemCreated(TRODLEntity& e) override;

private:
    String fAncestor;
};

class TRODLStruct : public TRODLBaseStruct {
public:
    String ClassName() const override { return u"TRODLStruct"; }
};

class TRODLException : public TRODLBaseStruct {
public:
    String ClassName() const override { return u"TRODLException"; }
};

class TRODLEnum : public TRODLComplexEntity {
public:
    String ClassName() const override { return u"TRODLEnum"; }
    String ItemClassName() const override { return u"TRODLEnumValue"; }
    bool IsItemClass(const TRODLEntity& e) const override { return dynamic_cast<const TRODLEnumValue*>(&e); }
    TRODLEnumValue* Items(int index) const { return static_cast<TRODLEnumValue*>(TRODLComplexEntity::Items(index)); }
    bool PrefixEnumValues() const { return fPrefixEnumValues; }
    void SetPrefixEnumValues(bool value) { fPrefixEnumValues = value; }
    void Validate(IROPluginMessages& aMessages) override;

protected:
    std::unique_ptr<TRODLEntity> CreateItem() const override { return std::make_unique<TRODLEnumValue>(); }
    void NewItemCreated(TRODLEntity& e) override;

private:
    bool fPrefixEnumValues = true;
};

class TRODLOperation : public TRODLComplexEntity {
public:
    ~TRODLOperation() override;
    String ClassName() const override { return u"TRODLOperation"; }
    String ItemClassName() const override { return u"TRODLOperationParam"; }
    bool IsItemClass(const TRODLEntity& e) const override { return dynamic_cast<const TRODLOperationParam*>(&e); }
    TRODLOperationParam* Items(int index) const {
        return static_cast<TRODLOperationParam*>(TRODLComplexEntity::Items(index));
    }
    /// Refuses a parameter with flag fResult: "Cannot add Result parameter to collection. Use
    /// AddResult instead".
    int Add(std::unique_ptr<TRODLEntity> anEntity) override;
    TRODLEntity* Add() override { return TRODLComplexEntity::Add(); }
    void Insert(int index, std::unique_ptr<TRODLEntity> anEntity) override;
    TRODLEntity* Insert(int index) override { return TRODLComplexEntity::Insert(index); }
    /// The result parameter, or none.
    TRODLOperationParam* Result() const { return fOperationResult.get(); }
    /// Creates the parameter "Result" (flag fResult) on first call and answers it.
    TRODLOperationParam* AddResult();
    void RemoveResult();
    /// EROUnknownItem "Cannot find parameter %s" when absent.
    TRODLOperationParam* GetParameter(StringView aName) const;

    /// The language's lines (ASCII case-insensitive), or none.
    const TStrings* GetCodeBody(StringView aLanguage) const;
    /// Sets (or with none, removes) the lines of a language, filed under its lower-cased name.
    void SetCodeBody(const String& aLanguage, const TStrings* aLines);
    void SetCodeBodyAsString(const String& aLanguage, const String* aText);
    int CodeBodyCount() const { return int(fCodeBodies.size()); }
    /// The languages in sorted order.
    String CodeBodyLanguages(int index) const;

    bool ForceAsyncResponse = false;
    std::vector<String> Roles;

    void Validate(IROPluginMessages& aMessages) override;

protected:
    std::unique_ptr<TRODLEntity> CreateItem() const override { return std::make_unique<TRODLOperationParam>(); }
    void NewItemCreated(TRODLEntity& e) override;

private:
    std::unique_ptr<TRODLOperationParam> fOperationResult;
    std::map<String, std::unique_ptr<TStringList>> fCodeBodies;
};

class TRODLBaseService;

class TRODLServiceInterface : public TRODLComplexEntity {
public:
    String ClassName() const override { return u"TRODLServiceInterface"; }
    String ItemClassName() const override { return u"TRODLOperation"; }
    bool IsItemClass(const TRODLEntity& e) const override { return dynamic_cast<const TRODLOperation*>(&e); }
    TRODLOperation* Items(int index) const { return static_cast<TRODLOperation*>(TRODLComplexEntity::Items(index)); }
    /// The own operation of that name; else with aIncludeAncestors the default interfaces of
    /// the owner service's ancestors (a missing ancestor raises). None when not found.
    TRODLOperation* FindOperation(StringView aName, bool aIncludeAncestors = true) const;
    /// EROUnknownItem "Cannot find operation %s" when absent.
    TRODLOperation* GetOperation(StringView aName) const;
    /// The own operations, then those of each ancestor service's default interface.
    void GetOperationsList(std::vector<TRODLOperation*>& aList) const;
    std::unique_ptr<TStringList> CalcItems(bool aIncludeAncestors, bool aIgnoreDuplicates) const;

protected:
    std::unique_ptr<TRODLEntity> CreateItem() const override { return std::make_unique<TRODLOperation>(); }
    void NewItemCreated(TRODLEntity& e) override;
};

class TRODLBaseService : public TRODLComplexEntity, public IRODLEntityWithAncestor {
public:
    /// Not private, with one interface "Default" that has a new UID.
    TRODLBaseService();
    String ClassName() const override { return u"TRODLBaseService"; }
    String ItemClassName() const override { return u"TRODLServiceInterface"; }
    bool IsItemClass(const TRODLEntity& e) const override { return dynamic_cast<const TRODLServiceInterface*>(&e); }
    TRODLServiceInterface* Items(int index) const {
        return static_cast<TRODLServiceInterface*>(TRODLComplexEntity::Items(index));
    }
    /// The only interface, else the first named "Default", else none.
    TRODLServiceInterface* Default() const;
    String GetAncestor() const override { return fAncestor; }
    void SetAncestor(const String& value) override;
    /// Whether the ancestor chain (services of the owner library) reaches anEntity.
    bool DescendsFrom(const TRODLEntity* anEntity) const;
    /// The ancestor service of the owner library; none for no ancestor name; EROUnknownItem
    /// "Cannot find service %s" for a name that names none.
    TRODLBaseService* AncestorService() const;

    String ImplClass;
    String ImplUnit;
    bool isPrivate = false;

    void Validate(IROPluginMessages& aMessages) override;

protected:
    std::unique_ptr<TRODLEntity> CreateItem() const override { return std::make_unique<TRODLServiceInterface>(); }

private:
    String fAncestor;
};

class TRODLService : public TRODLBaseService {
public:
    String ClassName() const override { return u"TRODLService"; }
    std::vector<String> Roles;
};

class TRODLEventSink : public TRODLBaseService {
public:
    String ClassName() const override { return u"TRODLEventSink"; }
};

class TRODLLibrary : public TRODLComplexEntity {
public:
    /// Named "NewLibrary", with a new UID.
    TRODLLibrary();
    String ClassName() const override { return u"TRODLLibrary"; }
    String ItemClassName() const override { return u"TRODLEntity"; }
    bool IsItemClass(const TRODLEntity&) const override { return true; }

    /// Counts the entity's kind, then appends it.
    int Add(std::unique_ptr<TRODLEntity> anEntity) override;
    TRODLEntity* Add() override { return TRODLComplexEntity::Add(); }
    void Insert(int index, std::unique_ptr<TRODLEntity> anEntity) override;
    TRODLEntity* Insert(int index) override { return TRODLComplexEntity::Insert(index); }
    /// A removed group's members are filed under the group's own group; a removed use first
    /// takes along (last to first) the entities located only in it.
    void Remove(TRODLEntity* anEntity) override;
    void Delete(int index) override;
    /// Frees all entities, zeroes the counters, empties namespace, file name and includes.
    void Clear() override;

    /// Typed helpers that make, add and answer an entity.
    template <class T> T* AddNew() {
        auto made = std::make_unique<T>();
        T* raw = made.get();
        Add(std::move(made));
        return raw;
    }

    int ArrayCount() const { return fCounts[0]; }
    int EnumCount() const { return fCounts[1]; }
    int StructCount() const { return fCounts[2]; }
    int ServiceCount() const { return fCounts[3]; }
    int UseCount() const { return fCounts[4]; }
    int ExceptionCount() const { return fCounts[5]; }
    int EventSinkCount() const { return fCounts[6]; }
    int GroupCount() const { return fCounts[7]; }
    /// The i-th entity of the kind in library order; EROException "Invalid index %d" outside.
    TRODLArray* Arrays(int index) const;
    TRODLEnum* Enums(int index) const;
    TRODLStruct* Structs(int index) const;
    TRODLService* Services(int index) const;
    TRODLUse* Use(int index) const;
    TRODLException* Exceptions(int index) const;
    TRODLEventSink* EventSinks(int index) const;
    TRODLGroup* Groups(int index) const;

    TRODLStruct* FindStruct(StringView aName) const;
    TRODLEnum* FindEnum(StringView aName) const;
    TRODLArray* FindArray(StringView aName) const;
    TRODLService* FindService(StringView aName) const;
    TRODLException* FindException(StringView aName) const;
    TRODLEventSink* FindEventSink(StringView aName) const;
    TRODLUse* FindUse(StringView aName) const;
    /// Structures and exceptions.
    TRODLBaseStruct* FindBaseStruct(StringView aName) const;
    /// Services and event sinks.
    TRODLBaseService* FindBaseService(StringView aName) const;
    TRODLGroup* FindGroup(const TGUID& aUID) const;
    TRODLUse* FindUseByUsedRodlID(const TGUID& aUID) const;
    TRODLUse* FindUseByFilename(StringView aName) const;
    /// EROUnknownItem "Cannot find service %s" / "Cannot find struct %s".
    TRODLService* GetService(StringView aName) const;
    TRODLStruct* GetStruct(StringView aName) const;

    static bool IsValidSimpleType(StringView aName);
    bool IsValidCustomType(StringView aName) const;
    bool IsValidType(StringView aName) const;
    bool IsValidService(StringView aName) const;
    bool IsValidEventSink(StringView aName) const;
    bool IsValidException(StringView aName) const;
    /// Every array whose element type equals aName.
    std::vector<TRODLArray*> GetArraysByElement(StringView aName) const;

    /// Entities of the kind neither from a used definition nor DontCodegen, in ancestry order
    /// (an ancestor before its descendants). EROException "Invalid or recursive inheritance
    /// for the following entities: %s" when the ancestry is circular.
    std::vector<TRODLBaseService*> CalcServiceOrder() const;
    std::vector<TRODLBaseService*> CalcEventSinkOrder() const;
    std::vector<TRODLBaseStruct*> CalcStructOrder() const;
    std::vector<TRODLBaseStruct*> CalcExceptionOrder() const;
    /// The same selection sorted by name.
    std::vector<TRODLArray*> CalcArrayOrder() const;
    std::vector<TRODLEnum*> CalcEnumOrder() const;

    /// Whether a new name is free: not empty, no entity, simple type, enumeration value
    /// (unless ScopedEnums) or referenced type name.
    bool CheckForUsableName(StringView aName) const;
    /// Renames the entity and every reference to its old name. Raises EROException "anEntity
    /// must be assigned" for none and "%s item cannot be renamed to %s." for an entity from a
    /// used definition or a refused name.
    void Rename(TRODLEntity* anEntity, const String& aNewName);
    /// Removes the structures, arrays and enumerations that no service needs.
    void RemoveUnusedItems();
    /// Removes every entity whose UID occurs again later (uses and the null UID aside).
    void ClearDuplicates();
    /// Loads a used definition file as a new use (nothing when a use already names the file);
    /// own structures, enumerations and arrays of the same names are removed with a warning.
    void UseRODL(const String& aFileName, IROPluginMessages* aMessages);

    String RodlFilename;
    String Namespace;
    bool DataSnapMode = false;
    bool ScopedEnums = false;
    /// The library's includes, or none.
    TRODLIncludes* Includes() const { return fIncludes.get(); }
    void SetIncludes(std::unique_ptr<TRODLIncludes> value) { fIncludes = std::move(value); }
    TRODLIncludes& EnsureIncludes();

protected:
    std::unique_ptr<TRODLEntity> CreateItem() const override { return std::make_unique<TRODLEntity>(); }

private:
    /// The counter index of an entity's kind, or -1.
    static int KindOf(const TRODLEntity& anEntity);
    TRODLEntity* NthOfKind(int kind, int index) const;
    template <class T> T* FindOfKind(int kind, StringView aName) const;
    void RemoveEntity(TRODLEntity* anEntity);
    int fCounts[8] = {};
    std::unique_ptr<TRODLIncludes> fIncludes;
};

/// The validation message sink that a caller can inspect: one line per message,
/// "kind|path|text".
class TRODLMessageList : public IROPluginMessages {
public:
    void AddMessage(int aKind, const String& anItemPath, TRODLEntity* anEntity, int aPosition,
                    const String& aMessage) override;
    std::vector<String> Lines;
};

} // namespace vgl
