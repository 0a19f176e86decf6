#include "report/export/pdf_objects.h"

#include <algorithm>

#include "platform/graphics/graphic.h"
#include "platform/rtl/streams.h"
#include "report/export/md5.h"

namespace vgl {

namespace {

AnsiString ZeroPadded(std::int64_t value, std::size_t width) {
    AnsiString s = IntToAnsi(value);
    if (s.size() < width)
        s.insert(0, width - s.size(), '0');
    return s;
}

} // namespace

// ---- Cross-reference table -----------------------------------------------------------------

AnsiString TCrossReferenceEntry::EntryStr(bool SingleCharacterEOL) const {
    return ZeroPadded(FOffset, 10) + " " + ZeroPadded(FGenerationNumber, 5) + " " + (FFreeEntry ? "f" : "n") +
           (SingleCharacterEOL ? " " : "");
}

AnsiString TCrossReferenceEntry::SubsectionStr() const {
    return IntToAnsi(FId) + " " + IntToAnsi(FSubsection.Length);
}

void TCrossReferenceEntry::CombiteSubsections(TCrossReferenceEntry& NextEntry) {
    if (FSubsection.Start && NextEntry.FSubsection.Start && NextEntry.FId == FId + 1) {
        FSubsection.Length += NextEntry.FSubsection.Length;
        NextEntry.FSubsection.Start = false;
    }
}

TCrossReferenceSection::TCrossReferenceSection(bool singleCharacterEOL, std::int64_t sectionOffset)
    : TOwnObjList(true), FSingleCharacterEOL(singleCharacterEOL), FSectionOffset(sectionOffset) {
    Init();
}

int TCrossReferenceSection::AddNext(std::int64_t Offset) {
    const int id = FNextId++;
    Add(std::make_unique<TCrossReferenceEntry>(id, Offset, 0, false));
    return id;
}

void TCrossReferenceSection::AddId(int Id, std::int64_t Offset) {
    Add(std::make_unique<TCrossReferenceEntry>(Id, Offset, 0, false));
}

void TCrossReferenceSection::SetOffset(int Id, std::int64_t Offset) {
    for (auto& entry : FItems)
        if (entry->FId == Id) {
            entry->FOffset = Offset;
            return;
        }
    AddId(Id, Offset);
}

void TCrossReferenceSection::Init() {
    Add(std::make_unique<TCrossReferenceEntry>(0, FSectionOffset, 65535, true));
}

void TCrossReferenceSection::Clear() {
    TOwnObjList::Clear();
    FNextId = 1;
}

void TCrossReferenceSection::PrepareToOut() {
    std::stable_sort(FItems.begin(), FItems.end(), [](const auto& a, const auto& b) { return a->FId < b->FId; });
    for (std::size_t i = 1; i < FItems.size(); ++i)
        if (FItems[i]->FId == FItems[i - 1]->FId)
            throw Exception(u"Cross Reference Error: Entries with the same Id's");
    for (std::size_t i = FItems.size(); i-- > 1;)
        FItems[i - 1]->CombiteSubsections(*FItems[i]);
}

bool TCrossReferenceSection::IsSubsection(int Index, AnsiString& SubsectionStr) const {
    const TCrossReferenceEntry& entry = *GetItem(Index);
    SubsectionStr = entry.FSubsection.Start ? entry.SubsectionStr() : AnsiString();
    return entry.FSubsection.Start;
}

AnsiString TCrossReferenceSection::OutLine(int Index) const {
    return GetItem(Index)->EntryStr(FSingleCharacterEOL);
}

// ---- Reference arrays ----------------------------------------------------------------------

void TReferenceArray::Add(int ObjNo) {
    if (std::find(FData.begin(), FData.end(), ObjNo) == FData.end())
        FData.push_back(ObjNo);
}

void TReferenceArray::WriteToStream(TStream& Stream, const AnsiString& Caption) const {
    if (FData.empty())
        return;
    AnsiString s = Caption + " [";
    for (std::size_t i = 0; i < FData.size(); ++i)
        s += (i ? " " : "") + ObjectRef(FData[i]);
    PutRawLine(Stream, s + "]");
}

void TPageByPageReferenceArray::Grow(int Index) {
    if (Index < 0)
        throw EListError(u"List index out of bounds (" + IntToStr(Index) + u")");
    if (std::size_t(Index) >= FData.size()) {
        FData.resize(std::size_t(Index) + 1);
        FContents.resize(std::size_t(Index) + 1, 0);
    }
}

TReferenceArray* TPageByPageReferenceArray::GetData(int Index) const {
    return Index >= 0 && std::size_t(Index) < FData.size() ? FData[std::size_t(Index)].get() : nullptr;
}

void TPageByPageReferenceArray::SetData(int Index, std::unique_ptr<TReferenceArray> Value) {
    Grow(Index);
    FData[std::size_t(Index)] = std::move(Value);
}

int TPageByPageReferenceArray::GetContents(int Index) const {
    return Index >= 0 && std::size_t(Index) < FContents.size() ? FContents[std::size_t(Index)] : 0;
}

void TPageByPageReferenceArray::SetContents(int Index, int Value) {
    Grow(Index);
    FContents[std::size_t(Index)] = Value;
}

// ---- Image XObjects ------------------------------------------------------------------------

int TfrxPDFXObjectArray::Add(int AId, const TfrxPDFXObjectHash& Hash) {
    FEntries.push_back(TEntry{AId, Hash, kUnknownLength, {}});
    return int(FEntries.size()) - 1;
}

int TfrxPDFXObjectArray::AddData(int AId, std::span<const std::uint8_t> Data) {
    FEntries.push_back(TEntry{AId, std::nullopt, Data.size(), {Data.begin(), Data.end()}});
    FPendingBytes += Data.size();
    // Beyond the budget the oldest kept data are digested and let go.
    while (FPendingBytes > kPendingBytes && FOldestPending < FEntries.size())
        Digest(FEntries[FOldestPending++]);
    return int(FEntries.size()) - 1;
}

TfrxPDFXObjectHash TfrxPDFXObjectArray::DigestOf(std::span<const std::uint8_t> Data) {
    TfrxPDFXObjectHash hash{};
    MD5Buf(Data.data(), Data.size(), hash.data());
    ++FDigests;
    return hash;
}

const TfrxPDFXObjectHash& TfrxPDFXObjectArray::Digest(TEntry& Entry) {
    if (!Entry.Hash) {
        Entry.Hash = DigestOf(Entry.Data);
        FPendingBytes -= Entry.Data.size();
        std::vector<std::uint8_t>().swap(Entry.Data);
    }
    return *Entry.Hash;
}

int TfrxPDFXObjectArray::Find(const TfrxPDFXObjectHash& Hash) {
    for (std::size_t i = 0; i < FEntries.size(); ++i)
        if (Digest(FEntries[i]) == Hash)
            return int(i);
    return -1;
}

int TfrxPDFXObjectArray::FindData(std::span<const std::uint8_t> Data) {
    std::optional<TfrxPDFXObjectHash> hash;
    for (std::size_t i = 0; i < FEntries.size(); ++i) {
        TEntry& entry = FEntries[i];
        if (entry.Length != kUnknownLength && entry.Length != Data.size())
            continue;
        if (!hash)
            hash = DigestOf(Data);
        if (Digest(entry) == *hash)
            return int(i);
    }
    return -1;
}

void TfrxPDFXObjectArray::Clear() {
    FEntries.clear();
    FPendingBytes = 0;
    FOldestPending = 0;
}

int JpegComponentCount(std::span<const std::uint8_t> jpeg) {
    std::size_t p = 2; // after the start-of-image marker
    while (p + 4 <= jpeg.size()) {
        if (jpeg[p] != 0xFF)
            return 0;
        const std::uint8_t marker = jpeg[p + 1];
        if (marker == 0xFF) { // fill byte
            ++p;
            continue;
        }
        const std::size_t length = (std::size_t(jpeg[p + 2]) << 8) | jpeg[p + 3];
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame)
            return p + 9 < jpeg.size() ? jpeg[p + 9] : 0;
        if (marker == 0xDA || length < 2)
            return 0; // image data before any frame header
        p += 2 + length;
    }
    return 0;
}

