#include "platform/xml/xml_dom.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace vgl {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::string Saved(const TXmlDom& dom) {
    const auto bytes = dom.Save();
    return {bytes.begin(), bytes.end()};
}

TEST(XmlDomParse, ErrorsGiveReasonLineAndColumn) {
    struct Case {
        std::string text;
        const char16_t* reasonPart;
        int line, column;
    } cases[] = {
        {"<a>\n  <b></c></a>", u"mismatch", 2, 10},
        {"<a>\n<b x='1' x='2'/></a>", u"redefined", 2, 15},
        {"<a/>\n<b/>", u"Extra content", 2, 1},
        {"<?xml version=\"1.0\"?>\r\n<a>\r\n\r\n&undefined;</a>", u"undefined", 4, 12},
        {"", u"empty", 1, 1},
    };
    for (const Case& c : cases) {
        TXmlDom dom;
        auto error = dom.Parse(Bytes(c.text));
        ASSERT_TRUE(error) << c.text;
        EXPECT_NE(error->Reason.find(c.reasonPart), String::npos) << StringToUtf8(error->Reason);
        EXPECT_FALSE(error->Reason.ends_with(u"\n"));
        EXPECT_EQ(error->Line, c.line) << c.text;
        EXPECT_EQ(error->Column, c.column) << c.text;
    }
}

TEST(XmlDomParse, FailedParseKeepsTheDocument) {
    TXmlDom dom;
    ASSERT_FALSE(dom.ParseText(u"<kept a=\"1\"/>"));
    EXPECT_TRUE(dom.ParseText(u"<broken>"));
    EXPECT_EQ(dom.GetXML(), u"<kept a=\"1\"/>\r\n");
}

// Input from outside must not reach files or the network, nor grow without bound.
TEST(XmlDomParse, HostileDocumentsAreRefusedOrStayInert) {
    const std::string laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE l [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
        "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
        "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">"
        "<!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\"><!ENTITY i \"&h;&h;&h;&h;&h;&h;&h;&h;&h;&h;\">"
        "<!ENTITY j \"&i;&i;&i;&i;&i;&i;&i;&i;&i;&i;\">]>";
    struct Case {
        const char* what;
        std::string text;
        bool refused;
    } cases[] = {
        {"billion laughs in content", laughs + "<l>&j;</l>", true},
        {"billion laughs in an attribute", laughs + "<l v=\"&j;\"/>", true},
        {"external entity", "<!DOCTYPE l [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><l>&x;</l>", false},
        {"external parameter entity", "<!DOCTYPE l [<!ENTITY % p SYSTEM \"file:///etc/passwd\">%p;]><l/>", false},
        {"external DTD", "<!DOCTYPE l SYSTEM \"http://127.0.0.1:9/x.dtd\"><l>&x;</l>", true},
    };
    for (const Case& c : cases) {
        TXmlDom dom;
        const auto error = dom.Parse(Bytes(c.text));
        EXPECT_EQ(bool(error), c.refused) << c.what;
        if (!error) {
            const String xml = dom.GetXML();
            EXPECT_EQ(xml.find(u"root:"), String::npos) << c.what;
            EXPECT_EQ(dom.Text(dom.DocumentElement()), u"") << c.what;
        }
        // With DTDs prohibited every one of them is refused at the DOCTYPE.
        auto prohibited = dom.Parse(Bytes(c.text), {.ProhibitDTD = true});
        ASSERT_TRUE(prohibited) << c.what;
        EXPECT_EQ(prohibited->Reason, u"DTD is prohibited.") << c.what;
    }
}

TEST(XmlDomParse, SizeAndDepthLimitsHold) {
    // A 100 MB text node is read in memory linear in its size (the address sanitizer build
    // watches the peak).
    const std::string hugeText = "<a>" + std::string(100 * 1024 * 1024, 'x') + "</a>";
    TXmlDom dom;
    ASSERT_FALSE(dom.Parse(Bytes(hugeText)));
    EXPECT_EQ(dom.Save().size(), hugeText.size() + 2);
    EXPECT_TRUE(dom.Parse(Bytes("<a>12345</a>"), {.MaxBytes = 11}));
    EXPECT_FALSE(dom.Parse(Bytes("<a>12345</a>"), {.MaxBytes = 12}));

    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<d>";
    EXPECT_TRUE(dom.Parse(Bytes(deep)));
}

TEST(XmlDomParse, DeclarationIsKeptAndSavedInTheWrittenEncoding) {
    struct Case {
        std::string text, saved;
    } cases[] = {
        {"<a>\xC3\xA4</a>", "<a>\xC3\xA4</a>\r\n"},
        {"<?xml version=\"1.0\" standalone=\"yes\"?><a/>", "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<a/>\r\n"},
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a v=\"\xE4\">\xE4</a>",
         "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<a v=\"\xC3\xA4\">\xC3\xA4</a>\r\n"},
    };
    for (const Case& c : cases) {
        TXmlDom dom;
        ASSERT_FALSE(dom.Parse(Bytes(c.text))) << c.text;
        EXPECT_EQ(Saved(dom), c.saved);
        TXmlDom again;
        EXPECT_FALSE(again.Parse(dom.Save()));
    }
}

