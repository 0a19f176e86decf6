#pragma once
// Bookkeeping of the PDF writer: object numbers and their offsets (the cross-reference table),
// object references per page, image XObjects stored once per distinct content, and the helper
// that bundles them for one export.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "platform/rtl/ustring.h"
#include "report/export/export_helpers.h"
#include "report/export/pdf_font.h"
#include "report/export/pdf_values.h"

namespace vgl {

class TStream;
class TGraphic;

// ---- Cross-reference table -----------------------------------------------------------------

struct TCrossReferenceSubsection {
    bool Start = true; ///< this entry opens a subsection
    int Length = 1;    ///< entries in that subsection
};

class TCrossReferenceEntry {
public:
    TCrossReferenceEntry(int id, std::int64_t offset, int generation, bool freeEntry)
        : FId(id), FOffset(offset), FGenerationNumber(generation), FFreeEntry(freeEntry) {}
    /// The offset in 10 digits, a blank, the generation in 5 digits, a blank, "f" or "n", and a
    /// blank more when the writer ends lines with one character: with the line end, 20 bytes.
    AnsiString EntryStr(bool SingleCharacterEOL) const;
    /// First number and count of the subsection this entry opens ("0 12").
    AnsiString SubsectionStr() const;
    /// Joins the next entry's subsection to this one when both open one and the numbers follow
    /// each other.
    void CombiteSubsections(TCrossReferenceEntry& NextEntry);

    int FId;
    std::int64_t FOffset;
    TCrossReferenceSubsection FSubsection;
    int FGenerationNumber;
    bool FFreeEntry;
};

class TCrossReferenceSection : public TOwnObjList<TCrossReferenceEntry> {
public:
    explicit TCrossReferenceSection(bool singleCharacterEOL = false, std::int64_t sectionOffset = 0);
    /// Adds an in-use entry numbered FNextId at the offset; returns the number.
    int AddNext(std::int64_t Offset);
    /// Adds an in-use entry of that number, generation 0.
    void AddId(int Id, std::int64_t Offset);
    /// Sets the offset of the first entry of that number, or adds one.
    void SetOffset(int Id, std::int64_t Offset);
    /// Adds entry 0: free, generation 65535, at the section offset.
    void Init();
    /// Frees every entry; the next number is 1 again (entry 0 is not re-added).
    void Clear();
    /// Sorts the entries by number and groups runs of numbers into subsections. Raises
    /// Exception "Cross Reference Error: Entries with the same Id's" for a number used twice.
    void PrepareToOut();
    /// True when the entry opens a subsection; its header text is then in SubsectionStr.
    bool IsSubsection(int Index, AnsiString& SubsectionStr) const;
    /// The entry line text (without the line end).
    AnsiString OutLine(int Index) const;
    int NextId() const { return FNextId; }

private:
    bool FSingleCharacterEOL;
    std::int64_t FSectionOffset;
    int FNextId = 1;
};

// ---- Reference arrays ----------------------------------------------------------------------

/// Object numbers (or indices) without duplicates, in the order added.
class TReferenceArray {
public:
    /// Appends unless present.
    void Add(int ObjNo);
    void Clear() { FData.clear(); }
    int Count() const { return int(FData.size()); }
    int GetNo(int Index) const { return FData.at(std::size_t(Index)); }
    /// "<n> 0 R".
    AnsiString GetRef(int Index) const { return ObjectRef(GetNo(Index)); }
    /// When not empty: the caption, " [", the references separated by blanks, "]" and CR LF
    /// ("/Annots [5 0 R 6 0 R]").
    void WriteToStream(TStream& Stream, const AnsiString& Caption) const;

private:
    std::vector<int> FData;
};

/// One reference array and one content-stream number per page index; the arrays are owned.
class TPageByPageReferenceArray {
public:
    /// The page's array; nullptr beyond the storage or where none was set.
    TReferenceArray* GetData(int Index) const;
    /// Stores the page's array; one stored before at that index is freed.
    void SetData(int Index, std::unique_ptr<TReferenceArray> Value);
    /// 0 beyond the storage.
    int GetContents(int Index) const;
    void SetContents(int Index, int Value);

private:
    void Grow(int Index);
    std::vector<std::unique_ptr<TReferenceArray>> FData;
    std::vector<int> FContents;
};

// ---- Image XObjects ------------------------------------------------------------------------

/// The MD5 digest of an XObject's image data.
using TfrxPDFXObjectHash = std::array<std::uint8_t, 16>;

/// The document's image XObjects: object number and the MD5 digest of the image's data; an index
/// is the "/Im" number. An image added with its data (AddData) is digested only when a lookup
/// needs its digest, which a lookup by data does only for images of the data's length: until then
/// the image keeps its data (kPendingBytes in all at most; beyond that the oldest are digested and
/// let go). So a document whose images all differ in length digests none of them, and a lookup
/// finds what a lookup by every image's digest finds.
class TfrxPDFXObjectArray {
public:
    static constexpr std::size_t kPendingBytes = std::size_t(16) << 20;

