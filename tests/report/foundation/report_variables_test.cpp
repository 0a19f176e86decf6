#include "report/foundation/report_variables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"

namespace vgl {
namespace {

// The entries as "name=value" texts ("name" alone for a Null value).
std::vector<String> Entries(const TfrxVariables& v) {
    std::vector<String> out;
    for (int i = 0; i < v.Count(); ++i) {
        const Variant& value = v.Items(i)->Value();
        out.push_back(v.Items(i)->Name() + (VarIsNull(value) ? String() : u"=" + VarToStr(value)));
    }
    return out;
}

std::vector<String> Lines(const TStrings& list) {
    std::vector<String> out;
    for (int i = 0; i < list.Count(); ++i)
        out.push_back(list[i]);
    return out;
}

void Fill(TfrxVariables& v, std::initializer_list<const char16_t*> names) {
    for (const char16_t* name : names)
        v.Add()->SetName(name);
}

TEST(ReportVariables, CategoriesListEditAndInsert) {
    TfrxVariables v;
    Fill(v, {u" Cat1", u"a", u"b", u" Cat2", u"c"});
    TStringList list;
    v.GetVariablesList(u"Cat1", list);
    EXPECT_EQ(Lines(list), (std::vector<String>{u"a", u"b"}));
    v.GetVariablesList(u"cat2", list);
    EXPECT_EQ(Lines(list), std::vector<String>{u"c"});
    v.GetVariablesList(u"", list);
    EXPECT_EQ(Lines(list), std::vector<String>{});
    v.GetVariablesList(u"Nope", list);
    EXPECT_EQ(Lines(list), std::vector<String>{});
    v.GetCategoriesList(list);
    EXPECT_EQ(Lines(list), (std::vector<String>{u"Cat1", u"Cat2"}));

    v.AddVariable(u"Cat1", u"d", Variant(1));
    v.AddVariable(u"Cat2", u"e", Variant(2));
    v.AddVariable(u"Cat2", u"A", Variant(3)); // exists in Cat1: only its value changes
    v.AddVariable(u"Missing", u"f", Variant(4));
    EXPECT_EQ(Entries(v), (std::vector<String>{u" Cat1", u"a=3", u"b", u"d=1", u" Cat2", u"c", u"e=2"}));

    v.DeleteCategory(u"cat1");
    EXPECT_EQ(Entries(v), (std::vector<String>{u" Cat2", u"c", u"e=2"}));
    v.DeleteVariable(u"C");
    v.DeleteVariable(u"zzz");
    v.DeleteCategory(u"zzz");
    EXPECT_EQ(Entries(v), (std::vector<String>{u" Cat2", u"e=2"}));
}

TEST(ReportVariables, EmptyNamesInsideACategoryAreOrdinaryEntries) {
    TfrxVariables v;
    Fill(v, {u"top", u" Cat1", u"", u"x", u" Cat2", u"y"});
    TStringList list;
    v.GetVariablesList(u"Cat1", list);
    EXPECT_EQ(Lines(list), (std::vector<String>{u"", u"x"}));
    v.GetVariablesList(u"", list);
    EXPECT_EQ(Lines(list), std::vector<String>{u"top"});
    v.AddVariable(u"Cat1", u"z", Variant(1));
    v.DeleteCategory(u"Cat1");
    EXPECT_EQ(Entries(v), (std::vector<String>{u"top", u" Cat2", u"y"}));
}

TEST(ReportVariables, LookupsByName) {
    TfrxVariables v;
    EXPECT_TRUE(VarIsNull(v.GetVariable(u"Total")));
    v.SetVariable(u"Total", Variant(5));
    v.SetVariable(u"TOTAL", Variant(6));
    EXPECT_EQ(Entries(v), std::vector<String>{u"Total=6"});
    EXPECT_EQ(v.IndexOf(u"total"), 0);
    EXPECT_EQ(v.Items(0)->GetInheritedName(), u"Total");
    EXPECT_EQ(v.Add()->GetInheritedName(), u"frxUIN0") << "variables keep no unique index";
    EXPECT_EQ(v.IndexOf(u"\u00C4rger"), -1);
    v.SetVariable(u"\u00C4rger", Variant(1));
    EXPECT_EQ(v.IndexOf(u"\u00E4RGER"), 2) << "compared in the user locale";

    TfrxVariable copy(nullptr);
    v.Items(0)->SetIsInherited(true);
    copy.Assign(v.Items(0));
    EXPECT_EQ(copy.Name(), u"Total");
    EXPECT_EQ(VarToStr(copy.Value()), u"6");
    EXPECT_TRUE(copy.IsInherited());

    TfrxArray array;
    EXPECT_TRUE(VarIsNull(array.GetVariable(Variant(7))));
    array.SetVariable(Variant(7), Variant(u"seven"));
    array.SetVariable(Variant(u"7"), Variant(u"SEVEN"));
    ASSERT_EQ(array.Count(), 1);
    EXPECT_EQ(array.Items(0)->Name(), u"7");
    EXPECT_EQ(VarToStr(array.GetVariable(Variant(7.0))), u"SEVEN");
}

TEST(ReportVariables, FileFormat) {
    TfrxVariables v;
    Fill(v, {u" Cat1"});
    v.SetVariable(u"a", Variant(u"x<\"y\">"));
    v.SetVariable(u"n", Variant(1.5));
    v.Add()->SetName(u"nothing");
    TMemoryStream stream;
    v.SaveToStream(stream);
    const std::string bytes(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.GetSize()));
    EXPECT_EQ(bytes, "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\r\n"
                     "<variables>\r\n"
                     "  <item Name=\" Cat1\"/>\r\n"
                     "  <item Name=\"a\" Value=\"x&#60;&#34;y&#34;&#62;\"/>\r\n"
                     "  <item Name=\"n\" Value=\"1.5\"/>\r\n"
                     "  <item Name=\"nothing\"/>\r\n"
                     "</variables>\r\n");

    TfrxVariables read;
    read.SetVariable(u"old", Variant(1));
    stream.SetPosition(0);
    read.LoadFromStream(stream);
    EXPECT_EQ(Entries(read), (std::vector<String>{u" Cat1", u"a=x<\"y\">", u"n=1.5", u"nothing"}));
    EXPECT_EQ(VarType(read.GetVariable(u"n")), varUString) << "values come back as text";

    TMemoryStream empty;
    TfrxVariables().SaveToStream(empty);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(empty.Memory()), size_t(empty.GetSize())),
              "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"no\"?>\r\n<variables/>\r\n");
}

TEST(ReportVariables, LoadingOtherDocuments) {
    TfrxVariables v;
    v.SetVariable(u"old", Variant(1));
    TStringStream other(R"(<?xml version="1.0" encoding="utf-8" standalone="no"?><vars><item Name="a"/></vars>)");
    v.LoadFromStream(other);
    EXPECT_EQ(v.Count(), 0);

    TStringStream mixed(R"(<?xml version="1.0" encoding="utf-8" standalone="no"?>)"
                        R"(<Variables><item Name="a" Value="1"/><other Name="b"/><ITEM Name="c"/></Variables>)");
    v.LoadFromStream(mixed);
    EXPECT_EQ(Entries(v), (std::vector<String>{u"a=1", u"c"}));

    TStringStream broken(R"(<?xml version="1.0"?><variables><item Name="a">)");
    EXPECT_ANY_THROW(v.LoadFromStream(broken));
    EXPECT_EQ(v.Count(), 0);
}

} // namespace
} // namespace vgl
