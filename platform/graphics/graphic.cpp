#include "platform/graphics/graphic.h"

#include <mutex>
#include <shared_mutex>
#include <typeinfo>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/icon.h"
#include "platform/graphics/jpeg_image.h"
#include "platform/graphics/metafile_files.h"
#include "platform/graphics/png_image.h"
#include "platform/rtl/property_encoding.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

VGL_DEFINE_CLASS(TGraphic) {}
VGL_DEFINE_CLASS(TPicture) {}

void CheckGraphicSize(std::int64_t width, std::int64_t height) {
    if (width < 0 || height < 0)
        throw EInvalidGraphic(u"Image size is invalid");
    if (width > MaxGraphicSide || height > MaxGraphicSide || width * height > MaxGraphicPixels)
        throw EInvalidGraphic(u"Image is too large");
}

void TGraphic::SetWidth(int) {
    throw EInvalidGraphicOperation(u"Cannot change the size of a " + ClassName());
}
void TGraphic::SetHeight(int) {
    throw EInvalidGraphicOperation(u"Cannot change the size of a " + ClassName());
}

void TGraphic::SetTransparent(bool value) {
    if (FTransparent != value) {
        FTransparent = value;
        Changed();
    }
}

void TGraphic::Changed() {
    if (OnChange)
        OnChange(this);
}

void TGraphic::LoadFromStream(TStream& stream) {
    // A stream in memory is decoded where its bytes are, without copying them first; the
    // position is at the end either way, also when decoding fails.
    if (const auto bytes = stream.ReadRemainingInPlace())
        return LoadFromBytes(*bytes);
    LoadFromBytes(stream.ReadRemaining());
}

void TGraphic::SaveToStream(TStream& stream) const {
    // Into a plain memory stream the file form is written where the stream keeps it, as one
    // Write of it would put it there, without a copy made first.
    if (typeid(stream) == typeid(TMemoryStream) && stream.GetPosition() >= 0) {
        auto& memory = static_cast<TMemoryStream&>(stream);
        if (SaveToMemory([&](std::size_t length) { return memory.WriteInPlace(std::int64_t(length)); }))
            return;
    }
    std::vector<std::uint8_t> bytes = SaveToBytes();
    std::size_t done = 0;
    while (done < bytes.size()) {
        std::int64_t n = stream.Write(bytes.data() + done, std::int64_t(bytes.size() - done));
        if (n <= 0)
            throw EWriteError(u"Stream write error");
        done += std::size_t(n);
    }
}

void TGraphic::Assign(const TPersistent* source) {
    if (auto* graphic = dynamic_cast<const TGraphic*>(source))
        return Assign(*graphic);
    TPersistent::Assign(source);
}

void TGraphic::Assign(const TGraphic& source) {
    AssignError(source);
}

bool TGraphic::AssignTo(TBitmap&) const {
    return false;
}

bool TGraphic::SaveToMemory(const std::function<std::span<std::uint8_t>(std::size_t)>&) const {
    return false;
}

namespace {

struct FormatRegistry {
    std::shared_mutex Lock;
    std::vector<TGraphicClassInfo> Classes;
    FormatRegistry() {
        Classes.push_back({u"bmp", u"Bitmaps", [](std::span<const std::uint8_t> b) { return IsBmpData(b); },
                           [] { return std::make_unique<TBitmap>(); }});
        Classes.push_back({u"png", u"Portable Network Graphics",
                           [](std::span<const std::uint8_t> b) { return IsPngData(b); },
                           [] { return std::make_unique<TPngImage>(); }});
        Classes.push_back({u"jpg", u"JPEG Image File", [](std::span<const std::uint8_t> b) { return IsJpegData(b); },
                           [] { return std::make_unique<TJPEGImage>(); }});
        Classes.push_back({u"jpeg", u"JPEG Image File", [](std::span<const std::uint8_t> b) { return IsJpegData(b); },
                           [] { return std::make_unique<TJPEGImage>(); }});
        Classes.push_back({u"ico", u"Icons", [](std::span<const std::uint8_t> b) { return IsIconData(b); },
                           [] { return std::make_unique<TIcon>(); }});
        Classes.push_back({u"emf", u"Enhanced Metafiles",
                           [](std::span<const std::uint8_t> b) { return graphics_detail::IsEmfData(b); },
                           [] { return std::make_unique<TMetafile>(); }});
        Classes.push_back({u"wmf", u"Metafiles",
                           [](std::span<const std::uint8_t> b) { return graphics_detail::IsPlaceableWmfData(b); },
                           [] { return std::make_unique<TMetafile>(); }});
    }
};

FormatRegistry& Formats() {
    static FormatRegistry registry;
    return registry;
}

} // namespace

