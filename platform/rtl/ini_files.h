#pragma once
// Ini files: sections of "name=value" lines, read and written by section and key.
//
// Section and key names compare without regard to case. Lines are trimmed when read, blanks
// around "=" are dropped, lines starting with ";" and lines before the first section are
// ignored (and so are not written back). Files are written with CR LF line ends.

#include <memory>
#include <vector>

#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/object.h"
#include "platform/rtl/reflection.h"
#include "platform/rtl/string_list.h"

namespace vgl {

class TStream;

VGL_DECLARE_EXCEPTION(EIniFileException, Exception);

/// The operations common to the in-memory and the file-backed ini file.
class TCustomIniFile : public TObject {
    VGL_CLASS(TCustomIniFile, TObject)
    explicit TCustomIniFile(String fileName) : FFileName(std::move(fileName)) {}
    const String& FileName() const { return FFileName; }

    /// The value of the key, or `defaultValue` when the section or key is missing.
    virtual String ReadString(const String& section, const String& ident, const String& defaultValue) const = 0;
    /// Sets the key, adding the section and key when missing. Raises EIniFileException for a
    /// section or key that could not be read back (a line break in any part, "=" in the key).
    virtual void WriteString(const String& section, const String& ident, const String& value) = 0;
    /// The key names of a section (empty when missing).
    virtual void ReadSection(const String& section, TStrings& strings) const = 0;
    /// The section names in file order.
    virtual void ReadSections(TStrings& strings) const = 0;
    /// The "name=value" lines of a section.
    virtual void ReadSectionValues(const String& section, TStrings& strings) const = 0;
    virtual void EraseSection(const String& section) = 0;
    virtual void DeleteKey(const String& section, const String& ident) = 0;
    /// Writes the contents to the file (raises EFCreateError when it cannot be written).
    virtual void UpdateFile() = 0;

    /// Decimal, "$1F" or "0x1F"; `defaultValue` when missing or not a number.
    int ReadInteger(const String& section, const String& ident, int defaultValue) const;
    void WriteInteger(const String& section, const String& ident, int value);
    /// A number other than 0 is true; `defaultValue` when missing or not a number. Written as "1"/"0".
    bool ReadBool(const String& section, const String& ident, bool defaultValue) const;
    void WriteBool(const String& section, const String& ident, bool value);
    /// `defaultValue` when missing or not a number.
    double ReadFloat(const String& section, const String& ident, double defaultValue) const;
    void WriteFloat(const String& section, const String& ident, double value);
    /// Dates, times and date-times in the process's text forms; `defaultValue` when missing or invalid.
    TDateTime ReadDate(const String& section, const String& ident, TDateTime defaultValue) const;
    void WriteDate(const String& section, const String& ident, TDateTime value);
    TDateTime ReadTime(const String& section, const String& ident, TDateTime defaultValue) const;
    void WriteTime(const String& section, const String& ident, TDateTime value);
    TDateTime ReadDateTime(const String& section, const String& ident, TDateTime defaultValue) const;
    void WriteDateTime(const String& section, const String& ident, TDateTime value);
    /// Writes the bytes from the stream's position to its end as upper-case hex (the stream's
    /// position is kept).
    void WriteBinaryStream(const String& section, const String& ident, TStream& value);
    /// Writes the hex-coded bytes of the key into `value` at its position, up to the first
    /// character that is not a hex pair; returns the number of bytes written.
    std::int64_t ReadBinaryStream(const String& section, const String& ident, TStream& value) const;
    /// True when the section holds at least one key.
    bool SectionExists(const String& section) const;
    bool ValueExists(const String& section, const String& ident) const;

private:
    String FFileName;
};

/// An ini file held in memory: the constructor loads the file (a missing file reads as empty);
/// nothing is written until UpdateFile.
class TMemIniFile : public TCustomIniFile {
    VGL_CLASS(TMemIniFile, TCustomIniFile)
    explicit TMemIniFile(const String& fileName);
    ~TMemIniFile() override;
    TMemIniFile(const TMemIniFile&) = delete;
    TMemIniFile& operator=(const TMemIniFile&) = delete;

    String ReadString(const String& section, const String& ident, const String& defaultValue) const override;
    void WriteString(const String& section, const String& ident, const String& value) override;
    void ReadSection(const String& section, TStrings& strings) const override;
    void ReadSections(TStrings& strings) const override;
    void ReadSectionValues(const String& section, TStrings& strings) const override;
    void EraseSection(const String& section) override;
    void DeleteKey(const String& section, const String& ident) override;
    void UpdateFile() override;

    /// Empties the contents.
    void Clear();
    /// All contents as lines: "[section]", its lines, an empty line, for every section.
    void GetStrings(TStrings& list) const;
    /// Replaces the contents by the parsed lines. A section named twice is merged into the first.
    void SetStrings(const TStrings& list);

private:
    struct Section {
        String Name;
        std::unique_ptr<TStringList> Lines;
    };
    const Section* FindSection(const String& name) const;
    Section* FindSection(const String& name);
    Section& AddSection(const String& name);

    std::vector<Section> FSections;
    TTextEncoding FEncoding = TTextEncoding::Default;
};

/// An ini file read from and written to its file at every call (no contents are held).
class TIniFile : public TCustomIniFile {
    VGL_CLASS(TIniFile, TCustomIniFile)
    explicit TIniFile(const String& fileName) : TCustomIniFile(fileName) {}

    String ReadString(const String& section, const String& ident, const String& defaultValue) const override;
    void WriteString(const String& section, const String& ident, const String& value) override;
    void ReadSection(const String& section, TStrings& strings) const override;
    void ReadSections(TStrings& strings) const override;
    void ReadSectionValues(const String& section, TStrings& strings) const override;
    void EraseSection(const String& section) override;
    void DeleteKey(const String& section, const String& ident) override;
    /// Nothing to do: every change is on disk already.
    void UpdateFile() override {}
};

} // namespace vgl
