#pragma once
// TfrxWideStrings: the report engine's list of UTF-16 lines (memo texts, resource values) with
// an object per line (not owned).

#include <vector>

#include "platform/rtl/string_list.h"

namespace vgl {

/// The name scripts know the engine's wide-string lists by: a reflected base without state.
class TWideStrings : public TStrings {
    VGL_CLASS(TWideStrings, TStrings)
};

class TfrxWideStrings : public TWideStrings {
public:
    TfrxWideStrings() = default;
    ~TfrxWideStrings() override = default;
    TfrxWideStrings(const TfrxWideStrings&) = delete;
    TfrxWideStrings& operator=(const TfrxWideStrings&) = delete;
    String ClassName() const override { return u"TfrxWideStrings"; }

    int Count() const override { return int(FWideStringList.size()); }
    /// The line, or the empty text outside 0..Count-1.
    String Get(int index) const override;
    /// Replaces the line at `index` (its object stays); `index` = Count appends. Raises
    /// Exception "Wide String Out of Bounds" otherwise.
    void Put(int index, const String& s) override;
    /// The object, or none outside the range.
    TObject* GetObject(int index) const override;
    /// Sets the object; nothing outside the range.
    void PutObject(int index, TObject* obj) override;
    int Add(const String& s) override;
    /// Inserts a line before `index` (0..Count); raises Exception "Wide String Out of Bounds"
    /// otherwise.
    void Insert(int index, const String& s) override;
    /// Raises EStringListError "List index out of bounds (%d)" outside the range.
    void Delete(int index) override;
    void Clear() override;
    /// First line equal to `s` (case-sensitive); -1 when none.
    int IndexOf(const String& s) const override;

    /// Every line followed by CR LF, the last one included.
    String Text() const override;
    /// Clears, then splits: lines end at NUL, CR, LF or U+2028; after a line one CR, then one LF,
    /// then one U+2028 are skipped when present; the text ends at the first NUL.
    void SetText(StringView text) override;

    /// Text as UTF-16 little-endian code units without a byte-order mark.
    void SaveToStream(TStream& stream) const;
    void SaveToFile(const String& fileName) const;
    /// The bytes from the stream's position to its end as UTF-16 little-endian text (pairs with
    /// SaveToStream).
    void LoadFromWStream(TStream& stream);
    /// The bytes from the stream's position: after an FF FE mark UTF-16 little-endian; otherwise
    /// UTF-8 (an EF BB BF mark skipped) when the bytes are valid UTF-8, else the ANSI code page.
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const String& fileName);

private:
    struct Entry {
        String Text;
        TObject* Object = nullptr;
    };
    std::vector<Entry> FWideStringList;
};

} // namespace vgl