TEST(XmlDomSave, Utf16DeclarationWritesUtf16WithByteOrderMark) {
    TXmlDom dom;
    dom.SetDeclaration(u"1.0", u"utf-16");
    dom.AppendElement(dom.DocumentNode(), u"\u00E4", std::nullopt);
    const auto bytes = dom.Save();
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFE);
    EXPECT_EQ(bytes[2], '<');
    EXPECT_EQ(bytes[3], 0);
    TXmlDom again;
    ASSERT_FALSE(again.Parse(bytes));
    EXPECT_EQ(again.Name(again.DocumentElement()), u"\u00E4");
}

// Saving in pieces: the pieces make exactly the bytes of Save (declaration, markup, escaped text
// of a size that fills many of the writer's buffers, UTF-16 too), and an exception of the
// receiver ends the save at once and comes out of it.
TEST(XmlDomSave, SaveToHandsOverTheSavedBytesInPieces) {
    for (const char16_t* encoding : {u"utf-8", u"utf-16"}) {
        TXmlDom dom;
        dom.SetDeclaration(u"1.0", encoding);
        TXmlNodeRef root = dom.AppendElement(dom.DocumentNode(), u"r", std::nullopt);
        String text;
        for (int i = 0; i < 20000; ++i)
            text += u"a&b<\r\n\u20AC";
        dom.SetText(dom.AppendElement(root, u"t", std::nullopt), text);
        std::string pieces;
        int calls = 0;
        dom.SaveTo([&](std::string_view piece) {
            pieces.append(piece);
            ++calls;
        });
        EXPECT_EQ(pieces, Saved(dom));
        if (std::u16string_view(encoding) == u"utf-8")
            EXPECT_GT(calls, 10);

        // UTF-16 is handed over in one piece.
        const int failing = std::u16string_view(encoding) == u"utf-8" ? 2 : 1;
        calls = 0;
        EXPECT_THROW(dom.SaveTo([&](std::string_view) {
            if (++calls == failing)
                throw std::runtime_error("disk full");
        }),
                     std::runtime_error);
        EXPECT_EQ(calls, failing);
    }
}

TEST(XmlDomBuild, NamespacesAreDeclaredWhereTheOutputNeedsThem) {
    TXmlDom dom;
    TXmlNodeRef root = dom.AppendElement(dom.DocumentNode(), u"s:Envelope", u"urn:s");
    TXmlNodeRef body = dom.AppendElement(root, u"s:Body", u"urn:s");
    TXmlNodeRef call = dom.AppendElement(body, u"Call", u"urn:app");
    dom.AppendElement(call, u"plain", std::nullopt);
    dom.AppendElement(call, u"s:Header", std::nullopt);
    dom.SetAttribute(root, u"xmlns:x", u"urn:x");
    dom.SetAttribute(call, u"x:type", u"t");
    EXPECT_EQ(dom.GetXML(root), u"<s:Envelope xmlns:s=\"urn:s\" xmlns:x=\"urn:x\"><s:Body><Call xmlns=\"urn:app\" "
                                u"x:type=\"t\"><plain xmlns=\"\"/><s:Header/></Call></s:Body></s:Envelope>");
    EXPECT_EQ(dom.NamespaceURI(dom.Child(call, 1)), u"urn:s");
    EXPECT_EQ(dom.NamespaceURI(dom.AttributeByName(call, u"x:type")), u"urn:x");

    EXPECT_THROW(dom.AppendElement(call, u"q:x", std::nullopt), EXmlDomError);
    EXPECT_THROW(dom.SetAttribute(call, u"q:x", u""), EXmlDomError);
    EXPECT_THROW(dom.AppendElement(call, u"1bad", std::nullopt), EXmlDomError);
    EXPECT_THROW(dom.AppendElement(dom.DocumentNode(), u"second", std::nullopt), EXmlDomError);
}

