#include "report/foundation/xml_escaping.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/variant.h"

namespace vgl {
namespace {

TEST(XMLEscapeText, EscapesTheEngineCharacters) {
    struct Case {
        String in, out;
    };
    const String longPlain(40, u'x');
    const Case cases[] = {
        {u"a\"b&c<d>", u"a&#34;b&#38;c&#60;d&#62;"},
        {u"x &quot; y", u"x &#34; y"},
        {u"\r\n", u"&#13;&#10;"},
        {String(u"a\0b", 3), u"a b"},
        {longPlain + String(1, u'\0') + u"<", longPlain + u" &#60;"}, // long text takes the same rules
        {u"it's\ttab &apos;", u"it's\ttab &#38;apos;"},
        {u"&quot", u"&#38;quot"},
        {u"", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(XMLEscapeText(c.in), c.out) << StringToUtf8(c.in);
}

TEST(XMLEscapeText, EscapeCharAtReplacesOnePosition) {
    String s = u"a<b";
    XMLEscapeCharAt(s, 2);
    EXPECT_EQ(s, u"a&#60;b");
    XMLEscapeCharAt(s, 1); // plain character
    XMLEscapeCharAt(s, 99);
    EXPECT_EQ(s, u"a&#60;b");
}

TEST(XMLUnescapeText, DecodesReferences) {
    struct Case {
        String in, out;
    };
    const Case cases[] = {
        {u"&amp;lt;", u"&lt;"}, // never rescans a produced character
        {u"a&#34;b&#38;c&#60;d&#62;", u"a\"b&c<d>"},
        {u"&quot;&amp;&lt;&gt;", u"\"&<>"},
        {u"&apos;&nbsp;", u"&apos;&nbsp;"},
        {u"a&", u"a&"},
        {u"&#65", u"&#65"},             // no ';': kept, no read past the end
        {u"x&#12", u"x&#12"},           // too short to be a reference
        {u"&#1114112;", u"&#1114112;"}, // above U+10FFFF: kept
        {u"&#128512;", u"\U0001F600"},  // above FFFF: a surrogate pair
        {u"&#65;&#66;", u"AB"},
        {u"&#38;#34;x&#38;#34;", u"&#34;x&#34;"}, // one level per call
    };
    for (const auto& c : cases)
        EXPECT_EQ(XMLUnescapeText(c.in), c.out) << StringToUtf8(c.in);
}

TEST(XMLUnescapeText, NonIntegerReferenceRaisesConversionError) {
    EXPECT_THROW(XMLUnescapeText(u"&#1a;"), EConvertError);
}

TEST(XMLUnescapeText, InvertsEscaping) {
    const String texts[] = {u"plain", u"<a href=\"x&y\">\r\n</a>", u"\U0001F600 &amp; \u00e9", String(300, u'&')};
    for (const auto& t : texts)
        EXPECT_EQ(XMLUnescapeText(XMLEscapeText(t)), t);
}

TEST(VariantToXMLText, GivesAttributeTextByKind) {
    struct Case {
        Variant in;
        String out;
    };
    const Case cases[] = {
        {Variant(42), u"42"},
        {Variant(short(-7)), u"-7"},
        {Variant((unsigned char)200), u"200"},
        {Variant(1.5), u"1.5"},
        {Variant::FromCurrency(12345), u"1.2345"},
        {Variant(true), u"1"},
        {Variant(false), u"0"},
        {Variant(String(u"a<b")), u"a&#60;b"},
        {Variant(), u""},
        {Null(), u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VariantToXMLText(c.in), c.out) << StringToUtf8(c.out);
}

} // namespace
} // namespace vgl
