#pragma once
// The in-memory byte stream that carries every binary value of a remote call, with
// conversions to and from text (ANSI, UTF-8, hexadecimal, readable).

#include <cstdint>
#include <memory>

#include "platform/rtl/streams.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TROBinaryMemoryStream : public TMemoryStream {
    VGL_CLASS(TROBinaryMemoryStream, TMemoryStream)

    TROBinaryMemoryStream() = default;
    /// A stream holding exactly the bytes of `value`.
    explicit TROBinaryMemoryStream(const AnsiString& value);
    /// A stream holding `value` encoded in the system ANSI code page.
    explicit TROBinaryMemoryStream(StringView value);

    /// Extra bytes added to every non-zero capacity request; 0 (the default) adds nothing, and a
    /// negative value counts as 0.
    std::int32_t CapacityIncrement() const { return FCapacityIncrement; }
    void SetCapacityIncrement(std::int32_t value) { FCapacityIncrement = value; }

    /// The content becomes exactly the bytes of `value`; position 0.
    void LoadFromString(const AnsiString& value);
    /// The content becomes `value` in the system ANSI code page; position 0.
    void LoadFromString(StringView value);
    /// The content becomes `value` in UTF-8 without a byte-order mark; position 0.
    void LoadFromUTF8String(StringView value);
    /// Reads hexadecimal text: line feeds, carriage returns and blanks are skipped, digits of
    /// either case, two per byte. Raises Exception "String length must be 2n" for an odd number
    /// of digits and EConvertError for a character that is no hexadecimal digit; the stream is
    /// unchanged after an error. Position 0.
    void LoadFromHexString(StringView value);

    /// Moves to position 0 and returns the whole content decoded from the system ANSI code page.
    String ToString();
    /// The content as two upper-case hexadecimal digits per byte; the position does not change.
    String ToHexString() const;
    /// ToString through MakeReadableString.
    String ToReadableString();
    /// Writes `value` in the system ANSI code page at the position; returns the bytes written.
    std::int64_t WriteAnsiString(StringView value);

    /// Replaces the content by a copy of the whole of `source` (read from its start) and takes
    /// over its CapacityIncrement; both streams end at their end. Raises EConvertError
    /// "Cannot assign a "%s" to a "%s"." when `source` is no TROBinaryMemoryStream.
    void Assign(TStream& source);
    /// A new stream of this stream's class that Assigns from this one.
    std::unique_ptr<TROBinaryMemoryStream> Clone();

protected:
    std::int64_t Realloc(std::int64_t newCapacity) override;

private:
    std::int32_t FCapacityIncrement = 0;
};

/// A copy of `text` in which every character other than carriage return (13) and 32..127 is
/// replaced by ".".
String MakeReadableString(StringView text);

} // namespace vgl
