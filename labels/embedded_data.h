#pragma once
// Components that carry a block of bytes inside the program's stored forms: TComponentEmbedded,
// the base that defines its own stored properties, and TDataEmbedded, which keeps one block and
// stores it as the byte-block property "EmbeddedData" (a 32-bit little-endian count, then the
// bytes; written only when the block is not empty).

#include <cstdint>
#include <functional>

#include "platform/rtl/component.h"
#include "platform/rtl/property_encoding.h"
#include "platform/rtl/streams.h"

namespace vgl {

using TEmbeddedNotifyEvent = std::function<void(TObject* sender)>;

class TComponentEmbedded : public TComponent {
    VGL_CLASS(TComponentEmbedded, TComponent)

    explicit TComponentEmbedded(TComponent* owner);

    /// Writes the component's stored properties (published and its own) with the project's
    /// property writer (docs/PROPERTY_ENCODING.md).
    virtual void SaveToStream(TStream& stream);
    /// Reads stored properties from the stream's position to its end into the component; nothing
    /// for an empty stream. Corrupt data raises EReadError.
    virtual void LoadFromStream(TStream& stream);

    void DefineProperties(TFiler& filer) override;

protected:
    /// Defines the component's own stored properties with DefineTextProperty and
    /// DefineBinaryProperty; nothing in the base.
    virtual void DefineEmbeddedProperties() {}
    /// Handlers of the properties defined above, called with FilerTag naming the property; the
    /// base handlers do nothing.
    virtual void ReadTextProperty(TReader& reader);
    virtual void WriteTextProperty(TWriter& writer);
    virtual void ReadBinaryProperty(TStream& stream);
    virtual void WriteBinaryProperty(TStream& stream);
    /// Defines a property whose value the text handlers read and write, written when `hasData`.
    void DefineTextProperty(const String& name, bool hasData);
    /// Defines a byte-block property whose block the binary handlers read and write.
    void DefineBinaryProperty(const String& name, bool hasData);
    /// True when the property being streamed is `name` (ASCII case-insensitive).
    bool IsFilerTag(StringView name) const;

    TFiler* Filer() const { return FFiler; }
    const String& FilerTag() const { return FFilerTag; }

private:
    TFiler* FFiler = nullptr; // the filer of the current streaming call (not owned)
    String FFilerTag;
};

class TDataEmbedded : public TComponentEmbedded {
    VGL_CLASS(TDataEmbedded, TComponentEmbedded)

    explicit TDataEmbedded(TComponent* owner);

    /// The held data, positioned at 0. Reading it moves the position: one thread at a time.
    TMemoryStream& Data();
    /// Replaces the held data by the bytes of `source` from its position to its end; OnChange.
    void SetData(TStream& source);
    std::int64_t Size() const { return std::int64_t(FStream.Bytes().size()); }
    /// Sets the byte count of the held data (new bytes are zero); OnChange. A negative count
    /// raises EStreamError.
    void SetSize(std::int64_t size);

    /// OnSaving; the whole held data to `stream` at its position; OnSaved.
    void DataSaveToStream(TStream& stream);
    /// OnLoading; the whole of `stream` (from its start) written into the held data at the held
    /// data's position, so two calls leave both contents one after the other; OnLoaded, OnChange.
    void DataLoadFromStream(TStream& stream);
    /// OnSaving; the held data written to the file; OnSaved.
    void DataSaveToFile(const String& fileName);
    /// OnLoading; the held data replaced by the file's content; OnLoaded, OnChange. A file that
    /// cannot be read raises and leaves the data unchanged.
    void DataLoadFromFile(const String& fileName);

    TEmbeddedNotifyEvent OnLoading, OnLoaded, OnSaving, OnSaved, OnChange;

    /// Name of the stored byte-block property.
    static constexpr const char16_t* EmbeddedDataName = u"EmbeddedData";
    /// Bytes copied at a time.
    static constexpr std::int64_t BlockSize = 1 << 20;

protected:
    virtual void DoLoading();
    virtual void DoLoaded();
    virtual void DoSaving();
    virtual void DoSaved();
    virtual void DoChange();

    void DefineEmbeddedProperties() override;
    /// Reads "EmbeddedData": the count, then that many bytes. A count below 0 or beyond the
    /// stored block raises EReadError before anything is allocated; the held data is replaced
    /// only once the whole block is read.
    void ReadBinaryProperty(TStream& stream) override;
    /// Writes "EmbeddedData"; data of 2^31 bytes or more raises EWriteError (the count is 32 bits).
    void WriteBinaryProperty(TStream& stream) override;

private:
    String FAboutInfo; // shown by designers only
    TMemoryStream FStream;
};

/// Copies `count` bytes (all that remain when count < 0) from `source` to `dest` in blocks of
/// TDataEmbedded::BlockSize; raises EReadError when the source ends early.
void CopyInBlocks(TStream& source, TStream& dest, std::int64_t count = -1);

} // namespace vgl
