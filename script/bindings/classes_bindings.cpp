#include "script/bindings/classes_bindings.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <shared_mutex>

#include "platform/rtl/collection.h"
#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/list.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "script/engine/script_xml.h"

namespace vgl::fs_classes {

namespace {

TClass Cls(const ClassInfo& info) {
    return &info;
}

// The stream origin of the script's soFromBeginning, soFromCurrent and soFromEnd.
TSeekOrigin Origin(const Variant& v) {
    switch (v.AsInteger()) {
    case 0:
        return soBeginning;
    case 1:
        return soCurrent;
    case 2:
        return soEnd;
    default:
        throw EStreamError(u"Invalid stream origin %d", {v.AsInteger()});
    }
}

// Stream copies go through a buffer of at most this many bytes.
constexpr std::int64_t CopyBufferSize = 1048576;

// The item a script hands to AddItem or InsertItem of `parent`, which takes it over: one the
// script made (its module lets go of it) or one inside another item (it moves). A root that a
// document or the host holds cannot move, and neither can `parent` itself or one of its ancestors,
// which would make the tree a cycle.
TfsXMLItem& MovableItem(TfsScript* script, TfsXMLItem& parent, const Variant& value) {
    TfsXMLItem& item = fsArgRef<TfsXMLItem>(value);
    for (const TfsXMLItem* p = &parent; p; p = p->Parent()) {
        if (p == &item)
            throw EInvalidOperation(u"An XML item cannot be put inside itself or its own children");
    }
    if (!item.Parent() && !fsModuleKeeping(script, &item))
        throw EInvalidOperation(u"This XML item belongs to its document and cannot be moved");
    return item;
}

// Hands `item` over to its new parent: a module that kept it keeps it no longer.
void ItemMoved(TfsScript* script, TfsXMLItem& item) {
    if (TfsBindingModule* module = fsModuleKeeping(script, &item))
        module->Disown(&item);
}

} // namespace

TFunctions::TFunctions(TfsScript* script) : TfsBindingModule(script) {
    TfsScript& s = *script;
    auto method = [this](TObject* i, TClass c, const String& n, TfsMethodHelper* h) {
        return MethodHandler(i, c, n, h);
    };
    auto getter = [this](TObject* i, TClass c, const String& n) { return PropertyGetter(i, c, n); };
    auto setter = [this](TObject* i, TClass c, const String& n, const Variant& v) { PropertySetter(i, c, n, v); };
    auto ctor = [this](const String& on) {
        return [this, on](TObject*, TClass c, const String&, TfsMethodHelper* h) { return Construct(c, on, h); };
    };

    s.AddConst(u"fmCreate", u"Integer", 65280);
    s.AddConst(u"fmOpenRead", u"Integer", 0);
    s.AddConst(u"fmOpenWrite", u"Integer", 1);
    s.AddConst(u"fmOpenReadWrite", u"Integer", 2);
    s.AddConst(u"fmShareExclusive", u"Integer", 16);
    s.AddConst(u"fmShareDenyWrite", u"Integer", 32);
    s.AddConst(u"fmShareDenyNone", u"Integer", 64);
    s.AddConst(u"soFromBeginning", u"Integer", 0);
    s.AddConst(u"soFromCurrent", u"Integer", 1);
    s.AddConst(u"soFromEnd", u"Integer", 2);
    s.AddEnum(u"TDuplicates", u"dupIgnore, dupAccept, dupError");
    s.AddEnum(u"TPrinterOrientation", u"poPortrait, poLandscape");

    if (auto* c = s.AddClass(Cls(TObject::StaticClassInfo()), String())) {
        c->AddConstructor(u"constructor Create", ctor(u"TObject"));
        c->AddMethod(u"procedure Free", method);
        c->AddMethod(u"function ClassName: String", method);
    }
    if (auto* c = s.AddClass(Cls(TPersistent::StaticClassInfo()), u"TObject"))
        c->AddMethod(u"procedure Assign(Source: TPersistent)", method);
    s.AddClass(Cls(TCollectionItem::StaticClassInfo()), u"TPersistent");
    if (auto* c = s.AddClass(Cls(TCollection::StaticClassInfo()), u"TPersistent")) {
        c->AddMethod(u"procedure Clear", method);
        c->AddProperty(u"Count", u"Integer", getter);
        c->AddDefaultProperty(u"Items", u"Integer", u"TCollectionItem", method, true);
    }
    if (auto* c = s.AddClass(Cls(TList::StaticClassInfo()), u"TObject")) {
        c->AddMethod(u"function Add(Item: TObject): Integer", method);
        c->AddMethod(u"procedure Clear", method);
        c->AddMethod(u"procedure Delete(Index: Integer)", method);
        c->AddMethod(u"function IndexOf(Item: TObject): Integer", method);
        c->AddMethod(u"procedure Insert(Index: Integer; Item: TObject)", method);
        c->AddMethod(u"function Remove(Item: TObject): Integer", method);
        c->AddProperty(u"Count", u"Integer", getter);
        c->AddDefaultProperty(u"Items", u"Integer", u"TObject", method);
    }
    if (auto* c = s.AddClass(Cls(TStrings::StaticClassInfo()), u"TPersistent")) {
        c->AddConstructor(u"constructor Create", ctor(u"TStrings"));
        c->AddMethod(u"function Add(const S: string): Integer", method);
        c->AddMethod(u"function AddObject(const S: string; AObject: TObject): Integer", method);
        c->AddMethod(u"procedure Clear", method);
        c->AddMethod(u"procedure Delete(Index: Integer)", method);
        c->AddMethod(u"function IndexOf(const S: string): Integer", method);
        c->AddMethod(u"function IndexOfName(const Name: string): Integer", method);
        c->AddMethod(u"function IndexOfObject(AObject: TObject): Integer", method);
        c->AddMethod(u"procedure Insert(Index: Integer; const S: string)", method);
        c->AddMethod(u"procedure InsertObject(Index: Integer; const S: string; AObject: TObject)", method);
        c->AddMethod(u"procedure LoadFromFile(const FileName: string)", method);
        c->AddMethod(u"procedure LoadFromStream(Stream: TStream)", method);
        c->AddMethod(u"procedure SaveToFile(const FileName: string)", method);
        c->AddMethod(u"procedure Move(CurIndex, NewIndex: Integer)", method);
        c->AddMethod(u"procedure SaveToStream(Stream: TStream)", method);
        c->AddProperty(u"CommaText", u"string", getter, setter);
        c->AddProperty(u"Count", u"Integer", getter);
        c->AddIndexProperty(u"Names", u"Integer", u"string", method, true);
        c->AddIndexProperty(u"Objects", u"Integer", u"TObject", method);
        c->AddIndexProperty(u"Values", u"String", u"string", method);
        c->AddDefaultProperty(u"Strings", u"Integer", u"string", method);
        c->AddProperty(u"Text", u"string", getter, setter);
    }
    if (auto* c = s.AddClass(Cls(TStringList::StaticClassInfo()), u"TStrings")) {
        c->AddMethod(u"function Find(s: String; var Index: Integer): Boolean", method);
        c->AddMethod(u"procedure Sort", method);
        c->AddProperty(u"Duplicates", u"TDuplicates", getter, setter);
        c->AddProperty(u"Sorted", u"Boolean", getter, setter);
    }
    if (auto* c = s.AddClass(Cls(TStream::StaticClassInfo()), u"TObject")) {
        c->AddMethod(u"function Read(var Buffer: string; Count: Longint): Longint", method);
        c->AddMethod(u"function Write(Buffer: string; Count: Longint): Longint", method);
        c->AddMethod(u"function Seek(Offset: Longint; Origin: Word): Longint", method);
        c->AddMethod(u"function CopyFrom(Source: TStream; Count: Longint): Longint", method);
        c->AddProperty(u"Position", u"Longint", getter, setter);
        c->AddProperty(u"Size", u"Longint", getter);
    }
    if (auto* c = s.AddClass(Cls(TFileStream::StaticClassInfo()), u"TStream"))
        c->AddConstructor(u"constructor Create(Filename: String; Mode: Word)", ctor(u"TFileStream"));
    if (auto* c = s.AddClass(Cls(TMemoryStream::StaticClassInfo()), u"TStream")) {
        c->AddMethod(u"procedure Clear", method);
        c->AddMethod(u"procedure LoadFromStream(Stream: TStream)", method);
        c->AddMethod(u"procedure LoadFromFile(Filename: String)", method);
        c->AddMethod(u"procedure SaveToStream(Stream: TStream)", method);
        c->AddMethod(u"procedure SaveToFile(Filename: String)", method);
    }
    if (auto* c = s.AddClass(Cls(TComponent::StaticClassInfo()), u"TPersistent")) {
        c->AddConstructor(u"constructor Create(AOwner: TComponent)", ctor(u"TComponent"));
        c->AddProperty(u"Owner", u"TComponent", getter);
    }
    if (auto* c = s.AddClass(Cls(TfsXMLItem::StaticClassInfo()), u"TObject")) {
        c->AddConstructor(u"constructor Create", ctor(u"TfsXMLItem"));
        c->AddMethod(u"procedure AddItem(Item: TfsXMLItem)", method);
        c->AddMethod(u"procedure Clear", method);
        c->AddMethod(u"procedure InsertItem(Index: Integer; Item: TfsXMLItem)", method);
        c->AddMethod(u"function Add: TfsXMLItem", method);
        c->AddMethod(u"function Find(const Name: String): Integer", method);
        c->AddMethod(u"function FindItem(const Name: String): TfsXMLItem", method);
        c->AddMethod(u"function Root: TfsXMLItem", method);
        c->AddProperty(u"Data", u"Integer", getter, setter);
        c->AddProperty(u"Count", u"Integer", getter);
        c->AddDefaultProperty(u"Items", u"Integer", u"TfsXMLItem", method, true);
        c->AddIndexProperty(u"Prop", u"String", u"String", method);
        c->AddProperty(u"Name", u"String", getter, setter);
        c->AddProperty(u"Parent", u"TfsXMLItem", getter);
        c->AddProperty(u"Text", u"String", getter, setter);
    }
    if (auto* c = s.AddClass(Cls(TfsXMLDocument::StaticClassInfo()), u"TObject")) {
        c->AddConstructor(u"constructor Create", ctor(u"TfsXMLDocument"));
        c->AddMethod(u"procedure SaveToStream(Stream: TStream)", method);
        c->AddMethod(u"procedure LoadFromStream(Stream: TStream)", method);
        c->AddMethod(u"procedure SaveToFile(const FileName: String)", method);
        c->AddMethod(u"procedure LoadFromFile(const FileName: String)", method);
        c->AddProperty(u"Root", u"TfsXMLItem", getter);
    }
}

Variant TFunctions::Construct(TClass classType, const String& registeredOn, TfsMethodHelper* caller) {
    if (!classType)
        throw Exception(u"Create needs a class");
    if (registeredOn == u"TComponent") {
        auto* owner = fsArgObject<TComponent>(caller->GetVParam(0));
        if (owner)
            return Variant::FromObject(&classType->CreateComponent(*owner));
        return Variant::FromObject(Keep(classType->Create()));
    }
    if (registeredOn == u"TFileStream") {
        if (classType != Cls(TFileStream::StaticClassInfo()))
            throw Exception(u"%s cannot be created as a file stream", {ClassNameOf(classType)});
        const int mode = caller->GetVParam(1).AsInteger();
        return Variant::FromObject(
            Keep(std::make_unique<TFileStream>(caller->GetVParam(0).AsString(), unsigned(mode & 0xFFFF))));
    }
    // TObject and TStrings: the named class's own construction.
    return Variant::FromObject(Keep(classType->Create()));
}

Variant CallStringsMethod(TStrings& list, const String& name, TfsMethodHelper* caller) {
    Variant result = 0;
    auto arg = [caller](int i) { return caller->GetVParam(i); };
    auto* l = &list;
    if (name == u"ADD")
        result = l->Add(arg(0).AsString());
    else if (name == u"ADDOBJECT")
        result = l->AddObject(arg(0).AsString(), fsScriptValueToObject(arg(1)));
    else if (name == u"CLEAR")
        l->Clear();
    else if (name == u"DELETE")
        l->Delete(arg(0).AsInteger());
    else if (name == u"INDEXOF")
        result = l->IndexOf(arg(0).AsString());
    else if (name == u"INDEXOFNAME")
        result = l->IndexOfName(arg(0).AsString());
    else if (name == u"INDEXOFOBJECT")
        result = l->IndexOfObject(fsScriptValueToObject(arg(0)));
    else if (name == u"INSERT")
        l->Insert(arg(0).AsInteger(), arg(1).AsString());
    else if (name == u"INSERTOBJECT")
        l->InsertObject(arg(0).AsInteger(), arg(1).AsString(), fsScriptValueToObject(arg(2)));
    else if (name == u"LOADFROMFILE")
        l->LoadFromFile(arg(0).AsString());
    else if (name == u"LOADFROMSTREAM")
        l->LoadFromStream(fsArgRef<TStream>(arg(0)));
    else if (name == u"SAVETOFILE")
        l->SaveToFile(arg(0).AsString());
    else if (name == u"MOVE")
        l->Move(arg(0).AsInteger(), arg(1).AsInteger());
    else if (name == u"SAVETOSTREAM")
        l->SaveToStream(fsArgRef<TStream>(arg(0)));
    else if (name == u"NAMES.GET")
        result = l->Names(arg(0).AsInteger());
    else if (name == u"OBJECTS.GET")
        result = fsObjectValue(l->GetObject(arg(0).AsInteger()));
    else if (name == u"OBJECTS.SET")
        l->PutObject(arg(0).AsInteger(), fsScriptValueToObject(arg(1)));
    else if (name == u"VALUES.GET")
        result = l->Values(arg(0).AsString());
    else if (name == u"VALUES.SET")
        l->SetValue(arg(0).AsString(), arg(1).AsString());
    else if (name == u"STRINGS.GET")
        result = l->Get(arg(0).AsInteger());
    else if (name == u"STRINGS.SET")
        l->Put(arg(0).AsInteger(), arg(1).AsString());
    return result;
}

Variant TFunctions::MethodHandler(TObject* instance, TClass classType, const String& name, TfsMethodHelper* caller) {
    Variant result = 0;
    fsCheckInstance(instance, classType);
    auto arg = [caller](int i) { return caller->GetVParam(i); };
    if (classType == Cls(TObject::StaticClassInfo())) {
        if (name == u"FREE")
            fsScriptFree(Script(), instance);
        else if (name == u"CLASSNAME")
            result = instance->ClassName();
    } else if (classType == Cls(TPersistent::StaticClassInfo())) {
        if (name == u"ASSIGN")
            static_cast<TPersistent*>(instance)->Assign(fsArgObject<TPersistent>(arg(0)));
    } else if (classType == Cls(TCollection::StaticClassInfo())) {
        auto* c = static_cast<TCollection*>(instance);
        std::unique_lock<std::shared_mutex> lock;
        if (std::shared_mutex* m = fsSharedObjectLock(c))
            lock = std::unique_lock(*m);
        if (name == u"CLEAR")
            c->Clear();
        else if (name == u"ITEMS.GET")
            result = fsObjectValue(c->Items(arg(0).AsInteger()));
    } else if (classType == Cls(TList::StaticClassInfo())) {
        auto* l = static_cast<TList*>(instance);
        if (name == u"ADD")
            result = l->Add(fsScriptValueToObject(arg(0)));
        else if (name == u"CLEAR")
            l->Clear();
        else if (name == u"DELETE")
            l->Delete(arg(0).AsInteger());
        else if (name == u"INDEXOF")
            result = l->IndexOf(fsScriptValueToObject(arg(0)));
        else if (name == u"INSERT")
            l->Insert(arg(0).AsInteger(), fsScriptValueToObject(arg(1)));
        else if (name == u"REMOVE")
            result = l->Remove(fsScriptValueToObject(arg(0)));
        else if (name == u"ITEMS.GET")
            result = fsObjectValue(l->Get(arg(0).AsInteger()));
        else if (name == u"ITEMS.SET")
            l->Put(arg(0).AsInteger(), fsScriptValueToObject(arg(1)));
    } else if (classType == Cls(TStrings::StaticClassInfo())) {
        result = CallStringsMethod(*static_cast<TStrings*>(instance), name, caller);
    } else if (classType == Cls(TStringList::StaticClassInfo())) {
        auto* l = static_cast<TStringList*>(instance);
        if (name == u"FIND") {
            int index = 0;
            result = l->Find(arg(0).AsString(), index);
            caller->SetVParam(1, index);
        } else if (name == u"SORT") {
            l->Sort();
        }
    } else if (classType == Cls(TStream::StaticClassInfo())) {
        auto* st = static_cast<TStream*>(instance);
        if (name == u"READ") {
            // One byte per character (Latin-1), so that what Write stored reads back unchanged.
            const std::int64_t count = std::max<std::int64_t>(0, arg(1).AsInt64());
            std::vector<std::uint8_t> bytes(size_t(std::min<std::int64_t>(count, st->GetSize())));
            const std::int64_t got = bytes.empty() ? 0 : st->Read(bytes.data(), std::int64_t(bytes.size()));
            String text(size_t(got), u'\0');
            for (std::int64_t i = 0; i < got; ++i)
                text[size_t(i)] = char16_t(bytes[size_t(i)]);
            caller->SetVParam(0, text);
            result = static_cast<long long>(got);
        } else if (name == u"WRITE") {
            // One byte per character (the low byte), and never more than the text holds.
            const String text = arg(0).AsString();
            const std::int64_t count = std::clamp<std::int64_t>(arg(1).AsInt64(), 0, std::int64_t(text.size()));
            std::vector<std::uint8_t> bytes(static_cast<size_t>(count));
            for (std::int64_t i = 0; i < count; ++i)
                bytes[size_t(i)] = std::uint8_t(text[size_t(i)] & 0xFF);
            result = static_cast<long long>(count ? st->Write(bytes.data(), count) : 0);
        } else if (name == u"SEEK") {
            result = static_cast<long long>(st->Seek(arg(0).AsInt64(), Origin(arg(1))));
        } else if (name == u"COPYFROM") {
            TStream& source = fsArgRef<TStream>(arg(0));
            std::int64_t count = arg(1).AsInt64();
            if (count <= 0) {
                source.SetPosition(0);
                count = source.GetSize();
            }
            std::vector<std::uint8_t> buffer(size_t(std::min(count, CopyBufferSize)));
            std::int64_t left = count;
            while (left > 0) {
                const std::int64_t n = std::min(left, CopyBufferSize);
                source.ReadBuffer(buffer.data(), n);
                st->WriteBuffer(buffer.data(), n);
                left -= n;
            }
            result = static_cast<long long>(count);
        }
    } else if (classType == Cls(TMemoryStream::StaticClassInfo())) {
        auto* m = static_cast<TMemoryStream*>(instance);
        if (name == u"CLEAR")
            m->Clear();
        else if (name == u"LOADFROMSTREAM")
            m->LoadFromStream(fsArgRef<TStream>(arg(0)));
        else if (name == u"LOADFROMFILE")
            m->LoadFromFile(arg(0).AsString());
        else if (name == u"SAVETOSTREAM")
            m->SaveToStream(fsArgRef<TStream>(arg(0)));
        else if (name == u"SAVETOFILE")
            m->SaveToFile(arg(0).AsString());
    } else if (classType == Cls(TfsXMLItem::StaticClassInfo())) {
        auto* x = static_cast<TfsXMLItem*>(instance);
        if (name == u"ADDITEM") {
            TfsXMLItem& item = MovableItem(Script(), *x, arg(0));
            x->AddItem(&item);
            ItemMoved(Script(), item);
        } else if (name == u"CLEAR") {
            x->Clear();
        } else if (name == u"INSERTITEM") {
            TfsXMLItem& item = MovableItem(Script(), *x, arg(1));
            x->InsertItem(arg(0).AsInteger(), &item);
            ItemMoved(Script(), item);
        } else if (name == u"ADD") {
            result = Variant::FromObject(x->Add());
        } else if (name == u"FIND") {
            result = x->Find(arg(0).AsString());
        } else if (name == u"FINDITEM") {
            result = Variant::FromObject(x->FindItem(arg(0).AsString()));
        } else if (name == u"ROOT") {
            result = Variant::FromObject(x->Root());
        } else if (name == u"ITEMS.GET") {
            result = Variant::FromObject(x->Items(arg(0).AsInteger()));
        } else if (name == u"PROP.GET") {
            result = x->GetProp(arg(0).AsString());
        } else if (name == u"PROP.SET") {
            x->SetProp(arg(0).AsString(), arg(1).AsString());
        }
    } else if (classType == Cls(TfsXMLDocument::StaticClassInfo())) {
        auto* d = static_cast<TfsXMLDocument*>(instance);
        if (name == u"SAVETOSTREAM")
            d->SaveToStream(fsArgRef<TStream>(arg(0)));
        else if (name == u"LOADFROMSTREAM")
            d->LoadFromStream(fsArgRef<TStream>(arg(0)));
        else if (name == u"SAVETOFILE")
            d->SaveToFile(arg(0).AsString());
        else if (name == u"LOADFROMFILE")
            d->LoadFromFile(arg(0).AsString());
    }
    return result;
}

Variant TFunctions::PropertyGetter(TObject* instance, TClass classType, const String& name) {
    Variant result = 0;
    fsCheckInstance(instance, classType);
    if (classType == Cls(TCollection::StaticClassInfo())) {
        std::shared_lock<std::shared_mutex> lock;
        if (std::shared_mutex* m = fsSharedObjectLock(instance))
            lock = std::shared_lock(*m);
        if (name == u"COUNT")
            result = static_cast<TCollection*>(instance)->Count();
    } else if (classType == Cls(TList::StaticClassInfo())) {
        if (name == u"COUNT")
            result = static_cast<TList*>(instance)->Count();
    } else if (classType == Cls(TStrings::StaticClassInfo())) {
        auto* l = static_cast<TStrings*>(instance);
        if (name == u"COMMATEXT")
            result = l->CommaText();
        else if (name == u"COUNT")
            result = l->Count();
        else if (name == u"TEXT")
            result = l->Text();
    } else if (classType == Cls(TStringList::StaticClassInfo())) {
        auto* l = static_cast<TStringList*>(instance);
        if (name == u"DUPLICATES")
            result = int(l->Duplicates);
        else if (name == u"SORTED")
            result = l->Sorted();
    } else if (classType == Cls(TStream::StaticClassInfo())) {
        auto* st = static_cast<TStream*>(instance);
        if (name == u"POSITION")
            result = static_cast<long long>(st->GetPosition());
        else if (name == u"SIZE")
            result = static_cast<long long>(st->GetSize());
    } else if (classType == Cls(TComponent::StaticClassInfo())) {
        if (name == u"OWNER")
            result = fsObjectValue(static_cast<TComponent*>(instance)->Owner());
    } else if (classType == Cls(TfsXMLItem::StaticClassInfo())) {
        auto* x = static_cast<TfsXMLItem*>(instance);
        if (name == u"DATA")
            result = int(reinterpret_cast<std::intptr_t>(x->Data()));
        else if (name == u"COUNT")
            result = x->Count();
        else if (name == u"NAME")
            result = x->Name();
        else if (name == u"PARENT")
            result = fsObjectValue(x->Parent());
        else if (name == u"TEXT")
            result = x->Text();
    } else if (classType == Cls(TfsXMLDocument::StaticClassInfo())) {
        if (name == u"ROOT")
            result = Variant::FromObject(static_cast<TfsXMLDocument*>(instance)->Root());
    }
    return result;
}

void TFunctions::PropertySetter(TObject* instance, TClass classType, const String& name, const Variant& value) {
    fsCheckInstance(instance, classType);
    if (classType == Cls(TStrings::StaticClassInfo())) {
        auto* l = static_cast<TStrings*>(instance);
        if (name == u"COMMATEXT")
            l->SetCommaText(value.AsString());
        else if (name == u"TEXT")
            l->SetText(value.AsString());
    } else if (classType == Cls(TStringList::StaticClassInfo())) {
        auto* l = static_cast<TStringList*>(instance);
        if (name == u"DUPLICATES") {
            const int v = value.AsInteger();
            if (v < dupIgnore || v > dupError)
                throw ERangeError(u"Range check error");
            l->Duplicates = TDuplicates(v);
        } else if (name == u"SORTED") {
            l->SetSorted(value.AsBoolean());
        }
    } else if (classType == Cls(TStream::StaticClassInfo())) {
        if (name == u"POSITION")
            static_cast<TStream*>(instance)->SetPosition(value.AsInt64());
    } else if (classType == Cls(TfsXMLItem::StaticClassInfo())) {
        auto* x = static_cast<TfsXMLItem*>(instance);
        // Data holds the script's integer in the item's untyped slot.
        if (name == u"DATA")
            x->SetData(reinterpret_cast<void*>(std::intptr_t(value.AsInteger())));
        else if (name == u"NAME")
            x->SetName(value.AsString());
        else if (name == u"TEXT")
            x->SetText(value.AsString());
    }
}

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script) {
    return std::make_unique<TFunctions>(script);
}

} // namespace vgl::fs_classes
