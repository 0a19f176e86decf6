#include "script/engine/script_xml.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace vgl {
namespace {

std::string Save(const TfsXMLDocument& doc) {
    TMemoryStream stream;
    doc.SaveToStream(stream);
    return std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.GetSize()));
}

void Load(TfsXMLDocument& doc, const std::string& text) {
    TStringStream stream{RawByteString(text)};
    doc.LoadFromStream(stream);
}

bool XmllintAccepts(const std::string& text) {
    char name[] = "/tmp/fsxmlXXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        return false;
    FILE* f = fdopen(fd, "wb");
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    const int rc = std::system((std::string("xmllint --noout ") + name + " 2>/dev/null").c_str());
    std::remove(name);
    return rc == 0;
}

TfsXMLDocument& MakeSample(TfsXMLDocument& doc) {
    doc.Root()->SetName(u"a");
    doc.Root()->SetText(u"x=\"1\"");
    doc.Root()->Add()->SetName(u"b");
    return doc;
}

TEST(ScriptXml, SavesOneLineOrIndentedLines) {
    TfsXMLDocument doc;
    MakeSample(doc);
    const std::string flat = Save(doc);
    EXPECT_EQ(flat, "<?xml version=\"1.0\"?><a x=\"1\"><b/></a>");
    doc.SetAutoIndent(true);
    const std::string indented = Save(doc);
    EXPECT_EQ(indented, "<?xml version=\"1.0\"?>\r\n<a x=\"1\">\r\n  <b/>\r\n</a>\r\n");
    EXPECT_TRUE(XmllintAccepts(flat));
    EXPECT_TRUE(XmllintAccepts(indented));
}

TEST(ScriptXml, PropertiesEscapeAndRoundTrip) {
    TfsXMLItem item;
    item.SetProp(u"Name", u"a\"b<c>&d\r\n");
    EXPECT_EQ(item.Text(), u"Name=\"a&#34;b&#60;c&#62;&#38;d&#13;&#10;\"");
    EXPECT_EQ(item.GetProp(u"NAME"), u"a\"b<c>&d\r\n");

    // Literal references survive a round trip.
    for (const String value : {u"&amp;", u"&#65;", u"&quot;", u"&#", u"&"}) {
        TfsXMLItem p;
        p.SetProp(u"v", value);
        EXPECT_EQ(p.GetProp(u"v"), value);
    }

    TfsXMLItem q;
    q.SetText(u"a=\"1\"");
    q.SetProp(u"b", u"2");
    EXPECT_EQ(q.Text(), u"a=\"1\" b=\"2\"");
    q.SetProp(u"A", u"3");
    EXPECT_EQ(q.Text(), u"A=\"3\" b=\"2\"");
    EXPECT_TRUE(q.PropExists(u"b"));
    EXPECT_FALSE(q.PropExists(u"c"));
    EXPECT_EQ(q.GetProp(u"c"), u"");
}

TEST(ScriptXml, UnescapesReferences) {
    EXPECT_EQ(fsXMLUnescapeText(u"&#65;&#$42;&quot;&amp;"), u"AB\"&amp;");
    EXPECT_EQ(fsXMLUnescapeText(u"&#128512;"), u"\U0001F600");
    EXPECT_EQ(fsXMLUnescapeText(u"x&#65"), u"x&#65"); // no ';' before the end
    EXPECT_THROW(fsXMLUnescapeText(u"&#zz;"), EConvertError);
}

TEST(ScriptXml, FindItemCreatesOnce) {
    TfsXMLItem root;
    TfsXMLItem* f = root.FindItem(u"Functions");
    EXPECT_EQ(root.FindItem(u"functions"), f);
    EXPECT_EQ(root.Count(), 1);
}

TEST(ScriptXml, MovesItemsBetweenParents) {
    TfsXMLItem a, b;
    TfsXMLItem* child = a.Add();
    a.Add();
    b.InsertItem(0, child);
    EXPECT_EQ(a.Count(), 1);
    EXPECT_EQ(b.Count(), 1);
    EXPECT_EQ(child->Parent(), &b);
    TfsXMLItem copy;
    copy.Assign(&b);
    EXPECT_EQ(copy.Count(), 1);
}