TEST(XmlDomBuild, NamespaceDeclarationsReadAsAttributes) {
    TXmlDom dom;
    ASSERT_FALSE(dom.ParseText(u"<a xmlns=\"urn:d\" xmlns:p=\"urn:p\" p:v=\"1\" w=\"2\"/>"));
    TXmlNodeRef a = dom.DocumentElement();
    ASSERT_EQ(dom.AttributeCount(a), 4);
    const char16_t* names[] = {u"xmlns", u"xmlns:p", u"p:v", u"w"};
    const char16_t* values[] = {u"urn:d", u"urn:p", u"1", u"2"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(dom.Name(dom.Attribute(a, i)), names[i]);
        EXPECT_EQ(dom.Text(dom.Attribute(a, i)), values[i]);
        EXPECT_EQ(dom.AttributeByName(a, names[i]), dom.Attribute(a, i));
    }
    EXPECT_FALSE(dom.Attribute(a, 4));
    EXPECT_EQ(dom.GetXML(dom.Attribute(a, 1)), u"xmlns:p=\"urn:p\"");
    EXPECT_EQ(dom.GetXML(dom.Attribute(a, 2)), u"p:v=\"1\"");
    // Replacing a declaration's URI in place keeps one declaration.
    dom.SetAttribute(a, u"xmlns:p", u"urn:q");
    EXPECT_EQ(dom.AttributeCount(a), 4);
    EXPECT_EQ(dom.NamespaceURI(dom.Attribute(a, 2)), u"urn:q");
}

TEST(XmlDomBuild, TextAndAttributeValuesAreNeverMarkup) {
    const String tricky = u"<![CDATA[x]]> &amp; <b/> \"'\r\n\t \u20AC";
    TXmlDom dom;
    TXmlNodeRef root = dom.AppendElement(dom.DocumentNode(), u"r", std::nullopt);
    dom.SetText(root, tricky);
    dom.SetAttribute(root, u"v", tricky);
    TXmlDom again;
    ASSERT_FALSE(again.Parse(dom.Save()));
    EXPECT_EQ(again.Text(again.DocumentElement()), tricky);
    EXPECT_EQ(again.Text(again.AttributeByName(again.DocumentElement(), u"v")), tricky);
    EXPECT_EQ(again.ChildCount(again.DocumentElement()), 1);
}

// Text given as UTF-8 is stored as the same text SetText stores; bytes that are not UTF-8
// (a stray continuation byte, a cut sequence, an overlong form, an encoded surrogate) are refused
// and the node keeps its text.
TEST(XmlDomBuild, Utf8TextEqualsTheTextAndBadBytesAreRefused) {
    const String tricky = u"<![CDATA[x]]> &amp; <b/> \"'\r\n\t \u20AC \U0001F600";
    TXmlDom wide, narrow;
    TXmlNodeRef a = wide.AppendElement(wide.DocumentNode(), u"r", std::nullopt);
    TXmlNodeRef b = narrow.AppendElement(narrow.DocumentNode(), u"r", std::nullopt);
    wide.SetText(a, tricky);
    narrow.SetTextUtf8(b, StringToUtf8(tricky));
    EXPECT_EQ(Saved(narrow), Saved(wide));
    for (const std::string bad : {"\x80", "ab\xE2\x82", "\xC0\xAF", "\xED\xA0\x80"}) {
        EXPECT_THROW(narrow.SetTextUtf8(b, bad), EXmlDomError);
        EXPECT_EQ(narrow.Text(b), tricky);
    }
}

TEST(XmlDomBuild, CDataHoldingTheEndMarkerIsSplitAndReadsBack) {
    TXmlDom dom;
    TXmlNodeRef root = dom.AppendElement(dom.DocumentNode(), u"r", std::nullopt);
    dom.AppendCData(root, u"a]]>b]]>");
    EXPECT_EQ(dom.GetXML(root), u"<r><![CDATA[a]]]]><![CDATA[>b]]]]><![CDATA[>]]></r>");
    TXmlDom again;
    ASSERT_FALSE(again.Parse(dom.Save()));
    EXPECT_EQ(again.Text(again.DocumentElement()), u"a]]>b]]>");
}

