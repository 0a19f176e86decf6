#include "remoting/core/rodl_model.h"

#include <gtest/gtest.h>

#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"

namespace vgl {
namespace {

/// A library of one service "Orders" with an operation Place(In Order: OrderInfo) → Integer.
struct Fixture {
    TRODLLibrary Library;
    TRODLService* Service;
    TRODLOperation* Place;
    TRODLStruct* Order;

    Fixture() {
        Service = Library.AddNew<TRODLService>();
        Service->SetName(u"Orders");
        Place = static_cast<TRODLOperation*>(Service->Default()->Add());
        Place->SetName(u"Place");
        auto* p = static_cast<TRODLOperationParam*>(Place->Add());
        p->SetName(u"Order");
        p->SetDataType(u"OrderInfo");
        Place->AddResult()->SetDataType(u"Integer");
        Order = Library.AddNew<TRODLStruct>();
        Order->SetName(u"OrderInfo");
        static_cast<TRODLTypedEntity*>(Order->Add())->SetDataType(u"Integer");
    }
};

TEST(RODLModelTest, NamesAreIdentifiersAndKindsAreCounted) {
    TRODLLibrary library;
    EXPECT_EQ(library.Name(), u"NewLibrary");
    auto* s = library.AddNew<TRODLStruct>();
    s->SetName(u"  9 ab-c  ");
    EXPECT_EQ(s->Name(), u"_9_ab_c");
    s->SetAncestor(u"  Base-Type ");
    EXPECT_EQ(s->GetAncestor(), u"Base-Type");
    auto* a = library.AddNew<TRODLArray>();
    a->SetElementType(u" Some Type ");
    EXPECT_EQ(a->ElementType(), u"Some Type");

    TRODLLibrary fresh;
    try {
        fresh.Structs(0);
        FAIL();
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"Invalid index 0");
    }
    auto* array = fresh.AddNew<TRODLArray>();
    auto* structure = fresh.AddNew<TRODLStruct>();
    EXPECT_EQ(fresh.Structs(0), structure);
    EXPECT_EQ(fresh.Arrays(0), array);
    EXPECT_EQ(fresh.StructCount(), 1);
    fresh.Remove(array);
    EXPECT_EQ(fresh.ArrayCount(), 0);
    EXPECT_THROW(fresh.Arrays(0), EROException);
    try {
        structure->Add(std::make_unique<TRODLEnumValue>());
        FAIL();
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"Invalid type \"TRODLEnumValue. Expected \"TRODLTypedEntity\"\"");
    }
}

TEST(RODLModelTest, ItemsNamesResultsAndCodeBodies) {
    TRODLStruct s;
    s.Add()->SetName(u"Field");
    s.Add()->SetName(u"Field1");
    EXPECT_EQ(s.UniqueName(u"Field"), u"Field2");
    EXPECT_EQ(s.UniqueName(u"Other"), u"Other");
    EXPECT_EQ(s.ItemByName(u"FIELD1"), s.Items(1));

    TRODLOperation op;
    TRODLOperationParam* result = op.AddResult();
    EXPECT_EQ(op.AddResult(), result);
    EXPECT_EQ(result->Name(), u"Result");
    auto extra = std::make_unique<TRODLOperationParam>();
    extra->SetFlag(fResult);
    try {
        op.Add(std::move(extra));
        FAIL();
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"Cannot add Result parameter to collection. Use AddResult instead");
    }
    EXPECT_THROW(op.GetParameter(u"Missing"), EROUnknownItem);
    const String pascal = u"begin end;";
    const String cs = u"{ }";
    op.SetCodeBodyAsString(u"Pascal", &pascal);
    op.SetCodeBodyAsString(u"CS", &cs);
    ASSERT_EQ(op.CodeBodyCount(), 2);
    EXPECT_EQ(op.CodeBodyLanguages(0), u"cs");
    op.SetCodeBodyAsString(op.CodeBodyLanguages(0), nullptr);
    EXPECT_EQ(op.CodeBodyCount(), 1);
    EXPECT_EQ(op.GetCodeBody(u"PASCAL")->Get(0), u"begin end;");

    TRODLOperationParam p;
    p.SetFlagAsString(u"IN/OUT");
    EXPECT_EQ(p.Flag(), fInOut);
    EXPECT_THROW(p.SetFlagAsString(u"both"), EROException);
    EXPECT_TRUE(IsInputParamFlag(fIn));
    EXPECT_TRUE(IsInputParamFlag(fInOut));
    EXPECT_FALSE(IsInputParamFlag(fOut));
    EXPECT_FALSE(IsInputParamFlag(fResult));
}

