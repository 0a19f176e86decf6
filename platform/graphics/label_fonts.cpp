// The two label fonts: the program's own narrow sans-serif faces, registered under the family
// the label templates name.

#include "platform/graphics/label_fonts.h"

#include <algorithm>
#include <mutex>

#include "platform/graphics/font_registry.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/resources.h"

namespace vgl {

namespace {

std::mutex& RegistrationLock() {
    static std::mutex lock;
    return lock;
}

String FaceText(bool bold) {
    return String(LabelFontFamily) + (bold ? u" Bold" : u" Regular");
}

/// The registered face of the label family in that style, when it is a real face (not the
/// fallback family, not a simulated style).
std::shared_ptr<const TFontFace> RealLabelFace(bool bold) {
    if (!FontFamilyExists(LabelFontFamily))
        return nullptr;
    TFontMatch match = FindFont(LabelFontFamily, bold, false);
    if (!match.FamilyFound || match.SimulatedBold || match.SimulatedItalic || match.Face->IsBold() != bold)
        return nullptr;
    return match.Face;
}

bool SameBytes(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

void RegisterLabelFace(std::span<const std::uint8_t> data, bool bold) {
    auto present = RealLabelFace(bold);
    if (present && SameBytes(present->FontData(), data))
        return; // registered before
    // The bytes are checked before they reach the registry, so a wrong block leaves it as it was.
    try {
        if (TFontFace::FaceCount(data) != 1)
            throw EArgumentException(u"the font data is not a single TrueType or OpenType face");
        auto face = TFontFace::Load(data);
        if (face->IsBold() != bold || face->IsItalic())
            throw EArgumentException(u"the font data holds the face %s %s", {face->FamilyName(), face->StyleName()});
        AddFontMemResource(data, LabelFontFamily);
    } catch (const Exception& e) {
        throw EInvalidOperation(u"The label font %s cannot be registered: %s", {FaceText(bold), e.Message()});
    }
    auto found = RealLabelFace(bold);
    if (!found || !SameBytes(found->FontData(), data))
        throw EInvalidOperation(u"The label font %s cannot be registered: another face of that style stands for it",
                                {FaceText(bold)});
}

std::span<const std::uint8_t> EmbeddedLabelFont(const char16_t* name) {
    auto bytes = FindResource(name, u"FONT");
    if (!bytes)
        throw EInvalidOperation(u"The label font resource %s is missing", {String(name)});
    return *bytes;
}

} // namespace

void RegisterLabelFonts(std::span<const std::uint8_t> regular, std::span<const std::uint8_t> bold) {
    std::lock_guard guard(RegistrationLock());
    RegisterLabelFace(regular, false);
    RegisterLabelFace(bold, true);
    SetFallbackFontFamily(LabelFontFamily);
}

void RegisterLabelFonts() {
    RegisterLabelFonts(EmbeddedLabelFont(u"LiberationSansNarrow-Regular"),
                       EmbeddedLabelFont(u"LiberationSansNarrow-Bold"));
}

} // namespace vgl