    int Add(int AId, const TfrxPDFXObjectHash& Hash);
    /// Adds an image by its data, to be digested when a lookup needs it.
    int AddData(int AId, std::span<const std::uint8_t> Data);
    /// The index of the first entry with that digest, or -1.
    int Find(const TfrxPDFXObjectHash& Hash);
    /// The index of the first entry whose digest is the data's, or -1. Entries of another length
    /// are passed over (equal digests of different lengths are MD5 collisions), so the data and
    /// the entries are digested only when an entry of the data's length is there.
    int FindData(std::span<const std::uint8_t> Data);
    int GetId(int Index) const { return FEntries.at(std::size_t(Index)).Id; }
    void Clear();
    int Count() const { return int(FEntries.size()); }
    /// How many images have been digested so far (a test hook for the lookup's laziness).
    int DigestCount() const { return FDigests; }

private:
    static constexpr std::size_t kUnknownLength = std::size_t(-1);
    struct TEntry {
        int Id = 0;
        std::optional<TfrxPDFXObjectHash> Hash;
        std::size_t Length = kUnknownLength; ///< of the data; unknown for an entry added by digest
        std::vector<std::uint8_t> Data;      ///< kept until the entry is digested
    };
    const TfrxPDFXObjectHash& Digest(TEntry& Entry);
    TfrxPDFXObjectHash DigestOf(std::span<const std::uint8_t> Data);
    std::vector<TEntry> FEntries;
    std::size_t FPendingBytes = 0;
    std::size_t FOldestPending = 0; ///< no entry before it keeps data
    int FDigests = 0;
};

/// The number of colour components a JPEG stream's frame header names (1 for greyscale, 3 for
/// colour); 0 when no frame header is found.
int JpegComponentCount(std::span<const std::uint8_t> jpeg);

// ---- Document fonts ------------------------------------------------------------------------

/// The document's fonts, owned; a font's resource name is "/F" and its index.
class TPDFGLobalFonts : public TOwnObjList<TfrxPDFFont> {
public:
    /// Creates the PDF font of a report font, prepares its metrics, names it and returns its index.
    int AddFont(const TFont& Font);
    TfrxPDFFont* Get(int Index) const { return GetItem(Index); }
    /// The first font whose report font has exactly this name (case-sensitive) and style, or -1.
    int IndexOfFont(StringView Name, TFontStyles Style) const;
    /// The first font whose object number is No, or -1.
    int IndexByReference(int No) const;
};

// ---- The helper of one export --------------------------------------------------------------

class TPDFObjectsHelper {
public:
    TPDFObjectsHelper();
    ~TPDFObjectsHelper();

    /// Records the output stream's position as the offset of a new object and returns its number.
    int UpdateXRef();
    /// Empties the own lists and the cross-reference table, then adds entry 0 again.
    void Clear();
    /// The index of the stored image with that digest, or -1 (also kept as FLastRequestedXRef).
    int FindXObject(const TfrxPDFXObjectHash& Hash);
    /// The same for an image of that data (TfrxPDFXObjectArray::FindData).
    int FindXObjectData(std::span<const std::uint8_t> Data);
    /// Writes a JPEG image XObject (its bytes are XObjectStream's, from the start) and returns its
    /// index. The colour space is /DeviceGray for a one-component JPEG and /DeviceRGB otherwise.
    /// With FProtection the data goes through FStreamEncryption (EInvalidOperation without one).
    int OutXObjectImage(const TfrxPDFXObjectHash& XObjectHash, const TGraphic& Image, TStream& XObjectStream,
                        bool IsTransparent, int MaskId);
    /// The same for a JPEG of that size given by its bytes, stored by its data
    /// (TfrxPDFXObjectArray::AddData): written straight from the bytes, digested when needed.
    int OutXObjectImageData(std::span<const std::uint8_t> Jpeg, int Width, int Height, bool IsTransparent, int MaskId);
    /// The index in FFonts of the font for a report font (its face chosen with the simulated
    /// style; underline and strike-out share the plain style's font): added when missing, given
    /// an object number at first use, and recorded in FPageFonts.
    int GetObjFontNumber(const TFont& Font);
    /// "/Font << /F0 12 0 R ... >>" and CR LF for the fonts of FPageFonts; nothing when it is empty.
    void OutPageFonts();
    int LastRequestedXRef() const { return FLastRequestedXRef; }
    TCrossReferenceSection& CRS() { return *FCRS; }

    TStream* FpdfStream = nullptr;            ///< assigned by the export
    TfrxPDFXObjectArray* FXObjects = nullptr; ///< assigned by the export
    TReferenceArray* FPageXObjects = nullptr; ///< assigned by the export
    TReferenceArray* FPageFonts = nullptr;    ///< assigned by the export
    TPDFGLobalFonts* FFonts = nullptr;        ///< assigned by the export
    bool FProtection = false;
    RawByteString FEncKey;
    bool FEmbedded = false;
    int FQuality = 95;
    /// The security handler's encryption of an object's strings and streams (not set: none).
    TPDFStringEncryption FStreamEncryption;

private:
    /// Writes the image object of a JPEG with the number `Id`.
    void WriteImageObject(int Id, std::span<const std::uint8_t> Jpeg, int Width, int Height, bool IsTransparent,
                          int MaskId);
    std::unique_ptr<TCrossReferenceSection> FCRS;
    int FLastRequestedXRef = 0;
};

} // namespace vgl
