#include "platform/rtl/streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TStream) {}
VGL_DEFINE_CLASS(TMemoryStream) {}
VGL_DEFINE_CLASS(TFileStream) {}

namespace {

constexpr std::int64_t kMaxInt64 = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMemoryDelta = 0x2000; // the memory stream's block size

String SystemErrorText(int error) {
    char buffer[256];
    // GNU strerror_r returns the text, which may or may not live in `buffer`.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return Utf8ToString(text);
}

[[noreturn]] void RaiseOutOfMemory() {
    throw EStreamError(u"Out of memory while expanding memory stream");
}

[[noreturn]] void RaiseInvalidPosition() {
    throw EStreamError(u"Stream position out of range");
}

// The new position for a seek, or an error when the sum leaves 64 bits.
std::int64_t SeekTarget(std::int64_t offset, TSeekOrigin origin, std::int64_t current, std::int64_t size) {
    std::int64_t base = 0;
    switch (origin) {
    case soBeginning:
        base = 0;
        break;
    case soCurrent:
        base = current;
        break;
    case soEnd:
        base = size;
        break;
    default:
        throw EStreamError(u"Invalid seek origin");
    }
    std::int64_t result;
    if (__builtin_add_overflow(base, offset, &result))
        RaiseInvalidPosition();
    return result;
}

} // namespace

// ---- TStream ------------------------------------------------------------------------------

std::int64_t TStream::GetSize() {
    const std::int64_t pos = Seek(0, soCurrent);
    const std::int64_t result = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return result;
}

void TStream::SetSize(std::int64_t) {
    throw EStreamError(Format(u"%s does not support SetSize", {ClassName()}));
}

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
    if (count == 0)
        return;
    if (count < 0 || Read(buffer, count) != count)
        throw EReadError(u"Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
    if (count == 0)
        return;
    if (count < 0 || Write(buffer, count) != count)
        throw EWriteError(u"Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count <= 0) {
        source.SetPosition(0);
        count = source.GetSize();
    }
    const std::int64_t result = count;
    constexpr std::int64_t kBufferSize = 0xF000;
    std::vector<std::uint8_t> buffer(size_t(std::min(count, kBufferSize)));
    while (count > 0) {
        const std::int64_t n = std::min(count, kBufferSize);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        count -= n;
    }
    return result;
}

std::optional<std::span<const std::uint8_t>> TStream::ReadRemainingInPlace() {
    return std::nullopt;
}

std::vector<std::uint8_t> TStream::ReadRemaining() {
    if (const auto bytes = ReadRemainingInPlace())
        return {bytes->begin(), bytes->end()};
    std::vector<std::uint8_t> result;
    const std::int64_t pos = GetPosition();
    const std::int64_t size = GetSize();
    if (size > pos && pos >= 0)
        result.reserve(size_t(size - pos));
    std::uint8_t chunk[0x4000];
    for (;;) {
        const std::int64_t n = Read(chunk, sizeof chunk);
        if (n <= 0)
            break;
        result.insert(result.end(), chunk, chunk + n);
    }
    return result;
}

// ---- TMemoryStream ------------------------------------------------------------------------

std::int64_t TMemoryStream::Realloc(std::int64_t newCapacity) {
    if (newCapacity > 0 && newCapacity != FSize) {
        if (newCapacity > kMaxInt64 - (kMemoryDelta - 1))
            RaiseOutOfMemory();
        newCapacity = (newCapacity + (kMemoryDelta - 1)) & ~(kMemoryDelta - 1);
    }
    return newCapacity;
}

void TMemoryStream::SetCapacity(std::int64_t newCapacity) {
    const std::int64_t capacity = Realloc(newCapacity);
    // A descendant's Realloc may add to the request but never hand out less than asked for.
    if (capacity < 0 || capacity < newCapacity)
        RaiseOutOfMemory();
    if (capacity == std::int64_t(FData.size()))
        return;
    try {
        if (capacity == 0) {
            TUninitializedBytes().swap(FData);
        } else if (size_t(capacity) > FData.capacity()) {
            // A new block, twice the old at least as the vector grows, the old bytes copied in
            // one go (the vector would move them byte by byte through its allocator).
            TUninitializedBytes larger;
            larger.reserve(std::max(size_t(capacity), 2 * FData.size()));
            larger.resize(size_t(capacity));
            if (!FData.empty())
                std::memcpy(larger.data(), FData.data(), FData.size());
            FData.swap(larger);
        } else {
            FData.resize(size_t(capacity));
            if (capacity * 2 < std::int64_t(FData.capacity()))
                FData.shrink_to_fit();
        }
    } catch (const std::bad_alloc&) {
        RaiseOutOfMemory();
    } catch (const std::length_error&) {
        RaiseOutOfMemory();
    }
}

