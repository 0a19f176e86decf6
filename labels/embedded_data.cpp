#include "labels/embedded_data.h"

#include <algorithm>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

VGL_DEFINE_CLASS(TComponentEmbedded) {}

VGL_DEFINE_CLASS(TDataEmbedded) {
    b.Property(u"AboutInfo", &TDataEmbedded::FAboutInfo).Stored(false);
    b.Property(u"OnLoading", &TDataEmbedded::OnLoading);
    b.Property(u"OnLoaded", &TDataEmbedded::OnLoaded);
    b.Property(u"OnSaving", &TDataEmbedded::OnSaving);
    b.Property(u"OnSaved", &TDataEmbedded::OnSaved);
    b.Property(u"OnChange", &TDataEmbedded::OnChange);
}

void CopyInBlocks(TStream& source, TStream& dest, std::int64_t count) {
    if (count < 0)
        count = std::max<std::int64_t>(0, source.GetSize() - source.GetPosition());
    std::vector<std::uint8_t> block(size_t(std::min(count, TDataEmbedded::BlockSize)));
    while (count > 0) {
        const std::int64_t n = std::min(count, TDataEmbedded::BlockSize);
        source.ReadBuffer(block.data(), n);
        dest.WriteBuffer(block.data(), n);
        count -= n;
    }
}

// ---- TComponentEmbedded ---------------------------------------------------------------------

TComponentEmbedded::TComponentEmbedded(TComponent* owner) : TComponent(owner) {}

void TComponentEmbedded::SaveToStream(TStream& stream) {
    TWriter writer(stream);
    writer.SetRoot(this);
    writer.WriteProperties(*this);
}

void TComponentEmbedded::LoadFromStream(TStream& stream) {
    if (stream.GetSize() == 0)
        return;
    TReader reader(stream);
    reader.SetRoot(this);
    UpdateComponentState(csLoading, true);
    {
        UpdateComponentState(csReading, true);
        const TScopeExit endReading([&] { UpdateComponentState(csReading, false); });
        const TScopeFail endLoading([&] { UpdateComponentState(csLoading, false); });
        while (!reader.EndOfStream())
            reader.ReadProperty(*this);
    }
    Loaded();
}

void TComponentEmbedded::DefineProperties(TFiler& filer) {
    TComponent::DefineProperties(filer);
    FFiler = &filer;
    const TScopeExit forget([&] { FFiler = nullptr; });
    DefineEmbeddedProperties();
}

void TComponentEmbedded::ReadTextProperty(TReader&) {}
void TComponentEmbedded::WriteTextProperty(TWriter&) {}
void TComponentEmbedded::ReadBinaryProperty(TStream&) {}
void TComponentEmbedded::WriteBinaryProperty(TStream&) {}

void TComponentEmbedded::DefineTextProperty(const String& name, bool hasData) {
    if (!FFiler)
        return;
    FFilerTag = name;
    FFiler->DefineProperty(
        name,
        [this, name](TReader& reader) {
            FFilerTag = name;
            ReadTextProperty(reader);
        },
        [this, name](TWriter& writer) {
            FFilerTag = name;
            WriteTextProperty(writer);
        },
        hasData);
}

void TComponentEmbedded::DefineBinaryProperty(const String& name, bool hasData) {
    if (!FFiler)
        return;
    FFilerTag = name;
    FFiler->DefineBinaryProperty(
        name,
        [this, name](TStream& stream) {
            FFilerTag = name;
            ReadBinaryProperty(stream);
        },
        [this, name](TStream& stream) {
            FFilerTag = name;
            WriteBinaryProperty(stream);
        },
        hasData);
}

bool TComponentEmbedded::IsFilerTag(StringView name) const {
    return SameText(FFilerTag, name);
}

// ---- TDataEmbedded --------------------------------------------------------------------------

TDataEmbedded::TDataEmbedded(TComponent* owner) : TComponentEmbedded(owner) {}

TMemoryStream& TDataEmbedded::Data() {
    FStream.SetPosition(0);
    return FStream;
}

void TDataEmbedded::SetData(TStream& source) {
    FStream.Clear();
    CopyInBlocks(source, FStream);
    DoChange();
}

void TDataEmbedded::SetSize(std::int64_t size) {
    FStream.SetSize(size);
    DoChange();
}

void TDataEmbedded::DataSaveToStream(TStream& stream) {
    DoSaving();
    FStream.SetPosition(0);
    CopyInBlocks(FStream, stream, FStream.GetSize());
    DoSaved();
}

void TDataEmbedded::DataLoadFromStream(TStream& stream) {
    DoLoading();
    stream.SetPosition(0);
    CopyInBlocks(stream, FStream, stream.GetSize());
    DoLoaded();
    DoChange();
}

void TDataEmbedded::DataSaveToFile(const String& fileName) {
    DoSaving();
    FStream.SaveToFile(fileName);
    DoSaved();
}

void TDataEmbedded::DataLoadFromFile(const String& fileName) {
    DoLoading();
    FStream.LoadFromFile(fileName);
    DoLoaded();
    DoChange();
}

void TDataEmbedded::DoLoading() {
    if (OnLoading)
        OnLoading(this);
}

void TDataEmbedded::DoLoaded() {
    if (OnLoaded)
        OnLoaded(this);
}

void TDataEmbedded::DoSaving() {
    if (OnSaving)
        OnSaving(this);
}

void TDataEmbedded::DoSaved() {
    if (OnSaved)
        OnSaved(this);
}

void TDataEmbedded::DoChange() {
    if (OnChange)
        OnChange(this);
}

void TDataEmbedded::DefineEmbeddedProperties() {
    DefineBinaryProperty(EmbeddedDataName, FStream.GetSize() > 0);
}

void TDataEmbedded::ReadBinaryProperty(TStream& stream) {
    if (!IsFilerTag(EmbeddedDataName))
        return;
    std::uint8_t bytes[4];
    stream.ReadBuffer(bytes, 4);
    const auto count = std::int32_t(std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 |
                                    std::uint32_t(bytes[2]) << 16 | std::uint32_t(bytes[3]) << 24);
    const std::int64_t left = stream.GetSize() - stream.GetPosition();
    if (count < 0 || count > left)
        throw EReadError(u"EmbeddedData: the count %d does not match the %d stored bytes", {count, left});
    TMemoryStream data;
    data.SetSize(count);
    stream.ReadBuffer(data.Memory(), count);
    FStream.Clear();
    FStream.SetSize(count);
    if (count > 0)
        std::copy_n(data.Memory(), count, FStream.Memory());
}

void TDataEmbedded::WriteBinaryProperty(TStream& stream) {
    if (!IsFilerTag(EmbeddedDataName))
        return;
    const std::int64_t size = FStream.GetSize();
    if (size > INT32_MAX)
        throw EWriteError(u"EmbeddedData: %d bytes do not fit a 32-bit count", {size});
    const auto count = std::uint32_t(size);
    const std::uint8_t bytes[4] = {std::uint8_t(count), std::uint8_t(count >> 8), std::uint8_t(count >> 16),
                                   std::uint8_t(count >> 24)};
    stream.WriteBuffer(bytes, 4);
    stream.WriteBuffer(FStream.Memory(), size);
}

} // namespace vgl
