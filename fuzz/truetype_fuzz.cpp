// TrueType files and collections as the PDF export's subsetter reads them: the face is chosen by
// name, a few glyphs (the first, the last and those of some characters) are kept and the face is
// packed; the subset must read back with the same number of glyphs.
// links: vgl_report_export
#include "fuzz/fuzz_input.h"
#include "report/export/truetype_font.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::Guarded([&] {
        TrueTypeCollection collection;
        collection.Initialize(std::span<const std::uint8_t>(data, size));
        TrueTypeFont* ttf = collection.LoadFont(u"Arial Narrow", size % 2 == 1, size % 3 == 1);
        if (!ttf)
            return;
        std::vector<std::uint32_t> keep = {0};
        if (ttf->NumGlyphs() > 0)
            keep.push_back(std::uint32_t(ttf->NumGlyphs() - 1));
        if (ttf->cmap_table)
            for (char16_t c : {u'A', u'E', u' ', u'\u0400', u'\u20AC'})
                keep.push_back(ttf->cmap_table->GetGlyphIndex(c));
        const int glyphs = ttf->NumGlyphs();
        const std::vector<std::uint8_t> subset = collection.PackFont(*ttf, keep);

        TrueTypeCollection again;
        again.Initialize(subset);
        TrueTypeFont* packed = again.LoadFont(u"Arial Narrow", false, false);
        fuzz::Require(packed != nullptr && packed->NumGlyphs() == glyphs);
    });
    return 0;
}
