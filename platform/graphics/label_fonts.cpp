// The two label fonts: the program's own narrow sans-serif faces, registered under the family
// the label templates name.

#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "platform/graphics/font_registry.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/resources.h"

#ifndef VGL_LABEL_FONT_DIR
#define VGL_LABEL_FONT_DIR "platform/graphics/fonts"
#endif

namespace vgl {

namespace {

constexpr const char16_t* LabelFamily = u"Arial Narrow";

// The font files are compiled into the program as resources of type "FONT"; the folder the
// build names is the fallback when a program was linked without them.
std::vector<std::uint8_t> ReadLabelFont(const char* fileName) {
    std::string name(fileName);
    name.resize(name.size() - 4); // without ".ttf"
    if (auto bytes = FindResource(ToString(name), u"FONT"))
        return std::vector<std::uint8_t>(bytes->begin(), bytes->end());
    std::string path = std::string(VGL_LABEL_FONT_DIR) + "/" + fileName;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw EFOpenError(u"Cannot open file \"" + Utf8ToString(path) + u"\"");
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

void RegisterLabelFonts() {
    static std::mutex lock;
    std::lock_guard guard(lock);
    bool haveRegular = false, haveBold = false;
    if (FontFamilyExists(LabelFamily)) {
        haveRegular = !FindFont(LabelFamily, false, false).SimulatedBold;
        TFontMatch bold = FindFont(LabelFamily, true, false);
        haveBold = bold.FamilyFound && !bold.SimulatedBold;
    }
    if (!haveRegular)
        AddFontMemResource(ReadLabelFont("LiberationSansNarrow-Regular.ttf"), LabelFamily);
    if (!haveBold)
        AddFontMemResource(ReadLabelFont("LiberationSansNarrow-Bold.ttf"), LabelFamily);
    SetFallbackFontFamily(LabelFamily);
}

} // namespace vgl
