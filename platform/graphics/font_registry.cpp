#include "platform/graphics/font_registry.h"

#include <algorithm>
#include <mutex>
#include <shared_mutex>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

struct Entry {
    String Family;
    std::shared_ptr<const TFontFace> Face;
};

struct Registry {
    std::shared_mutex Lock;
    std::vector<Entry> Entries;
    String Fallback;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

} // namespace

int AddFontMemResource(std::span<const std::uint8_t> data, StringView familyAlias) {
    int count = TFontFace::FaceCount(data);
    if (count <= 0)
        throw EArgumentException(u"Font data is not a TrueType or OpenType font");
    // Each face keeps tables of its own, so a small collection naming one face many times
    // would otherwise cost memory far beyond its size.
    if (count > MaxFontFaces)
        throw EArgumentException(u"Font collection holds too many faces");
    auto bytes = std::make_shared<const std::vector<std::uint8_t>>(data.begin(), data.end());
    std::vector<std::shared_ptr<const TFontFace>> faces;
    for (int i = 0; i < count; ++i)
        faces.push_back(TFontFace::Load(bytes, i));
    Registry& r = TheRegistry();
    std::unique_lock guard(r.Lock);
    for (auto& face : faces) {
        r.Entries.push_back({face->FamilyName(), face});
        if (!familyAlias.empty() && !SameText(familyAlias, face->FamilyName()))
            r.Entries.push_back({String(familyAlias), face});
    }
    if (r.Fallback.empty())
        r.Fallback = familyAlias.empty() ? faces.front()->FamilyName() : String(familyAlias);
    return count;
}

TFontMatch FindFont(StringView family, bool bold, bool italic) {
    Registry& r = TheRegistry();
    std::shared_lock guard(r.Lock);
    if (r.Entries.empty())
        throw EInvalidOperation(u"No font is registered");
    std::vector<const Entry*> candidates;
    for (const auto& e : r.Entries)
        if (SameText(e.Family, family))
            candidates.push_back(&e);
    TFontMatch match;
    match.FamilyFound = !candidates.empty();
    if (candidates.empty())
        for (const auto& e : r.Entries)
            if (SameText(e.Family, r.Fallback))
                candidates.push_back(&e);
    if (candidates.empty())
        candidates.push_back(&r.Entries.front());
    // Score: a matching weight counts more than a matching slant; a face heavier or more
    // slanted than asked is still better than none (it cannot be thinned or straightened).
    const Entry* best = nullptr;
    int bestScore = -1;
    for (const Entry* e : candidates) {
        int score = (e->Face->IsBold() == bold ? 4 : 0) + (e->Face->IsItalic() == italic ? 2 : 0);
        if (score > bestScore) {
            bestScore = score;
            best = e;
        }
    }
    match.Face = best->Face;
    match.SimulatedBold = bold && !best->Face->IsBold();
    match.SimulatedItalic = italic && !best->Face->IsItalic();
    return match;
}

TFontMatch FindFont(const TFontData& font) {
    return FindFont(font.Name, font.Style.Contains(fsBold), font.Style.Contains(fsItalic));
}

bool FontFamilyExists(StringView family) {
    Registry& r = TheRegistry();
    std::shared_lock guard(r.Lock);
    return std::any_of(r.Entries.begin(), r.Entries.end(),
                       [&](const Entry& e) { return SameText(e.Family, family); });
}

std::vector<String> RegisteredFontFamilies() {
    Registry& r = TheRegistry();
    std::shared_lock guard(r.Lock);
    std::vector<String> families;
    for (const auto& e : r.Entries)
        if (std::none_of(families.begin(), families.end(), [&](const String& f) { return SameText(f, e.Family); }))
            families.push_back(e.Family);
    return families;
}

void SetFallbackFontFamily(StringView family) {
    Registry& r = TheRegistry();
    std::unique_lock guard(r.Lock);
    r.Fallback = String(family);
}

String FallbackFontFamily() {
    Registry& r = TheRegistry();
    std::shared_lock guard(r.Lock);
    return r.Fallback;
}

void ClearFontRegistry() {
    Registry& r = TheRegistry();
    std::unique_lock guard(r.Lock);
    r.Entries.clear();
    r.Fallback.clear();
}

} // namespace vgl