void TMemoryStream::AdoptData(TUninitializedBytes data, std::int64_t size) {
    FData = std::move(data);
    FSize = std::clamp<std::int64_t>(size, 0, std::int64_t(FData.size()));
    FPosition = 0;
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
    if (FPosition < 0 || count <= 0 || FPosition >= FSize)
        return 0;
    const std::int64_t n = std::min(FSize - FPosition, count);
    std::memmove(buffer, FData.data() + FPosition, size_t(n));
    FPosition += n;
    return n;
}

std::optional<std::span<const std::uint8_t>> TMemoryStream::ReadRemainingInPlace() {
    if (FPosition < 0 || FPosition >= FSize)
        return std::span<const std::uint8_t>();
    const std::span<const std::uint8_t> bytes(FData.data() + FPosition, size_t(FSize - FPosition));
    FPosition = FSize;
    return bytes;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
    const std::span<std::uint8_t> bytes = WriteInPlace(count);
    if (!bytes.empty())
        std::memmove(bytes.data(), buffer, bytes.size());
    return std::int64_t(bytes.size());
}

std::span<std::uint8_t> TMemoryStream::WriteInPlace(std::int64_t count) {
    if (FPosition < 0 || count <= 0)
        return {};
    if (count > kMaxInt64 - FPosition)
        RaiseOutOfMemory();
    const std::int64_t end = FPosition + count;
    if (end > FSize) {
        if (end > std::int64_t(FData.size()))
            SetCapacity(end);
        // A gap between the old end and the position reads as zeros, never as stale bytes.
        if (FPosition > FSize)
            std::memset(FData.data() + FSize, 0, size_t(FPosition - FSize));
        FSize = end;
    }
    const std::span<std::uint8_t> bytes(FData.data() + FPosition, size_t(count));
    FPosition = end;
    return bytes;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    FPosition = SeekTarget(offset, origin, FPosition, FSize);
    return FPosition;
}

void TMemoryStream::SetSize(std::int64_t newSize) {
    if (newSize < 0)
        throw EStreamError(Format(u"Invalid stream size (%d)", {newSize}));
    const std::int64_t oldPosition = FPosition;
    const std::int64_t oldSize = FSize;
    SetCapacity(newSize);
    if (newSize > oldSize)
        std::memset(FData.data() + oldSize, 0, size_t(newSize - oldSize));
    FSize = newSize;
    if (oldPosition > newSize)
        FPosition = newSize;
}

void TMemoryStream::Clear() {
    SetCapacity(0);
    FSize = 0;
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    const std::int64_t count = source.GetSize();
    SetSize(count);
    if (count != 0)
        source.ReadBuffer(FData.data(), count);
}

void TMemoryStream::SaveToStream(TStream& dest) {
    if (FSize != 0)
        dest.WriteBuffer(FData.data(), FSize);
}