TEST(RODLModelTest, MarshalingOrderIncludesAncestors) {
    TRODLLibrary library;
    auto* base = library.AddNew<TRODLStruct>();
    base->SetName(u"Base");
    base->Add()->SetName(u"m");
    auto* derived = library.AddNew<TRODLStruct>();
    derived->SetName(u"Derived");
    derived->SetAncestor(u"Base");
    derived->Add()->SetName(u"z");
    derived->Add()->SetName(u"a");
    std::unique_ptr<TStringList> order = derived->CalcItemsMarshalingOrder(true);
    EXPECT_EQ(order->CommaText(), u"a,m,z");
    EXPECT_EQ(derived->CalcItemsMarshalingOrder(false)->CommaText(), u"a,z");
    base->SetAncestor(u"Derived");
    EXPECT_THROW(derived->CalcItems(true, false), EROCircularReference);
}

TEST(RODLModelTest, AncestryOrderPutsAncestorsFirst) {
    TRODLLibrary library;
    auto* child = library.AddNew<TRODLService>();
    child->SetName(u"Child");
    child->SetAncestor(u"Parent");
    auto* parent = library.AddNew<TRODLService>();
    parent->SetName(u"Parent");
    EXPECT_EQ(library.CalcServiceOrder(), (std::vector<TRODLBaseService*>{parent, child}));
    parent->SetAncestor(u"Child");
    try {
        library.CalcServiceOrder();
        FAIL();
    } catch (const EROException& e) {
        EXPECT_TRUE(e.Message().starts_with(u"Invalid or recursive inheritance for the following entities: "));
    }
    // Operations are found through the ancestors' default interfaces.
    parent->SetAncestor(u"");
    static_cast<TRODLOperation*>(parent->Default()->Add())->SetName(u"Ping");
    EXPECT_EQ(child->Default()->FindOperation(u"ping", true), parent->Default()->Items(0));
    EXPECT_EQ(child->Default()->FindOperation(u"ping", false), nullptr);
    std::vector<TRODLOperation*> ops;
    child->Default()->GetOperationsList(ops);
    EXPECT_EQ(ops.size(), 1u);
}

TEST(RODLModelTest, SimpleTypesInAnyCase) {
    for (const char16_t* name : {u"integer", u"XSDATETIME", u"Utf8String", u"???"})
        EXPECT_TRUE(TRODLLibrary::IsValidSimpleType(name)) << StringToUtf8(name);
    EXPECT_FALSE(TRODLLibrary::IsValidSimpleType(u"String"));
}

TEST(RODLModelTest, GroupsAndUsesUnlinkBothWays) {
    TRODLLibrary library;
    auto* outer = library.AddNew<TRODLGroup>();
    auto* inner = library.AddNew<TRODLGroup>();
    inner->SetGroupUnder(outer);
    auto* s = library.AddNew<TRODLStruct>();
    s->SetGroupUnder(inner);
    TRODLEntity* field = s->Add();
    field->SetGroupUnder(inner);
    library.Remove(inner);
    EXPECT_EQ(s->GroupUnder(), outer);
    EXPECT_EQ(field->GroupUnder(), outer);
    EXPECT_EQ(outer->Members().size(), 2u);

    // Circular group filings end: the removed group's group never ends up filed under itself,
    // and a copy takes the group's own data only.
    auto* a = library.AddNew<TRODLGroup>();
    auto* b = library.AddNew<TRODLGroup>();
    a->SetGroupUnder(b);
    b->SetGroupUnder(a);
    TRODLStruct copy;
    copy.Assign(*a);
    EXPECT_EQ(copy.GroupUnder()->Name(), b->Name());
    EXPECT_EQ(copy.GroupUnder()->GroupUnder(), nullptr);
    library.Remove(a);
    EXPECT_EQ(b->GroupUnder(), nullptr);

    auto* use = library.AddNew<TRODLUse>();
    auto* other = library.AddNew<TRODLUse>();
    auto* onlyHere = library.AddNew<TRODLEnum>();
    onlyHere->SetLocatedInRodlUse(use);
    auto* shared = library.AddNew<TRODLArray>();
    shared->SetLocatedInRodlUse(use);
    shared->SetLocatedInRodlUse(other);
    shared->SetLocatedInRodlUse(other); // never twice
    EXPECT_EQ(shared->InUseCount(), 2);
    library.Remove(use);
    EXPECT_EQ(library.EnumCount(), 0);
    ASSERT_EQ(library.ArrayCount(), 1);
    EXPECT_EQ(shared->InUseCount(), 1);
    EXPECT_EQ(other->Count(), 1);
    library.Remove(shared);
    EXPECT_EQ(other->Count(), 0);
}