// ---- Document fonts ------------------------------------------------------------------------

int TPDFGLobalFonts::AddFont(const TFont& Font) {
    auto font = std::make_unique<TfrxPDFFont>(Font);
    font->PrepareMetrics();
    font->Name = "/F" + IntToAnsi(Count());
    return Add(std::move(font));
}

int TPDFGLobalFonts::IndexOfFont(StringView Name, TFontStyles Style) const {
    for (int i = 0; i < Count(); ++i) {
        const TFont& font = GetItem(i)->Font();
        if (font.GetName() == Name && font.GetStyle() == Style)
            return i;
    }
    return -1;
}

int TPDFGLobalFonts::IndexByReference(int No) const {
    for (int i = 0; i < Count(); ++i)
        if (GetItem(i)->Reference == No)
            return i;
    return -1;
}

// ---- TPDFObjectsHelper ---------------------------------------------------------------------

TPDFObjectsHelper::TPDFObjectsHelper() : FCRS(std::make_unique<TCrossReferenceSection>(false)) {}

TPDFObjectsHelper::~TPDFObjectsHelper() = default;

int TPDFObjectsHelper::UpdateXRef() {
    if (!FpdfStream)
        throw EInvalidOperation(u"No PDF output stream");
    FLastRequestedXRef = FCRS->AddNext(FpdfStream->GetPosition());
    return FLastRequestedXRef;
}

void TPDFObjectsHelper::Clear() {
    FCRS->Clear();
    FCRS->Init();
}

