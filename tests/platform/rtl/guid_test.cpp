#include "platform/rtl/guid.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

TEST(Guid, TextRoundTrip) {
    struct Case {
        const char16_t* Text;
        TGUID Guid;
        const char16_t* Canonical;
    } cases[] = {
        {u"{00000000-0000-0000-0000-000000000000}", GUID_NULL, u"{00000000-0000-0000-0000-000000000000}"},
        {u"{C7D24186-D600-465C-9B09-4E1E2CF835BE}",
         {0xC7D24186, 0xD600, 0x465C, {0x9B, 0x09, 0x4E, 0x1E, 0x2C, 0xF8, 0x35, 0xBE}},
         u"{C7D24186-D600-465C-9B09-4E1E2CF835BE}"},
        {u"{c7d24186-d600-465c-9b09-4e1e2cf835be}",
         {0xC7D24186, 0xD600, 0x465C, {0x9B, 0x09, 0x4E, 0x1E, 0x2C, 0xF8, 0x35, 0xBE}},
         u"{C7D24186-D600-465C-9B09-4E1E2CF835BE}"},
        {u"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}",
         {0xFFFFFFFF, 0xFFFF, 0xFFFF, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
         u"{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}"},
    };
    for (const Case& c : cases) {
        TGUID g = StringToGUID(c.Text);
        EXPECT_TRUE(IsEqualGUID(g, c.Guid)) << StringToUtf8(c.Text);
        EXPECT_EQ(GUIDToString(g), c.Canonical);
    }
    EXPECT_TRUE(IsNullGUID(StringToGUID(u"{00000000-0000-0000-0000-000000000000}")));
}

TEST(Guid, BadTextRaises) {
    const char16_t* bad[] = {
        u"",
        u"C7D24186-D600-465C-9B09-4E1E2CF835BE",    // no braces
        u"{C7D24186-D600-465C-9B09-4E1E2CF835B}",   // one digit short
        u"{C7D24186-D600-465C-9B09-4E1E2CF835BEE}", // one digit long
        u"{C7D24186+D600-465C-9B09-4E1E2CF835BE}",  // wrong separator
        u"{C7D24186-D600-465C-9B094-E1E2CF835BE}",  // separator misplaced
        u"{G7D24186-D600-465C-9B09-4E1E2CF835BE}",  // not hexadecimal
        u"(C7D24186-D600-465C-9B09-4E1E2CF835BE)",  // wrong brackets
        u"{ C7D24186-D600-465C-9B09-4E1E2CF835B}",  // blank
    };
    for (const char16_t* text : bad) {
        TGUID g;
        EXPECT_FALSE(TryStringToGUID(text, g)) << StringToUtf8(text);
        try {
            StringToGUID(text);
            ADD_FAILURE() << StringToUtf8(text);
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), u"'" + String(text) + u"' is not a valid GUID value");
        }
    }
}

TEST(Guid, CreatedGuidsAreRandomVersion4) {
    std::set<String> seen;
    for (int i = 0; i < 1000; ++i) {
        TGUID g = CreateGUID();
        EXPECT_EQ(g.D3 >> 12, 4);
        EXPECT_EQ(g.D4[0] & 0xC0, 0x80);
        String text = GUIDToString(g);
        EXPECT_EQ(text.size(), 38u);
        EXPECT_TRUE(IsEqualGUID(StringToGUID(text), g));
        seen.insert(text);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

} // namespace
} // namespace vgl
