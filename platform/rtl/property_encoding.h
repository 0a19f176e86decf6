#pragma once
// The binary property-value encoding of define-properties data: named values, each a
// value-type tag followed by the value (docs/PROPERTY_ENCODING.md), and the filers that write
// and read it (TWriter, TReader).

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "platform/rtl/persistent.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/streams.h"

namespace vgl {

class TCollection;
class TComponent;
class TReader;
class TWriter;

/// Value-type tags; the byte written before each value is the ordinal.
enum TValueType : std::uint8_t {
    vaNull,     ///< end of a list; a Null variant where a value is expected
    vaList,     ///< values up to vaNull
    vaInt8,     ///< 1 byte, two's complement
    vaInt16,    ///< 2 bytes little-endian
    vaInt32,    ///< 4 bytes little-endian
    vaExtended, ///< 10 bytes: x87 80-bit extended, little-endian
    vaString,   ///< reserved (never written)
    vaIdent,    ///< 1 length byte + ASCII identifier
    vaFalse,
    vaTrue,
    vaBinary,     ///< 4-byte length + bytes
    vaSet,        ///< identifiers (length byte + ASCII) up to an empty one
    vaLString,    ///< 4-byte length + bytes (8-bit string in its code page)
    vaNil,        ///< no object; an Empty variant where a value is expected
    vaCollection, ///< items, each vaList + properties + vaNull, then vaNull
    vaSingle,     ///< 4 bytes IEEE
    vaCurrency,   ///< 8 bytes: the value × 10,000 as a signed integer
    vaDate,       ///< 8 bytes IEEE double: days since 1899-12-30
    vaWString,    ///< 4-byte count of UTF-16 code units + the units little-endian
    vaInt64,      ///< 8 bytes little-endian
    vaUTF8String, ///< reserved (never written)
    vaDouble,     ///< 8 bytes IEEE
};

using TReaderProc = std::function<void(TReader&)>;
using TWriterProc = std::function<void(TWriter&)>;
using TStreamProc = std::function<void(TStream&)>;

/// Base of TWriter and TReader: the stream, the root component (references are named relative
/// to it), and the define-properties callbacks that objects call from DefineProperties.
class TFiler : public TObject {
public:
    explicit TFiler(TStream& stream) : FStream(stream) {}
    TStream& Stream() const { return FStream; }
    TComponent* Root() const { return FRoot; }
    void SetRoot(TComponent* root) { FRoot = root; }
    /// The object the written one inherits from (none without inheritance); objects decide their
    /// `hasData` with it.
    const TPersistent* Ancestor() const { return FAncestor; }
    void SetAncestor(const TPersistent* ancestor) { FAncestor = ancestor; }

    /// A property of the object's own making, written with `writeData` when `hasData` and read
    /// back with `readData`.
    virtual void DefineProperty(const String& name, const TReaderProc& readData, const TWriterProc& writeData,
                                bool hasData) = 0;
    /// The same for a binary block: the callbacks see a stream holding exactly the block.
    virtual void DefineBinaryProperty(const String& name, const TStreamProc& readData, const TStreamProc& writeData,
                                      bool hasData) = 0;

private:
    TStream& FStream;
    TComponent* FRoot = nullptr;
    const TPersistent* FAncestor = nullptr;
};

class TWriter : public TFiler {
public:
    using TFiler::TFiler;

    void DefineProperty(const String& name, const TReaderProc& readData, const TWriterProc& writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const String& name, const TStreamProc& readData, const TStreamProc& writeData,
                              bool hasData) override;

    /// A property name (UTF-8, at most 255 bytes; longer names raise EWriteError).
    void WritePropName(StringView name);
    /// The smallest of vaInt8/16/32/Int64 that holds the value.
    void WriteInteger(std::int64_t value);
    void WriteBoolean(bool value);
    void WriteFloat(long double value);
    void WriteDouble(double value);
    void WriteSingle(float value);
    void WriteCurrency(std::int64_t scaled);
    void WriteDate(double value);
    void WriteString(StringView value);
    void WriteAnsiString(std::string_view bytes);
    /// An identifier (enumeration value names); at most 255 ASCII characters.
    void WriteIdent(StringView ident);
    void WriteBinary(std::span<const std::uint8_t> bytes);
    void WriteNil();
    void WriteSet(const TypeInfo& setType, std::uint64_t bits);
    void WriteVariant(const Variant& value);
    void WriteListBegin();
    void WriteListEnd();
    /// The collection's items with their published properties.
    void WriteCollection(const TCollection& collection);
    /// Every stored published property whose value is not its default, then the object's
    /// define-properties data.
    void WriteProperties(TPersistent& obj);

private:
    void WriteValue(TValueType type);
    void WriteRaw(const void* data, size_t size);
    void WriteProperty(TPersistent& obj, const PropInfo& prop);
    String FPropPath;
};

/// A reference to a component read by name, for the caller to resolve once every object is
/// read.
struct TPropFixup {
    TPersistent* Instance;
    const PropInfo* Prop;
    String Name;
};

class TReader : public TFiler {
public:
    using TFiler::TFiler;

    void DefineProperty(const String& name, const TReaderProc& readData, const TWriterProc& writeData,
                        bool hasData) override;
    void DefineBinaryProperty(const String& name, const TStreamProc& readData, const TStreamProc& writeData,
                              bool hasData) override;

    /// True when the stream has no more bytes.
    bool EndOfStream() const;
    /// The tag of the next value without consuming it.
    TValueType NextValue();
    TValueType ReadValue();
    /// True (without consuming it) when the next value is the end of a list.
    bool EndOfList();
    void ReadListBegin();
    void ReadListEnd();
    String ReadPropName();
    /// Any integer tag.
    std::int64_t ReadInteger();
    bool ReadBoolean();
    /// Extended, Double or Single (and integers).
    long double ReadFloat();
    std::int64_t ReadCurrency();
    double ReadDate();
    /// vaWString or vaLString (in the system ANSI code page).
    String ReadString();
    AnsiString ReadAnsiString();
    /// vaIdent; vaFalse, vaTrue, vaNil and vaNull read as "False", "True", "nil", "Null".
    String ReadIdent();
    std::vector<std::uint8_t> ReadBinary();
    std::uint64_t ReadSet(const TypeInfo& setType);
    Variant ReadVariant();
    /// Reads a vaCollection into the collection (cleared first).
    void ReadCollection(TCollection& collection);
    /// Skips one value of any kind.
    void SkipValue();
    /// Reads one named value into the object: a define-properties entry of the object, or a
    /// published property (dotted names walk sub-objects). Raises EReadError "Property %s does not
    /// exist" for a name the object has neither.
    void ReadProperty(TPersistent& obj);

    /// Component references read so far (by name), for the caller to resolve.
    const std::vector<TPropFixup>& Fixups() const { return FFixups; }

    /// Nesting of lists and collections the reader accepts.
    static constexpr int MaxDepth = 64;

private:
    void ReadRaw(void* data, size_t size);
    std::uint32_t ReadLength();
    void ReadPropValue(TPersistent& obj, const PropInfo& prop);
    void Enter();
    String FPropName;
    bool FPropFound = false;
    int FDepth = 0;
    std::vector<TPropFixup> FFixups;
};

} // namespace vgl
