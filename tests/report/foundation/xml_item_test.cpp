#include "report/foundation/xml_item.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

TEST(TfrxXMLItem, GetPropMatchesWholeNamesOnly) {
    TfrxXMLItem item;
    item.SetText(u"Name=\"A\" xname=\"B\" TextLeft=\"5\" Left=\"10\" \u00C4rger=\"7\" Memo.Text=\"a&#60;b\" Open=\"x");
    struct Case {
        String name, value;
    };
    const Case cases[] = {
        {u"name", u"A"}, {u"xname", u"B"},       {u"Left", u"10"}, {u"LEFT", u"10"},
        {u"Top", u""},   {u"Memo.Text", u"a<b"}, {u"Open", u""}, // unterminated value
        {u"ame", u""},   {u"\u00E4RGER", u"7"},                  // upper case beyond ASCII
    };
    for (const auto& c : cases)
        EXPECT_EQ(item.GetProp(c.name), c.value) << StringToUtf8(c.name);
    EXPECT_TRUE(item.PropExists(u"textleft"));
    EXPECT_FALSE(item.PropExists(u"Text"));
}

TEST(TfrxXMLItem, SetPropAndDeleteProp) {
    struct Case {
        String text;
        void (*edit)(TfrxXMLItem&);
        String expected;
    };
    const Case cases[] = {
        {u"a=\"1\" b=\"2\"", [](TfrxXMLItem& i) { i.SetProp(u"A", u"x\"y"); }, u"A=\"x&#34;y\" b=\"2\""},
        {u"a=\"1\"", [](TfrxXMLItem& i) { i.SetProp(u"c", u"3"); }, u"a=\"1\" c=\"3\""},
        {u"a=\"1\" ", [](TfrxXMLItem& i) { i.SetProp(u"c", u"3"); }, u"a=\"1\" c=\"3\""},
        {u"", [](TfrxXMLItem& i) { i.SetProp(u"c", u"3"); }, u"c=\"3\""},
        {u"a=\"open", [](TfrxXMLItem& i) { i.SetProp(u"a", u"2"); }, u"a=\"2\""},
        {u"a=\"1\" b=\"2\" c=\"3\"", [](TfrxXMLItem& i) { i.DeleteProp(u"b"); }, u"a=\"1\" c=\"3\""},
        {u"a=\"1\" b=\"2\"", [](TfrxXMLItem& i) { i.DeleteProp(u"b"); }, u"a=\"1\" "},
        {u"a=\"1\"", [](TfrxXMLItem& i) { i.DeleteProp(u"zz"); }, u"a=\"1\""},
    };
    for (const auto& c : cases) {
        TfrxXMLItem item;
        item.SetText(c.text);
        c.edit(item);
        EXPECT_EQ(item.Text(), c.expected) << StringToUtf8(c.text);
    }
}

TEST(TfrxXMLItem, ChildrenAreOwnedAndMoved) {
    TfrxXMLItem root;
    TfrxXMLItem* a = root.Add(u"a");
    TfrxXMLItem* b = root.Add(u"B");
    TfrxXMLItem* c = a->Add(u"c");
    EXPECT_EQ(c->Root(), &root);
    EXPECT_EQ(root.Find(u"b"), 1);
    EXPECT_EQ(root.Find(u"x"), -1);
    EXPECT_EQ(root.FindItem(u"A"), a);
    TfrxXMLItem* x = root.FindItem(u"x");
    EXPECT_EQ(root.Count(), 3);
    EXPECT_EQ(x->Name(), u"x");

    root.AddItem(a); // re-adding moves to the end
    EXPECT_EQ(root.IndexOf(a), 2);
    root.InsertItem(0, c); // from another parent
    EXPECT_EQ(root.IndexOf(c), 0);
    EXPECT_EQ(a->Count(), 0);
    EXPECT_EQ(c->Parent(), &root);

    std::unique_ptr<TfrxXMLItem> owned(root.Items(1)); // b: freeing a node leaves its parent's list
    EXPECT_EQ(owned.get(), b);
    owned.reset();
    EXPECT_EQ(root.Count(), 3);
    EXPECT_EQ(root.IndexOf(b), -1);
    EXPECT_THROW(root.Items(3), EListError);
}

TEST(TfrxXMLItem, RefusesCycles) {
    TfrxXMLItem root;
    TfrxXMLItem* a = root.Add(u"a");
    TfrxXMLItem* b = a->Add(u"b");
    EXPECT_THROW(b->AddItem(a), EInvalidOperation);
    EXPECT_THROW(a->AddItem(a), EInvalidOperation);
    EXPECT_EQ(b->Parent(), a);
}

TEST(TfrxXMLItem, ClearUnloadsAnUnloadableNode) {
    TfrxXMLItem item;
    item.Add(u"x");
    item.Clear();
    EXPECT_TRUE(item.Loaded());
    item.SetUnloadable(true);
    item.Add(u"x");
    item.Clear();
    EXPECT_EQ(item.Count(), 0);
    EXPECT_FALSE(item.Loaded());
}

} // namespace
} // namespace vgl