// Handles stay usable after their nodes left the tree (the address sanitizer build checks it).
TEST(XmlDomBuild, HandlesOutliveRemovalAndReplacement) {
    TXmlDom dom;
    ASSERT_FALSE(dom.ParseText(u"<a v=\"1\"><b>text</b><c/></a>"));
    TXmlNodeRef a = dom.DocumentElement();
    TXmlNodeRef b = dom.Child(a, 0);
    TXmlNodeRef text = dom.FirstChild(b);
    TXmlNodeRef c = dom.Child(a, 1);
    TXmlNodeRef v = dom.AttributeByName(a, u"v");
    TXmlNodeRef vText = dom.FirstChild(v);

    dom.RemoveChild(a, c);
    EXPECT_THROW(dom.RemoveChild(a, c), EXmlDomError);
    EXPECT_FALSE(dom.Parent(c));
    dom.SetText(b, u"new");
    dom.SetAttribute(a, u"v", u"2");
    EXPECT_EQ(dom.Text(text), u"text");
    EXPECT_EQ(dom.Text(vText), u"1");
    EXPECT_EQ(dom.Text(v), u"2");
    ASSERT_FALSE(dom.ParseText(u"<other/>"));
    EXPECT_EQ(dom.Name(c), u"c");
    EXPECT_EQ(dom.Text(b), u"new");
    dom.ClearChildren();
    EXPECT_EQ(dom.Name(a), u"a");
    EXPECT_FALSE(dom.DocumentElement());
}

TEST(XmlDomBuild, CopiesComeWithTheirNamespaces) {
    TXmlDom source;
    ASSERT_FALSE(source.ParseText(u"<p:a xmlns:p=\"urn:p\"><p:b q=\"1\">x</p:b></p:a>"));
    TXmlDom dom;
    TXmlNodeRef root = dom.AppendElement(dom.DocumentNode(), u"r", std::nullopt);
    TXmlNodeRef copy = dom.AppendCopy(root, source, source.Child(source.DocumentElement(), 0));
    EXPECT_EQ(dom.NamespaceURI(copy), u"urn:p");
    TXmlDom again;
    ASSERT_FALSE(again.Parse(dom.Save()));
    EXPECT_EQ(again.NamespaceURI(again.FirstChild(again.DocumentElement())), u"urn:p");

    TXmlDom withEntity;
    ASSERT_FALSE(withEntity.ParseText(u"<!DOCTYPE a [<!ENTITY e \"v\">]><a>&e;</a>"));
    EXPECT_THROW(dom.AppendCopy(root, withEntity, withEntity.DocumentElement()), EXmlDomError);
}

TEST(XmlDomSelect, PlainNamesMatchQualifiedNamesAndPathsUseXPath) {
    TXmlDom dom;
    ASSERT_FALSE(
        dom.ParseText(u"<r xmlns:p=\"urn:p\"><p:x n=\"1\"/><x n=\"2\"/><p:x n=\"3\"/><y><x n=\"4\"/></y></r>"));
    TXmlNodeRef r = dom.DocumentElement();
    struct Case {
        const char16_t* path;
        const char16_t* values; // the "n" attributes of the selection, in order
    } cases[] = {
        {u"p:x", u"13"}, {u"x", u"2"},           {u"z", u""},        {u"y/x", u"4"},
        {u"//x", u"24"}, {u"p:x[@n='3']", u"3"}, {u"count(x)", u""},
    };
    for (const Case& c : cases) {
        String got;
        for (TXmlNodeRef n : dom.Select(r, c.path, false))
            got += dom.Text(dom.AttributeByName(n, u"n"));
        EXPECT_EQ(got, c.values) << StringToUtf8(c.path);
    }
    EXPECT_EQ(dom.Select(r, u"p:x", true).size(), 1u);
    EXPECT_THROW(dom.Select(r, u"x[", false), EXmlDomError);
    EXPECT_THROW(dom.Select(r, u"q:x/y", false), EXmlDomError);
}

} // namespace
} // namespace vgl