void TMemoryStream::LoadFromFile(const String& fileName) {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TMemoryStream::SaveToFile(const String& fileName) {
    TFileStream stream(fileName, fmCreate);
    SaveToStream(stream);
}

// ---- TBytesStream -------------------------------------------------------------------------

TBytesStream::TBytesStream(std::span<const std::uint8_t> bytes) {
    AdoptData(TUninitializedBytes(bytes.begin(), bytes.end()), std::int64_t(bytes.size()));
}

std::vector<std::uint8_t> TBytesStream::GetBytes() const {
    const auto bytes = Bytes();
    return {bytes.begin(), bytes.end()};
}

// ---- TStringStream ------------------------------------------------------------------------

namespace {

RawByteString EncodeText(StringView text, int codePage) {
    if (codePage == CP_UTF8)
        return StringToUtf8(text);
    if (!IsSupportedCodePage(codePage))
        throw EEncodingError(Format(u"Code page %d is not supported", {codePage}));
    return StringToCodePage(text, codePage);
}

String DecodeText(std::string_view bytes, int codePage) {
    if (codePage == CP_UTF8)
        return Utf8ToString(bytes);
    return CodePageToString(bytes, codePage);
}

} // namespace

TStringStream::TStringStream(StringView text, int codePage) : FCodePage(codePage) {
    const RawByteString bytes = EncodeText(text, codePage);
    AdoptData(TUninitializedBytes(bytes.begin(), bytes.end()), std::int64_t(bytes.size()));
}

TStringStream::TStringStream(const RawByteString& bytes) {
    AdoptData(TUninitializedBytes(bytes.begin(), bytes.end()), std::int64_t(bytes.size()));
}

String TStringStream::DataString() const {
    const auto bytes = Bytes();
    return DecodeText({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, FCodePage);
}

void TStringStream::WriteString(StringView text) {
    const RawByteString bytes = EncodeText(text, FCodePage);
    WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
}

String TStringStream::ReadString(std::int64_t count) {
    const std::int64_t pos = GetPosition();
    const std::int64_t size = GetSize();
    if (count <= 0 || pos < 0 || pos >= size)
        return {};
    const std::int64_t n = std::min(count, size - pos);
    const String result = DecodeText({reinterpret_cast<const char*>(Memory()) + pos, size_t(n)}, FCodePage);
    SetPosition(pos + n);
    return result;
}

// ---- TFileStream --------------------------------------------------------------------------

std::string FileNameToNative(StringView fileName) {
    return StringToUtf8(fileName);
}

TFileStream::TFileStream(const String& fileName, unsigned mode) : FFileName(fileName) {
    const std::string native = FileNameToNative(fileName);
    const bool create = (mode & fmCreate) == fmCreate;
    int flags = O_CLOEXEC;
    if (create) {
        flags |= O_RDWR | O_CREAT | O_TRUNC;
    } else {
        switch (mode & 3) {
        case fmOpenRead:
            flags |= O_RDONLY;
            break;
        case fmOpenWrite:
            flags |= O_WRONLY;
            break;
        case fmOpenReadWrite:
            flags |= O_RDWR;
            break;
        default:
            throw EFOpenError(u"Cannot open file \"%s\". %s", {fileName, SystemErrorText(EINVAL)});
        }
    }
    int error = 0;
    if (native.find('\0') != std::string::npos) {
        error = EINVAL;
    } else {
        do
            FHandle = ::open(native.c_str(), flags, 0666);
        while (FHandle < 0 && errno == EINTR);
        if (FHandle < 0) {
            error = errno;
        } else {
            struct stat info;
            if (::fstat(FHandle, &info) == 0 && S_ISDIR(info.st_mode)) {
                ::close(FHandle);
                FHandle = -1;
                error = EISDIR;
            }
        }
    }
    if (error != 0) {
        if (create)
            throw EFCreateError(u"Cannot create file \"%s\". %s", {fileName, SystemErrorText(error)});
        throw EFOpenError(u"Cannot open file \"%s\". %s", {fileName, SystemErrorText(error)});
    }
}

TFileStream::~TFileStream() {
    if (FHandle >= 0)
        ::close(FHandle);
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::read(FHandle, out + done, size_t(std::min<std::int64_t>(count - done, 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Write(const void* buffer, std::int64_t count) {
    std::int64_t done = 0;
    const auto* in = static_cast<const std::uint8_t*>(buffer);
    while (done < count) {
        const ssize_t n = ::write(FHandle, in + done, size_t(std::min<std::int64_t>(count - done, 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    int whence = SEEK_SET;
    switch (origin) {
    case soBeginning:
        whence = SEEK_SET;
        break;
    case soCurrent:
        whence = SEEK_CUR;
        break;
    case soEnd:
        whence = SEEK_END;
        break;
    default:
        throw EStreamError(u"Invalid seek origin");
    }
    const off_t result = ::lseek(FHandle, off_t(offset), whence);
    if (result < 0)
        throw EStreamError(Format(u"Cannot seek in file \"%s\". %s", {FFileName, SystemErrorText(errno)}));
    return result;
}

void TFileStream::SetSize(std::int64_t newSize) {
    if (newSize < 0)
        throw EStreamError(Format(u"Invalid stream size (%d)", {newSize}));
    Seek(newSize, soBeginning);
    if (::ftruncate(FHandle, off_t(newSize)) != 0)
        throw EWriteError(Format(u"Cannot resize file \"%s\". %s", {FFileName, SystemErrorText(errno)}));
}

} // namespace vgl
