// The fonts module: both label faces registered as real faces of "Arial Narrow" through the one
// registration path, and refused when a block is damaged.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "labels/fonts_module.h"
#include "platform/graphics/font_registry.h"
#include "platform/graphics/label_fonts.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/resources.h"
#include "platform/rtl/sysutils.h"

namespace vgl {
namespace {

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, p))
            out += buffer;
        pclose(p);
    }
    return out;
}

/// The PostScript name (name id 6) of a font file as python3-fonttools reads it.
std::string PostScriptNameByFontTools(std::span<const std::uint8_t> data) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("label_font_" + std::to_string(getpid()) + ".ttf")).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    std::string name = Shell("/usr/bin/python3 -c \"import sys; from fontTools.ttLib import TTFont; "
                             "sys.stdout.write(TTFont(sys.argv[1])['name'].getDebugName(6))\" '" +
                             path + "' 2>&1");
    std::filesystem::remove(path);
    return name;
}

class FontsModule : public ::testing::Test {
protected:
    void SetUp() override { ClearFontRegistry(); }
    void TearDown() override {
        ClearFontRegistry();
        RegisterLabelFonts();
    }
};

TEST_F(FontsModule, RegistersBothStylesAsRealFaces) {
    TDMFonts fonts(nullptr);
    EXPECT_EQ(std::size_t(fonts.FontArialNarrow()->Size()),
              FindResource(u"LiberationSansNarrow-Regular", u"FONT")->size());
    EXPECT_EQ(std::size_t(fonts.FontArialNarrowBold()->Size()),
              FindResource(u"LiberationSansNarrow-Bold", u"FONT")->size());
    EXPECT_EQ(FallbackFontFamily(), u"Arial Narrow");
    struct Case {
        bool bold;
        const char* postScriptName;
    } cases[] = {{false, "LiberationSansNarrow"}, {true, "LiberationSansNarrow-Bold"}};
    for (const Case& c : cases) {
        TFontMatch match = FindFont(u"arial narrow", c.bold, false);
        ASSERT_TRUE(match.Face) << c.postScriptName;
        EXPECT_TRUE(match.FamilyFound) << c.postScriptName;
        EXPECT_FALSE(match.SimulatedBold) << c.postScriptName;
        EXPECT_FALSE(match.SimulatedItalic) << c.postScriptName;
        EXPECT_EQ(match.Face->IsBold(), c.bold) << c.postScriptName;
        EXPECT_EQ(match.Face->Metrics().PostScriptName, c.postScriptName);
        EXPECT_EQ(PostScriptNameByFontTools(match.Face->FontData()), c.postScriptName);
    }
}

TEST_F(FontsModule, OneRegistrationPathAddsTheFacesOnce) {
    RegisterLabelFonts();
    const auto regular = FindFont(LabelFontFamily, false, false).Face;
    const auto bold = FindFont(LabelFontFamily, true, false).Face;
    TDMFonts fonts(nullptr);
    fonts.DataModuleCreate(&fonts);
    RegisterLabelFonts();
    // The same face objects still stand for the family: nothing was added again.
    EXPECT_EQ(FindFont(LabelFontFamily, false, false).Face, regular);
    EXPECT_EQ(FindFont(LabelFontFamily, true, false).Face, bold);
    std::size_t aliases = 0;
    for (const String& family : RegisteredFontFamilies())
        aliases += SameText(family, LabelFontFamily) ? 1 : 0;
    EXPECT_EQ(aliases, 1u);
}

TEST_F(FontsModule, DamagedBlocksRaise) {
    const auto regularBytes = *FindResource(u"LiberationSansNarrow-Regular", u"FONT");
    struct Case {
        const char* what;
        bool boldBlock;
        std::vector<std::uint8_t> data;
    } cases[] = {
        {"empty regular block", false, {}},
        {"cut regular block", false, std::vector<std::uint8_t>(regularBytes.begin(), regularBytes.begin() + 64)},
        {"zeros as the bold block", true, std::vector<std::uint8_t>(4096, 0)},
        {"the regular face as the bold block", true,
         std::vector<std::uint8_t>(regularBytes.begin(), regularBytes.end())},
    };
    for (const Case& c : cases) {
        ClearFontRegistry();
        TDMFonts fonts(nullptr);
        TBytesStream damaged(c.data);
        (c.boldBlock ? fonts.FontArialNarrowBold() : fonts.FontArialNarrow())->SetData(damaged);
        // In an empty registry and in one that holds the good faces alike.
        for (bool clearFirst : {true, false}) {
            if (clearFirst)
                ClearFontRegistry();
            try {
                fonts.DataModuleCreate(&fonts);
                ADD_FAILURE() << c.what << " was accepted";
            } catch (const EInvalidOperation& e) {
                const std::string message = StringToUtf8(e.Message());
                EXPECT_NE(message.find(c.boldBlock ? "Arial Narrow Bold" : "Arial Narrow Regular"), std::string::npos)
                    << c.what << ": " << message;
            }
        }
    }
}

TEST_F(FontsModule, AFamilyFoundOnlyAsFallbackRaises) {
    // Faces of another family do not stand for "Arial Narrow": registering a regular block that
    // is a bold face is refused before the registry changes.
    const auto boldBytes = *FindResource(u"LiberationSansNarrow-Bold", u"FONT");
    AddFontMemResource(boldBytes); // "Liberation Sans Narrow" only
    EXPECT_FALSE(FindFont(LabelFontFamily, false, false).FamilyFound);
    EXPECT_THROW(RegisterLabelFonts(boldBytes, boldBytes), EInvalidOperation);
    EXPECT_FALSE(FontFamilyExists(LabelFontFamily));
}

} // namespace
} // namespace vgl
