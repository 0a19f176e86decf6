#pragma once
// Byte streams of the runtime: TStream and its memory, file, string and bytes variants.
// Positions and sizes are 64-bit.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/rtl/default_init_allocator.h"
#include "platform/rtl/object.h"
#include "platform/rtl/ustring.h"

namespace vgl {

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

/// Open modes of TFileStream; share modes are accepted and ignored.
enum : unsigned {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareCompat = 0x0000,
    fmShareExclusive = 0x0010,
    fmShareDenyWrite = 0x0020,
    fmShareDenyRead = 0x0030,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFF00,
};

class TStream : public TObject {
    VGL_CLASS(TStream, TObject)

    /// Reads up to `count` bytes; returns how many were read (0 at the end).
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    /// Writes up to `count` bytes; returns how many were written.
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    /// Moves the position; returns the new position.
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

    std::int64_t GetPosition() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t pos) { Seek(pos, soBeginning); }
    /// The size, found by seeking to the end and back.
    virtual std::int64_t GetSize();
    /// Changes the size; the base raises EStreamError.
    virtual void SetSize(std::int64_t newSize);

    /// Reads exactly `count` bytes or raises EReadError "Stream read error" (also for count < 0).
    void ReadBuffer(void* buffer, std::int64_t count);
    /// Writes exactly `count` bytes or raises EWriteError "Stream write error" (also for count < 0).
    void WriteBuffer(const void* buffer, std::int64_t count);
    void WriteBuffer(std::span<const std::uint8_t> bytes) { WriteBuffer(bytes.data(), std::int64_t(bytes.size())); }
    /// Copies `count` bytes from the position of `source` (count <= 0: the whole source from its
    /// start). Returns the number copied; raises EReadError when the source ends early.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
    /// All bytes from the current position to the end.
    std::vector<std::uint8_t> ReadRemaining();
    /// For a stream that holds its bytes in memory: the bytes from the position to the end,
    /// without a copy, the position moved past them as ReadRemaining moves it (nothing, and the
    /// position kept, at or past the end). The view is valid until the stream is next changed.
    /// None, and nothing read, for a stream that has to be read (the base). A descendant of a
    /// memory stream whose Read does more than copy overrides this too.
    virtual std::optional<std::span<const std::uint8_t>> ReadRemainingInPlace();
};

/// A stream over a growable memory block. Capacity grows in steps of 8 KiB (the platform's
/// rounding: (newSize + 0x1FFF) & ~0x1FFF); Realloc is virtual so descendants may change it.
/// Bytes between the old end and a position written past it read as zeros. Read and Write with a
/// negative count or at a negative position transfer nothing.
class TMemoryStream : public TStream {
    VGL_CLASS(TMemoryStream, TStream)

    TMemoryStream() = default;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t GetSize() override { return FSize; }
    void SetSize(std::int64_t newSize) override;
    std::optional<std::span<const std::uint8_t>> ReadRemainingInPlace() override;
    /// Does what this class's own Write of `count` bytes does to the size, capacity, gap and
    /// position (raising the same errors), and returns the memory of those bytes for the
    /// caller to fill at once, instead of copying them from a buffer; nothing for count <= 0 or
    /// a negative position. For callers that know the stream is exactly a TMemoryStream (a
    /// descendant's Write may do otherwise).
    std::span<std::uint8_t> WriteInPlace(std::int64_t count);

    /// Frees the memory block: size, capacity and position become 0.
    void Clear();
    /// Replaces the contents by the whole of `source` (read from its start).
    void LoadFromStream(TStream& source);
    void SaveToStream(TStream& dest);
    void LoadFromFile(const String& fileName);
    void SaveToFile(const String& fileName);

    std::uint8_t* Memory() { return FData.data(); }
    const std::uint8_t* Memory() const { return FData.data(); }
    std::span<const std::uint8_t> Bytes() const { return {FData.data(), size_t(FSize)}; }
    std::int64_t Capacity() const { return std::int64_t(FData.size()); }

protected:
    /// Returns the capacity to allocate when `newCapacity` bytes are asked for: 0 stays 0, a
    /// request equal to the size is kept, anything else is rounded up to the next 8 KiB.
    virtual std::int64_t Realloc(std::int64_t newCapacity);
    /// Reallocates the block through Realloc. Raises EStreamError "Out of memory while expanding
    /// memory stream" when the block cannot be had.
    void SetCapacity(std::int64_t newCapacity);
    /// Takes `data` as the whole block (capacity = its length) holding `size` bytes.
    void AdoptData(TUninitializedBytes data, std::int64_t size);

private:
    // size() is the capacity. Growing it leaves the new bytes unset: every byte below the size
    // is written (or cleared, for a gap) before it can be read.
    TUninitializedBytes FData;
    std::int64_t FSize = 0;
    std::int64_t FPosition = 0;
};

/// A memory stream whose contents are exposed as a byte vector.
class TBytesStream : public TMemoryStream {
public:
    TBytesStream() = default;
    explicit TBytesStream(std::span<const std::uint8_t> bytes);
    String ClassName() const override { return u"TBytesStream"; }
    /// A copy of the Size bytes of the contents (never the unused capacity behind them).
    std::vector<std::uint8_t> GetBytes() const;
};

/// A memory stream holding text in an encoding (UTF-8 by default, or a code page).
class TStringStream : public TMemoryStream {
public:
    TStringStream() = default;
    /// The text encoded in `codePage` (one of IsSupportedCodePage; others raise EEncodingError).
    explicit TStringStream(StringView text, int codePage = CP_UTF8);
    /// The bytes as they are; they are decoded as UTF-8.
    explicit TStringStream(const RawByteString& bytes);
    String ClassName() const override { return u"TStringStream"; }
    int CodePage() const { return FCodePage; }
    /// The whole contents decoded in the stream's encoding.
    String DataString() const;
    /// Writes the encoded text at the position.
    void WriteString(StringView text);
    /// Reads up to `count` bytes at the position (fewer at the end, none for count <= 0), decoded.
    String ReadString(std::int64_t count);

private:
    int FCodePage = CP_UTF8;
};

/// A stream over a file. Raises EFOpenError "Cannot open file \"%s\". %s" or EFCreateError
/// "Cannot create file \"%s\". %s" with the system's reason. fmCreate creates or empties the file
/// and opens it for reading and writing; the low two bits choose read, write or read/write
/// otherwise. Share bits are accepted and ignored. A folder cannot be opened.
class TFileStream : public TStream {
    VGL_CLASS(TFileStream, TStream)

    TFileStream(const String& fileName, unsigned mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    /// Truncates or extends the file and moves the position to the new end.
    void SetSize(std::int64_t newSize) override;
    const String& FileName() const { return FFileName; }

private:
    String FFileName;
    int FHandle = -1;
};

/// File names are UTF-16 in the system and UTF-8 on this platform's file system.
std::string FileNameToNative(StringView fileName);

} // namespace vgl