TEST(RODLModelTest, RenameUpdatesEveryReference) {
    Fixture f;
    auto* list = f.Library.AddNew<TRODLArray>();
    list->SetName(u"OrderList");
    list->SetElementType(u"OrderInfo");
    EXPECT_FALSE(f.Library.CheckForUsableName(u"orders"));
    EXPECT_FALSE(f.Library.CheckForUsableName(u"Integer"));
    EXPECT_FALSE(f.Library.CheckForUsableName(u""));
    EXPECT_TRUE(f.Library.CheckForUsableName(u"Purchase"));
    f.Library.Rename(f.Order, u"Purchase");
    EXPECT_EQ(f.Place->Items(0)->DataType(), u"Purchase");
    EXPECT_EQ(list->ElementType(), u"Purchase");
    try {
        f.Library.Rename(f.Order, u"Orders");
        FAIL();
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"Purchase item cannot be renamed to Orders.");
    }
    EXPECT_THROW(f.Library.Rename(nullptr, u"X"), EROException);
}

TEST(RODLModelTest, RemoveUnusedItemsKeepsWhatServicesNeed) {
    Fixture f;
    auto* address = f.Library.AddNew<TRODLStruct>();
    address->SetName(u"Address");
    static_cast<TRODLTypedEntity*>(f.Order->Add())->SetDataType(u"Address");
    auto* unused = f.Library.AddNew<TRODLEnum>();
    unused->SetName(u"Unused");
    auto* cyclic = f.Library.AddNew<TRODLStruct>();
    cyclic->SetName(u"Cyclic");
    static_cast<TRODLTypedEntity*>(cyclic->Add())->SetDataType(u"Cyclic");
    f.Library.RemoveUnusedItems();
    EXPECT_NE(f.Library.FindStruct(u"OrderInfo"), nullptr);
    EXPECT_NE(f.Library.FindStruct(u"Address"), nullptr);
    EXPECT_EQ(f.Library.FindEnum(u"Unused"), nullptr);
    EXPECT_EQ(f.Library.FindStruct(u"Cyclic"), nullptr);
}

TEST(RODLModelTest, ClearDuplicatesKeepsTheLastOccurrence) {
    TRODLLibrary library;
    auto* first = library.AddNew<TRODLStruct>();
    auto* second = library.AddNew<TRODLStruct>();
    second->SetUID(first->UID());
    library.ClearDuplicates();
    ASSERT_EQ(library.StructCount(), 1);
    EXPECT_EQ(library.Structs(0), second);
}

TEST(RODLModelTest, AssignCopiesGroupsAndUses) {
    TRODLLibrary library;
    auto* group = library.AddNew<TRODLGroup>();
    group->SetName(u"G");
    auto* use = library.AddNew<TRODLUse>();
    auto* source = library.AddNew<TRODLStruct>();
    source->SetName(u"S");
    source->SetGroupUnder(group);
    source->SetLocatedInRodlUse(use);
    source->Add()->SetName(u"F");
    source->Attributes().Add(u"ns=urn:x");
    TRODLStruct copy;
    copy.Assign(*source);
    EXPECT_EQ(copy.Name(), u"S");
    EXPECT_EQ(copy.Count(), 1);
    EXPECT_EQ(copy.AttributeValue(u"NS"), u"urn:x");
    ASSERT_NE(copy.GroupUnder(), nullptr);
    EXPECT_NE(copy.GroupUnder(), group);
    EXPECT_EQ(copy.GroupUnder()->Name(), u"G");
    EXPECT_EQ(copy.LocatedInRodlUse(), use);
    EXPECT_EQ(use->Count(), 2);
}