TEST(ScriptXml, AssignsFromItsOwnSubtreeOrAncestor) {
    TfsXMLItem root;
    root.SetName(u"r");
    TfsXMLItem* child = root.Add();
    child->SetName(u"c");
    child->Add()->SetName(u"g");

    // From an ancestor: the copy holds the ancestor as it was, once.
    child->Assign(&root);
    ASSERT_EQ(child->Count(), 1);
    EXPECT_EQ(child->Name(), u"r");
    EXPECT_EQ(child->Items(0)->Name(), u"c");
    ASSERT_EQ(child->Items(0)->Count(), 1);
    EXPECT_EQ(child->Items(0)->Items(0)->Name(), u"g");
    EXPECT_EQ(child->Items(0)->Parent(), child);

    // From a descendant, which the clearing frees.
    root.Assign(child->Items(0));
    EXPECT_EQ(root.Name(), u"c");
    ASSERT_EQ(root.Count(), 1);
    EXPECT_EQ(root.Items(0)->Name(), u"g");
    EXPECT_EQ(root.Items(0)->Parent(), &root);
}

TEST(ScriptXml, LoadsAndChecksStructure) {
    TfsXMLDocument doc;
    // Three dashes and '>' do not end a comment: "d" runs on to the next "-->".
    Load(doc, "<?xml version=\"1.0\"?>\r\n<a x=\"1\">text<!-- c --><b/><!-- d ---><c/>--><e/></a>");
    ASSERT_EQ(doc.Root()->Name(), u"a");
    ASSERT_EQ(doc.Root()->Count(), 2);
    EXPECT_EQ(doc.Root()->Items(0)->Name(), u"b");
    EXPECT_EQ(doc.Root()->Items(1)->Name(), u"e");

    Load(doc, "<?xml version=\"1.0\"?><a><b y=\"&#34;\"/><c></C></A>");
    ASSERT_EQ(doc.Root()->Count(), 2);
    EXPECT_EQ(doc.Root()->Items(0)->GetProp(u"y"), u"\"");

    const char* bad[] = {
        "<xml?>",                      // not a header
        "<?xml?><a><b></a>",           // closing tag of another element
        "<?xml?><a><b x=\"1<\"/></a>", // '<' inside a tag
        "<?xml?><a><b",                // cut off inside a tag
        "<?xml?><a><b>",               // cut off inside open elements
    };
    for (const char* text : bad) {
        try {
            Load(doc, text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), u"Invalid file format") << text;
        }
    }
}

TEST(ScriptXml, LeavesStreamAfterRoot) {
    TStringStream stream{RawByteString("<?xml version=\"1.0\"?><a><b/></a>TRAILING")};
    TfsXMLDocument doc;
    doc.LoadFromStream(stream);
    EXPECT_EQ(stream.GetPosition(), 32); // right after "</a>"
}

// The tree as one text: names, attribute texts and nesting. Blanks that start an attribute text
// only separate it from the name (the writer puts one blank there), so they are left out.
std::string Dump(const TfsXMLItem& item) {
    const String& text = item.Text();
    const String attributes = text.substr(std::min(text.find_first_not_of(u' '), text.size()));
    std::string out = StringToUtf8(item.Name()) + "[" + StringToUtf8(attributes) + "](";
    for (int i = 0; i < item.Count(); ++i)
        out += Dump(*item.Items(i));
    return out + ")";
}

TEST(ScriptXml, RandomInputIsRefusedOrReadsBackAsWritten) {
    std::mt19937 rng(7);
    const std::string alphabet = "<>/?xml !-=\"ab&#;";
    TfsXMLDocument doc;
    int loaded = 0, refused = 0;
    for (int n = 0; n < 3000; ++n) {
        std::string text = "<?xml?>";
        const int len = int(rng() % 40);
        for (int i = 0; i < len; ++i)
            text += (rng() % 8 == 0) ? char(rng() % 256) : alphabet[rng() % alphabet.size()];
        try {
            Load(doc, text);
        } catch (const Exception& e) {
            // Bad input has one answer.
            ASSERT_EQ(e.Message(), u"Invalid file format") << text;
            ++refused;
            continue;
        }
        ++loaded;
        for (int i = 0; i < doc.Root()->Count(); ++i)
            doc.Root()->Items(i)->GetProp(u"a");
        // What was read is written so that it reads back to the same tree and the same text.
        const std::string written = Save(doc);
        TfsXMLDocument again;
        ASSERT_NO_THROW(Load(again, written)) << text << "\nwritten: " << written;
        ASSERT_EQ(Dump(*again.Root()), Dump(*doc.Root())) << text;
        ASSERT_EQ(Save(again), written) << text;
    }
    // Both roads were taken often.
    EXPECT_GT(loaded, 100);
    EXPECT_GT(refused, 100);
}

} // namespace
} // namespace vgl