int TPDFObjectsHelper::GetObjFontNumber(const TFont& Font) {
    if (!FFonts || !FPageFonts)
        throw EInvalidOperation(u"No document font list");
    // Underline and strike-out are lines the text writer draws; the glyphs are the same, so
    // they share the document font of the plain style.
    TFontStyles style = SimulatedStyle(Font);
    style.Exclude(fsUnderline);
    style.Exclude(fsStrikeOut);
    int index = FFonts->IndexOfFont(Font.GetName(), style);
    if (index < 0) {
        TFont face;
        face.Assign(Font);
        face.SetStyle(style);
        index = FFonts->AddFont(face);
    }
    TfrxPDFFont& pdfFont = *FFonts->Get(index);
    if (!pdfFont.IsSaved())
        pdfFont.Save(UpdateXRef());
    FPageFonts->Add(pdfFont.Reference);
    return index;
}

void TPDFObjectsHelper::OutPageFonts() {
    if (!FPageFonts || FPageFonts->Count() == 0)
        return;
    AnsiString s = "/Font << ";
    for (int i = 0; i < FPageFonts->Count(); ++i) {
        const int no = FPageFonts->GetNo(i);
        const int index = FFonts ? FFonts->IndexByReference(no) : -1;
        if (index >= 0)
            s += FFonts->Get(index)->Name + " " + ObjectRef(no) + " ";
    }
    PutRawLine(*FpdfStream, s + ">>");
}

int TPDFObjectsHelper::FindXObject(const TfrxPDFXObjectHash& Hash) {
    FLastRequestedXRef = FXObjects ? FXObjects->Find(Hash) : -1;
    return FLastRequestedXRef;
}

int TPDFObjectsHelper::FindXObjectData(std::span<const std::uint8_t> Data) {
    FLastRequestedXRef = FXObjects ? FXObjects->FindData(Data) : -1;
    return FLastRequestedXRef;
}

int TPDFObjectsHelper::OutXObjectImage(const TfrxPDFXObjectHash& XObjectHash, const TGraphic& Image,
                                       TStream& XObjectStream, bool IsTransparent, int MaskId) {
    if (!FXObjects)
        throw EInvalidOperation(u"No XObject list");
    if (FProtection && !FStreamEncryption)
        throw EInvalidOperation(u"No stream encryption for a protected document");
    std::vector<std::uint8_t> data(std::size_t(XObjectStream.GetSize()));
    XObjectStream.SetPosition(0);
    XObjectStream.ReadBuffer(data.data(), std::int64_t(data.size()));
    const int id = UpdateXRef();
    WriteImageObject(id, data, Image.GetWidth(), Image.GetHeight(), IsTransparent, MaskId);
    return FXObjects->Add(id, XObjectHash);
}

int TPDFObjectsHelper::OutXObjectImageData(std::span<const std::uint8_t> Jpeg, int Width, int Height,
                                           bool IsTransparent, int MaskId) {
    if (!FXObjects)
        throw EInvalidOperation(u"No XObject list");
    if (FProtection && !FStreamEncryption)
        throw EInvalidOperation(u"No stream encryption for a protected document");
    const int id = UpdateXRef();
    WriteImageObject(id, Jpeg, Width, Height, IsTransparent, MaskId);
    return FXObjects->AddData(id, Jpeg);
}

void TPDFObjectsHelper::WriteImageObject(int Id, std::span<const std::uint8_t> Jpeg, int Width, int Height,
                                         bool IsTransparent, int MaskId) {
    const bool gray = JpegComponentCount(Jpeg) == 1;
    RawByteString encrypted;
    if (FProtection)
        encrypted = FStreamEncryption(RawByteString(Jpeg.begin(), Jpeg.end()), Id);
    const std::span<const std::uint8_t> written =
        FProtection ? std::span(reinterpret_cast<const std::uint8_t*>(encrypted.data()), encrypted.size()) : Jpeg;
    TStream& out = *FpdfStream;
    PutRawLine(out, ObjectLine(Id));
    PutRawLine(out, "<<");
    PutRawLine(out, "/Type /XObject");
    PutRawLine(out, "/Subtype /Image");
    PutRawLine(out, gray ? "/ColorSpace /DeviceGray" : "/ColorSpace /DeviceRGB");
    PutRawLine(out, "/BitsPerComponent 8");
    PutRawLine(out, "/Filter /DCTDecode");
    PutRawLine(out, "/Width " + IntToAnsi(Width));
    PutRawLine(out, "/Height " + IntToAnsi(Height));
    if (IsTransparent)
        PutRawLine(out, "/SMask " + ObjectRef(MaskId));
    PutRawLine(out, "/Length " + IntToAnsi(std::int64_t(written.size())));
    PutRawLine(out, ">>");
    PutRawLine(out, "stream");
    out.WriteBuffer(written.data(), std::int64_t(written.size()));
    PutRawLine(out, "");
    PutRawLine(out, "endstream");
    PutRawLine(out, "endobj");
}

} // namespace vgl