TEST(RODLModelTest, ValidationTable) {
    struct Case {
        const char* name;
        std::function<void(TRODLLibrary&)> build;
        std::vector<String> expected;
    };
    auto service = [](TRODLLibrary& l, const String& name) {
        auto* s = l.AddNew<TRODLService>();
        s->SetName(name);
        return s;
    };
    auto op = [](TRODLBaseService* s, const String& name) {
        auto* o = static_cast<TRODLOperation*>(s->Default()->Add());
        o->SetName(name);
        return o;
    };
    auto structure = [](TRODLLibrary& l, const String& name, const String& fieldType) {
        auto* s = l.AddNew<TRODLStruct>();
        s->SetName(name);
        if (!fieldType.empty())
            static_cast<TRODLTypedEntity*>(s->Add())->SetDataType(fieldType);
        return s;
    };
    const std::vector<Case> cases = {
        {"clean", [&](TRODLLibrary& l) { op(service(l, u"S"), u"Ping"); }, {}},
        {"no name", [&](TRODLLibrary& l) { op(service(l, u""), u"Ping"); }, {u"3||No Name specified"}},
        {"empty field",
         [&](TRODLLibrary& l) { structure(l, u"T", u"Integer")->Items(0)->SetName(u""); },
         {u"3|T|Empty item is detected"}},
        {"empty param",
         [&](TRODLLibrary& l) {
             auto* p = static_cast<TRODLOperationParam*>(op(service(l, u"S"), u"Ping")->Add());
             p->SetName(u"");
             p->SetDataType(u"Integer");
         },
         {u"3|S.Ping|Empty param is detected"}},
        {"no uid",
         [&](TRODLLibrary& l) { op(service(l, u"S"), u"Ping")->SetUID(TGUID{}); },
         {u"2|Ping|No UID specified"}},
        {"duplicate",
         [&](TRODLLibrary& l) {
             structure(l, u"T", u"Integer");
             structure(l, u"t", u"Integer");
         },
         {u"3|NewLibrary.t|Duplicate name."}},
        {"no data type",
         [&](TRODLLibrary& l) { static_cast<TRODLOperationParam*>(op(service(l, u"S"), u"Ping")->Add()); },
         {u"3|Ping.Param1|No data type specified."}},
        {"bad data type",
         [&](TRODLLibrary& l) { structure(l, u"T", u"Nothing"); },
         {u"3|T.Field1|Invalid or undefined data type \"Nothing\"."}},
        {"recursive struct",
         [&](TRODLLibrary& l) { structure(l, u"T", u"T"); },
         {u"2|T & T.Field1|Struct contains itself recursively."}},
        {"array",
         [&](TRODLLibrary& l) {
             auto* a = l.AddNew<TRODLArray>();
             a->SetName(u"A");
             auto* b = l.AddNew<TRODLArray>();
             b->SetName(u"B");
             b->SetElementType(u"Nothing");
         },
         {u"3|A|No data type specified.", u"3|B|Invalid or undefined data type \"Nothing\"."}},
        {"empty struct",
         [&](TRODLLibrary& l) { structure(l, u"T", u""); },
         {u"2|T|Struct does not contain any elements."}},
        {"bad ancestor",
         [&](TRODLLibrary& l) { structure(l, u"T", u"Integer")->SetAncestor(u"Nothing"); },
         {u"3|T|Invalid or undefined ancestor type \"Nothing\"."}},
        {"circular ancestors",
         [&](TRODLLibrary& l) {
             structure(l, u"A", u"Integer")->SetAncestor(u"B");
             structure(l, u"B", u"Integer")->SetAncestor(u"A");
         },
         {u"3|A|Circular reference detected between A and B", u"3|B|Circular reference detected between B and A"}},
        {"inherited name",
         [&](TRODLLibrary& l) {
             structure(l, u"Base", u"Integer");
             structure(l, u"Derived", u"Integer")->SetAncestor(u"Base");
         },
         {u"3|Derived.Field1|An item named \"Field1\" already exists in ancestor \"Base\"."}},
        {"empty enum",
         [&](TRODLLibrary& l) { l.AddNew<TRODLEnum>()->SetName(u"E"); },
         {u"3|E|Enum does not contain any values."}},
        {"empty interface",
         [&](TRODLLibrary& l) { service(l, u"S"); },
         {u"2|S.Default|Service interface does not contain any elements."}},
        {"service ancestor",
         [&](TRODLLibrary& l) {
             auto* s = service(l, u"S");
             op(s, u"Ping");
             s->SetAncestor(u"Nothing");
         },
         {u"3|S|Invalid or undefined ancestor type \"Nothing\"."}},
        {"bad result",
         [&](TRODLLibrary& l) { op(service(l, u"S"), u"Ping")->AddResult()->SetDataType(u"Nothing"); },
         {u"3|Ping|Invalid or undefined data type \"Nothing\"."}},
        {"exception ancestor",
         [&](TRODLLibrary& l) {
             auto* e = l.AddNew<TRODLException>();
             e->SetName(u"EFault");
             e->SetAncestor(u"OrderInfo");
             structure(l, u"OrderInfo", u"Integer");
         },
         {u"3|EFault|Invalid or undefined ancestor type \"OrderInfo\"."}},
        {"missing use file",
         [&](TRODLLibrary& l) {
             auto* u = l.AddNew<TRODLUse>();
             u->SetName(u"U");
             u->RodlFile = u"/nonexistent/folder/Base.rodl";
         },
         {u"2|Base.rodl|The referenced RODL file \"/nonexistent/folder/Base.rodl\" could not be found."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TRODLLibrary library;
        c.build(library);
        TRODLMessageList messages;
        library.Validate(messages);
        EXPECT_EQ(messages.Lines, c.expected);
    }
}

} // namespace
} // namespace vgl