void RegisterFileFormat(TGraphicClassInfo info) {
    FormatRegistry& r = Formats();
    std::unique_lock guard(r.Lock);
    r.Classes.push_back(std::move(info));
}

const TGraphicClassInfo* FindGraphicClass(std::span<const std::uint8_t> bytes) {
    FormatRegistry& r = Formats();
    std::shared_lock guard(r.Lock);
    for (const auto& c : r.Classes)
        if (c.Detect && c.Detect(bytes))
            return &c;
    return nullptr;
}

void UnregisterFileFormat(StringView extension) {
    if (!extension.empty() && extension[0] == u'.')
        extension.remove_prefix(1);
    FormatRegistry& r = Formats();
    std::unique_lock guard(r.Lock);
    std::erase_if(r.Classes, [&](const TGraphicClassInfo& c) {
        if (c.Extension.size() != extension.size())
            return false;
        for (size_t i = 0; i < extension.size(); ++i)
            if (AsciiLowerChar(extension[i]) != c.Extension[i])
                return false;
        return true;
    });
}

const TGraphicClassInfo* FindGraphicClassByExtension(StringView extension) {
    if (!extension.empty() && extension[0] == u'.')
        extension.remove_prefix(1);
    FormatRegistry& r = Formats();
    std::shared_lock guard(r.Lock);
    for (const auto& c : r.Classes) {
        if (c.Extension.size() != extension.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < extension.size() && same; ++i)
            same = AsciiLowerChar(extension[i]) == c.Extension[i];
        if (same)
            return &c;
    }
    return nullptr;
}

void TPicture::Changed() {
    if (OnChange)
        OnChange(this);
}

void TPicture::Assign(const TPersistent* source) {
    if (!source)
        return SetGraphic(static_cast<const TGraphic*>(nullptr));
    if (auto* picture = dynamic_cast<const TPicture*>(source))
        return Assign(*picture);
    if (auto* graphic = dynamic_cast<const TGraphic*>(source))
        return SetGraphic(graphic);
    TPersistent::Assign(source);
}

void TPicture::SetGraphic(const TGraphic* graphic) {
    SetGraphic(graphic ? graphic->Clone() : nullptr);
}

void TPicture::SetGraphic(std::unique_ptr<TGraphic> graphic) {
    FGraphic = std::move(graphic);
    if (FGraphic)
        FGraphic->OnChange = [this](TObject*) { Changed(); };
    Changed();
}

void TPicture::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    const TGraphicClassInfo* info = FindGraphicClass(bytes);
    if (!info)
        throw EInvalidGraphic(u"Unknown picture format");
    std::unique_ptr<TGraphic> graphic = info->Create();
    graphic->LoadFromBytes(bytes);
    SetGraphic(std::move(graphic));
}

void TPicture::LoadFromStream(TStream& stream) {
    if (const auto bytes = stream.ReadRemainingInPlace())
        return LoadFromBytes(*bytes);
    LoadFromBytes(stream.ReadRemaining());
}

void TPicture::SaveToStream(TStream& stream) const {
    if (FGraphic)
        FGraphic->SaveToStream(stream);
}

void TPicture::DefineProperties(TFiler& filer) {
    std::vector<std::uint8_t> bytes;
    if (dynamic_cast<TWriter*>(&filer) && FGraphic && !FGraphic->GetEmpty()) {
        try {
            bytes = FGraphic->SaveToBytes();
        } catch (const EInvalidGraphicOperation&) {
            // no file form: nothing to store
        }
    }
    const std::string name = StringToUtf8(FGraphic ? FGraphic->ClassName() : String());
    filer.DefineBinaryProperty(
        u"Data", [this](TStream& s) { ReadData(s); },
        [&](TStream& s) {
            const std::uint8_t length = std::uint8_t(std::min<size_t>(name.size(), 255));
            s.WriteBuffer(&length, 1);
            s.WriteBuffer(name.data(), length);
            s.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
        },
        !bytes.empty());
}

void TPicture::ReadData(TStream& stream) {
    const std::vector<std::uint8_t> data = stream.ReadRemaining();
    if (data.empty() || size_t(data[0]) + 1 > data.size())
        throw EInvalidGraphic(u"Invalid picture data");
    const std::span<const std::uint8_t> bytes = std::span(data).subspan(size_t(data[0]) + 1);
    if (bytes.empty())
        return SetGraphic(static_cast<const TGraphic*>(nullptr));
    LoadFromBytes(bytes);
}

} // namespace vgl
