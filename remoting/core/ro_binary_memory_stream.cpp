#include "remoting/core/ro_binary_memory_stream.h"

#include <algorithm>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_utils.h"

namespace vgl {

VGL_DEFINE_CLASS(TROBinaryMemoryStream) {}

TROBinaryMemoryStream::TROBinaryMemoryStream(const AnsiString& value) {
    LoadFromString(value);
}

TROBinaryMemoryStream::TROBinaryMemoryStream(StringView value) {
    LoadFromString(value);
}

std::int64_t TROBinaryMemoryStream::Realloc(std::int64_t newCapacity) {
    if (newCapacity > 0 && FCapacityIncrement > 0)
        newCapacity += FCapacityIncrement;
    return TMemoryStream::Realloc(newCapacity);
}

void TROBinaryMemoryStream::LoadFromString(const AnsiString& value) {
    SetSize(std::int64_t(value.size()));
    if (!value.empty())
        std::copy(value.begin(), value.end(), Memory());
    SetPosition(0);
}

void TROBinaryMemoryStream::LoadFromString(StringView value) {
    LoadFromString(StringToAnsi(value));
}

void TROBinaryMemoryStream::LoadFromUTF8String(StringView value) {
    LoadFromString(StringToUtf8(value));
}

void TROBinaryMemoryStream::LoadFromHexString(StringView value) {
    String digits(value);
    RemoveCharsInSet(digits, TSysCharSet{u'\n', u'\r', u' '});
    if (digits.size() % 2 != 0)
        throw Exception(SStringLengthMustBe2n);
    LoadFromString(HexTextToBytes(digits));
}

String TROBinaryMemoryStream::ToString() {
    SetPosition(0);
    const auto bytes = Bytes();
    return AnsiToString(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

String TROBinaryMemoryStream::ToHexString() const {
    static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
    const auto bytes = Bytes();
    String result;
    result.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        result += kDigits[b >> 4];
        result += kDigits[b & 0x0F];
    }
    return result;
}

String TROBinaryMemoryStream::ToReadableString() {
    return MakeReadableString(ToString());
}

std::int64_t TROBinaryMemoryStream::WriteAnsiString(StringView value) {
    const AnsiString bytes = StringToAnsi(value);
    if (bytes.empty())
        return 0;
    WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
    return std::int64_t(bytes.size());
}

void TROBinaryMemoryStream::Assign(TStream& source) {
    auto* other = dynamic_cast<TROBinaryMemoryStream*>(&source);
    if (!other)
        throw EConvertError(u"Cannot assign a \"%s\" to a \"%s\".", {source.ClassName(), ClassName()});
    if (other == this) {
        // Clearing first would lose the content that is to be copied.
        Seek(0, soEnd);
        return;
    }
    constexpr std::int64_t kPiece = 1048576;
    Clear();
    FCapacityIncrement = other->FCapacityIncrement;
    const std::int64_t size = other->GetSize();
    SetSize(size);
    SetPosition(0);
    other->SetPosition(0);
    std::vector<std::uint8_t> piece(size_t(std::min(size, kPiece)));
    for (std::int64_t left = size; left > 0;) {
        const std::int64_t n = std::min(left, kPiece);
        other->ReadBuffer(piece.data(), n);
        WriteBuffer(piece.data(), n);
        left -= n;
    }
    SetPosition(other->GetPosition());
}

std::unique_ptr<TROBinaryMemoryStream> TROBinaryMemoryStream::Clone() {
    std::unique_ptr<TObject> made = ClassType()->Create();
    auto* copy = dynamic_cast<TROBinaryMemoryStream*>(made.get());
    if (!copy)
        throw EInvalidOperation(u"Cannot clone a stream of class %s", {ClassName()});
    made.release();
    std::unique_ptr<TROBinaryMemoryStream> result(copy);
    result->Assign(*this);
    return result;
}

String MakeReadableString(StringView text) {
    String result(text);
    for (Char& c : result)
        if (c != u'\r' && (c < 32 || c > 127))
            c = u'.';
    return result;
}

} // namespace vgl
