#include "remoting/core/xml_document.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "platform/rtl/streams.h"
#include "remoting/core/ro_exceptions.h"

namespace vgl {
namespace {

std::string SavedBytes(IXMLDocument& doc) {
    TMemoryStream stream;
    doc.SaveToStream(stream);
    const auto bytes = stream.Bytes();
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

IXMLDocumentPtr Parsed(const String& xml) {
    IXMLDocumentPtr doc = CreateROXmlDocument();
    doc->SetXML(xml);
    return doc;
}

template <class F> String MessageOf(F&& f) {
    try {
        f();
    } catch (const EROException& e) {
        return e.Message();
    }
    return u"(no EROException)";
}

// Runs xmllint over the document, which it gets as a file; returns its standard output without
// the final line break, or "FAILED" when it reports an error.
std::string Xmllint(const std::string& arguments, const std::string& document) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("vgl_xmllint_" + std::to_string(getpid()) + ".xml")).string();
    std::ofstream(path, std::ios::binary) << document;
    std::string output;
    if (FILE* pipe = popen(("xmllint " + arguments + " " + path + " 2>/dev/null").c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            output.append(buffer, n);
        if (pclose(pipe) != 0)
            output = "FAILED";
    }
    if (output.ends_with('\n')) {
        output.pop_back();
    }
    std::filesystem::remove(path);
    return output;
}

TEST(XmlDocument, NewGivesTheDeclarationAndAnEmptyRoot) {
    IXMLDocumentPtr doc = CreateROXmlDocument();
    doc->New(u"test");
    const std::string saved = SavedBytes(*doc);
    EXPECT_EQ(saved, "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<test/>\r\n");
    EXPECT_NE(Xmllint("--noout", saved), "FAILED");
    EXPECT_EQ(doc->GetDocumentNode()->GetName(), u"test");
    EXPECT_EQ(doc->GetDocumentNode()->GetParent()->GetName(), u"#document");

    // A second New empties the document first.
    doc->GetDocumentNode()->Add(u"child");
    doc->New(u"other", false, u"urn:o");
    EXPECT_EQ(SavedBytes(*doc), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<other xmlns=\"urn:o\"/>\r\n");
}

TEST(XmlDocument, DocumentWithoutRootRaisesDomElementIsNil) {
    IXMLDocumentPtr doc = CreateROXmlDocument();
    EXPECT_EQ(MessageOf([&] { doc->GetDocumentNode(); }), u"DOMElement is nil");
    doc->New(u"");
    EXPECT_EQ(MessageOf([&] { doc->GetDocumentNode(); }), u"DOMElement is nil");
    doc->SetXML(u"<a/>");
    EXPECT_EQ(doc->GetDocumentNode()->GetName(), u"a");
    EXPECT_EQ(doc->GetDocumentRef(), nullptr);
}

TEST(XmlDocument, AddFollowsTheNamespaceRules) {
    IXMLDocumentPtr doc = CreateROXmlDocument();
    doc->New(u"root", false, u"urn:a");
    IXMLNodePtr root = doc->GetDocumentNode();
    root->Add(u"inherits");
    root->Add(u"none", u"*");
    root->Add(u"p:other", u"urn:b")->Add(u"deeper");
    IXMLNodePtr declared = root->Add(u"declared", u"*");
    declared->AddAttribute(u"xmlns", u"urn:c");
    declared->Add(u"fromAttribute");

    const std::string saved = SavedBytes(*doc);
    struct Case {
        const char* xpath;
        const char* namespaceUri;
    } cases[] = {
        {"/*", "urn:a"},      {"/*/*[1]", "urn:a"},   {"/*/*[2]", ""},
        {"/*/*[3]", "urn:b"}, {"/*/*[3]/*", "urn:b"}, {"/*/*[4]/*", "urn:c"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Xmllint(std::string("--xpath 'namespace-uri(") + c.xpath + ")'", saved), c.namespaceUri)
            << c.xpath << "\n"
            << saved;
    EXPECT_EQ(Xmllint("--xpath 'local-name(/*/*[3]/*)'", saved), "deeper");
    EXPECT_EQ(root->GetChildren(2)->GetName(), u"p:other");
    EXPECT_EQ(root->GetChildren(2)->GetLocalName(), u"other");
    EXPECT_EQ(root->GetChildren(2)->GetNamespace(), u"urn:b");
}

// Ordinary values are text whatever they look like; CDATA sections come only from AddCData.
TEST(XmlDocument, SetValueStoresTextAndAddCDataStoresCData) {
    const String values[] = {u"<![CDATA[]]>", u"<![CDATA[a]]]]><![CDATA[>b]]>", u"<![CDATA[open only", u"a & b < c"};
    for (const String& value : values) {
        IXMLDocumentPtr doc = CreateROXmlDocument();
        doc->New(u"r");
        doc->GetDocumentNode()->SetValue(value);
        IXMLDocumentPtr again = CreateROXmlDocument();
        TMemoryStream stream;
        doc->SaveToStream(stream);
        again->LoadFromStream(stream);
        IXMLNodePtr root = again->GetDocumentNode();
        EXPECT_EQ(root->GetValue().AsString(), value);
        EXPECT_EQ(root->GetChildrenCount(), 1);
        EXPECT_EQ(root->GetFirstChild()->GetName(), u"#text");
        EXPECT_EQ(root->GetCDataValue(), u"");
    }

    IXMLDocumentPtr doc = CreateROXmlDocument();
    doc->New(u"r");
    IXMLNodePtr root = doc->GetDocumentNode();
    root->SetValue(u"before");
    IXMLNodePtr cdata = root->AddCData(u"x]]>y");
    EXPECT_EQ(cdata->GetName(), u"#cdata-section");
    EXPECT_EQ(cdata->GetCDataValue(), u"x]]>y");
    EXPECT_EQ(root->GetXML(), u"<r>before<![CDATA[x]]]]><![CDATA[>y]]></r>");
    IXMLDocumentPtr again = Parsed(doc->GetXML());
    EXPECT_EQ(again->GetDocumentNode()->GetValue().AsString(), u"beforex]]>y");

    root->SetValue(u"");
    root->AddCData(u"");
    EXPECT_EQ(root->GetChildrenCount(), 1);
    EXPECT_EQ(root->GetXML(), u"<r><![CDATA[]]></r>");
}

TEST(XmlDocument, LoadErrorsNameReasonLineAndPosition) {
    IXMLDocumentPtr doc = Parsed(u"<kept/>");
    TStringStream stream(u"<a>\r\n  <b></c>\r\n</a>");
    stream.SetPosition(stream.GetSize());
    EXPECT_EQ(MessageOf([&] { doc->LoadFromStream(stream); }),
              u"Cannot load XML document.\rReason: Opening and ending tag mismatch: b line 2 and c\rLine: 2\r"
              u"Position: 10");
    EXPECT_EQ(doc->GetDocumentNode()->GetName(), u"kept");
    EXPECT_EQ(MessageOf([&] { doc->SetXML(u"<a>"); }), u"Invalid input");

    // Loading rewinds the stream first.
    TStringStream good(u"<loaded/>");
    good.SetPosition(3);
    doc->LoadFromStream(good);
    EXPECT_EQ(doc->GetDocumentNode()->GetName(), u"loaded");
}

TEST(XmlDocument, ParseOptionsRefuseDoctypeAndOversizedInput) {
    IXMLDocumentPtr doc = CreateROXmlDocument({.ProhibitDTD = true, .MaxBytes = 64});
    TStringStream withDoctype(u"<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>");
    EXPECT_EQ(MessageOf([&] { doc->LoadFromStream(withDoctype); }),
              u"Cannot load XML document.\rReason: DTD is prohibited.\rLine: 1\rPosition: 13");
    TStringStream large(u"<a>" + String(100, u'x') + u"</a>");
    EXPECT_EQ(MessageOf([&] { doc->LoadFromStream(large); }),
              u"Cannot load XML document.\rReason: The document is larger than 64 bytes.\rLine: 0\rPosition: 0");
}

TEST(XmlDocument, GetNodeByNameSearchesFromTheStartIndex) {
    IXMLDocumentPtr doc = Parsed(u"<r xmlns:p=\"urn:p\"><x n=\"0\"/><p:x n=\"1\"/>t<x n=\"3\"/><x n=\"4\"/></r>");
    IXMLNodePtr r = doc->GetDocumentNode();
    struct Case {
        const char16_t* name;
        int start;
        bool localName;
        const char16_t* found; // "n" of the result, "" for nil
    } cases[] = {
        {u"x", 0, false, u"0"}, {u"x", 1, false, u"3"}, {u"x", 2, false, u"3"},   {u"x", 4, false, u"4"},
        {u"x", 5, false, u""},  {u"x", 1, true, u"1"},  {u"p:x", 0, false, u"1"}, {u"p:x", 2, false, u""},
        {u"X", 0, false, u""},  {u"X", 1, true, u""},   {u"x", 0, true, u"0"},
    };
    for (const Case& c : cases) {
        IXMLNodePtr found = r->GetNodeByName(c.name, c.start, c.localName);
        EXPECT_EQ(found ? found->GetAttributeValue(u"n", u"?").AsString() : String(), c.found)
            << StringToUtf8(c.name) << " " << c.start << " " << c.localName;
    }
    EXPECT_EQ(r->GetNodeValue(u"missing", 42).AsInteger(), 42);
    EXPECT_EQ(r->GetNodesByName(u"missing")->GetCount(), 0);
    EXPECT_EQ(r->GetNodesByName(u"x")->GetCount(), 3);
    EXPECT_EQ(MessageOf([&] { r->GetNodesByName(u"x")->GetNodes(3); }), u"DOMElement is nil");
}

TEST(XmlDocument, AttributesAndChildrenByIndexAndByValue) {
    IXMLDocumentPtr doc = Parsed(u"<r xmlns:p=\"urn:p\" a=\"1\" p:b=\"2\"><c k=\"x\"/>text<c k=\"y\"/></r>");
    IXMLNodePtr r = doc->GetDocumentNode();
    EXPECT_EQ(r->GetAttributeCount(), 3);
    EXPECT_EQ(r->GetAttributes(0)->GetName(), u"xmlns:p");
    EXPECT_EQ(r->GetAttributes(2)->GetNamespace(), u"urn:p");
    EXPECT_EQ(MessageOf([&] { r->GetAttributes(3); }), u"DOMElement is nil");
    EXPECT_EQ(MessageOf([&] { r->GetChildren(-1); }), u"DOMElement is nil");
    EXPECT_EQ(r->GetChildrenCount(), 3);
    EXPECT_EQ(r->GetChildren(1)->GetAttributeCount(), 0);
    EXPECT_EQ(r->GetAttributeValue(u"absent", u"default").AsString(), u"default");
    EXPECT_EQ(r->GetAttributeValue(u"p:b", u"").AsString(), u"2");
    EXPECT_FALSE(r->GetAttributeByName(u"b"));
    EXPECT_EQ(r->GetAttributeByValue(u"a", u"1")->GetName(), u"a");
    EXPECT_FALSE(r->GetAttributeByValue(u"A", u"1"));
    EXPECT_EQ(r->GetNodeByAttribute(u"k", u"y")->GetXML(), u"<c k=\"y\"/>");
    EXPECT_FALSE(r->GetNodeByAttribute(u"k", u"z"));

    EXPECT_FALSE(r->AddAttribute(u"a", 5));
    EXPECT_EQ(r->AddAttribute(u"a", 6, true)->GetValue().AsString(), u"6");
    EXPECT_EQ(r->GetAttributeCount(), 3);
    EXPECT_EQ(r->GetChildren(0)->GetNextSibling()->GetValue().AsString(), u"text");
    EXPECT_FALSE(r->GetChildren(2)->GetNextSibling());
}

TEST(XmlDocument, DeleteRemoveAndAddXml) {
    IXMLDocumentPtr doc = Parsed(u"<r><a/><b/><c/></r>");
    IXMLNodePtr r = doc->GetDocumentNode();
    IXMLNodePtr b = r->GetChildren(1);
    r->Delete(0);
    EXPECT_THROW(r->Delete(2), EXmlDomError);
    EXPECT_THROW(b->Remove(r), EXmlDomError);
    EXPECT_THROW(r->Remove(Parsed(u"<c/>")->GetDocumentNode()), EXmlDomError);
    r->Remove(b);
    EXPECT_EQ(b->GetName(), u"b");
    EXPECT_FALSE(b->GetParent());

    IXMLNodePtr added = r->AddXml(u"<?xml version=\"1.0\"?><x:n xmlns:x=\"urn:x\"><m/></x:n>");
    EXPECT_EQ(added->GetNamespace(), u"urn:x");
    EXPECT_EQ(r->GetXML(), u"<r><c/><x:n xmlns:x=\"urn:x\"><m/></x:n></r>");
    EXPECT_EQ(MessageOf([&] { r->AddXml(u"<unclosed>"); }), u"Invalid input");
}

TEST(XmlDocument, CacheFindsElementsByIdWithoutRegardToCaseButNeverTheRoot) {
    IXMLDocumentPtr doc = Parsed(u"<r id=\"root\"><a id=\"Ref-1\"><b id=\"inner\"/></a><c id=\"ref-2\"/>t<d/></r>");
    auto cache = std::dynamic_pointer_cast<IXMLDocumentCache>(doc);
    ASSERT_TRUE(cache);
    EXPECT_FALSE(cache->GetCachedNode(u"ref-1"));
    cache->EnableCache(u"id");
    struct Case {
        const char16_t* value;
        const char16_t* name; // "" for nil
    } cases[] = {{u"ref-1", u"a"}, {u"REF-2", u"c"}, {u"INNER", u"b"}, {u"root", u""}, {u"none", u""}};
    for (const Case& c : cases) {
        IXMLNodePtr node = cache->GetCachedNode(c.value);
        EXPECT_EQ(node ? node->GetName() : String(), c.name) << StringToUtf8(c.value);
    }
    cache->ClearCache();
    EXPECT_FALSE(cache->GetCachedNode(u"ref-1"));
}

TEST(XmlDocument, NodesKeepTheirDocumentAliveButTheCacheDoesNot) {
    IXMLNodePtr node;
    std::weak_ptr<IXMLDocument> weak;
    {
        IXMLDocumentPtr doc = Parsed(u"<r><a id=\"1\">v</a></r>");
        std::dynamic_pointer_cast<IXMLDocumentCache>(doc)->EnableCache(u"id");
        node = std::dynamic_pointer_cast<IXMLDocumentCache>(doc)->GetCachedNode(u"1");
        weak = doc;
    }
    ASSERT_FALSE(weak.expired());
    EXPECT_EQ(node->GetValue().AsString(), u"v");
    EXPECT_EQ(node->GetOwnerDocument()->GetDocumentNode()->GetName(), u"r");
    node.reset();
    EXPECT_TRUE(weak.expired());
}

TEST(XmlDocument, TransformsWithAStylesheet) {
    IXMLDocumentPtr doc = Parsed(u"<r><i>a</i><i>b</i></r>");
    const String toText = u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                          u"<xsl:output method=\"text\"/><xsl:template match=\"/\"><xsl:for-each select=\"r/i\">"
                          u"<xsl:value-of select=\".\"/>;</xsl:for-each></xsl:template></xsl:stylesheet>";
    EXPECT_EQ(doc->Transform(toText), u"a;b;");

    const String toXml = u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                         u"<xsl:template match=\"/\"><list n=\"{count(r/i)}\"/></xsl:template></xsl:stylesheet>";
    TMemoryStream stream;
    doc->TransformToStream(toXml, stream);
    const auto bytes = stream.Bytes();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<list n=\"2\"/>\r\n");

    EXPECT_EQ(MessageOf([&] { doc->Transform(u"<not-xml"); }), u"Couldn't load XSL stylesheet");
    EXPECT_EQ(MessageOf([&] { doc->Transform(u"<no-stylesheet/>"); }), u"Couldn't load XSL stylesheet");
    EXPECT_EQ(MessageOf([&] { doc->TransformToStream(u"<not-xml", stream); }), u"Invalid input");

    // A run that fails is reported, not answered with empty text.
    const String stops = u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                         u"<xsl:template match=\"/\">x<xsl:message terminate=\"yes\">stop</xsl:message></xsl:template>"
                         u"</xsl:stylesheet>";
    EXPECT_THROW(doc->Transform(stops), EXmlDomError);
}

TEST(XmlDocument, StylesheetsCannotReadFiles) {
    IXMLDocumentPtr doc = Parsed(u"<r/>");
    const String readsFile =
        u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
        u"<xsl:template match=\"/\"><xsl:copy-of select=\"document('file:///etc/passwd')\"/></xsl:template>"
        u"</xsl:stylesheet>";
    const String includesFile = u"<xsl:stylesheet version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\">"
                                u"<xsl:include href=\"file:///etc/passwd\"/></xsl:stylesheet>";
    try {
        EXPECT_EQ(doc->Transform(readsFile).find(u"root:"), String::npos);
    } catch (const Exception&) {
        // Refusing the whole run is as good.
    }
    EXPECT_THROW(doc->Transform(includesFile), Exception);
}

TEST(XmlDocument, SavesAndLoadsFiles) {
    const String path = Utf8ToString(
        (std::filesystem::temp_directory_path() / ("vgl_xml_doc_" + std::to_string(getpid()) + ".xml")).string());
    IXMLDocumentPtr doc = CreateROXmlDocument();
    doc->New(u"f");
    doc->GetDocumentNode()->SetValue(u"\u00E4\u20AC");
    doc->SaveToFile(path);
    IXMLDocumentPtr again = CreateROXmlDocument();
    again->LoadFromFile(path);
    std::filesystem::remove(StringToUtf8(path));
    EXPECT_EQ(again->GetDocumentNode()->GetValue().AsString(), u"\u00E4\u20AC");
    EXPECT_EQ(again->GetXML(), doc->GetXML());
}

} // namespace
} // namespace vgl
