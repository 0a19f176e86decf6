#pragma once
// HTML-like tags in memo text: <b>, <i>, <u>, <strike>, <sub>, <sup>, <nowrap> and
// <font color=...>. TfrxHTMLTagsList removes the recognised tags from each source line and
// records, for every kept character, the style it is drawn in, grouped into one TfrxHTMLTags list
// per output line. It also measures lines character by character in those styles.

#include <array>
#include <cstdint>
#include <vector>

#include "platform/graphics/canvas.h"
#include "platform/rtl/ustring.h"

namespace vgl {

enum TSubStyle { ssNormal, ssSubscript, ssSuperscript };

/// The style of one kept character.
struct TfrxHTMLTag {
    int Position = 0; ///< 1-based index of the character in the source text (tags and CR LF included)
    int Size = 0;     ///< font size in points
    int AddY = 0;     ///< 1 for subscript, else 0
    TFontStyles Style;
    TColor Color = clBlack;
    /// True when the character has the style of the one before it. A false value marks the start
    /// of a run; measuring and drawing set it to true once they have started the run there.
    bool Default = false;
    bool Small = false;    ///< Size differs from the default size
    bool DontWRAP = false; ///< inside a nowrap tag
    TSubStyle SubType = ssNormal;

    /// Copies every field but DontWRAP.
    void Assign(const TfrxHTMLTag& source);
};

/// The tags of one output line.
class TfrxHTMLTags {
public:
    /// A new tag at the end (the reference lives until the next Add).
    TfrxHTMLTag& Add();
    int Count() const { return int(FItems.size()); }
    TfrxHTMLTag& GetItems(int index) { return FItems.at(size_t(index)); }
    const TfrxHTMLTag& GetItems(int index) const { return FItems.at(size_t(index)); }
    void Clear() { FItems.clear(); }
    std::vector<TfrxHTMLTag>& Items() { return FItems; }
    const std::vector<TfrxHTMLTag>& Items() const { return FItems; }

private:
    std::vector<TfrxHTMLTag> FItems;
};

/// The tag lists of a text, one per output line, and the run state that carries tags across the
/// source lines of one text.
class TfrxHTMLTagsList {
public:
    TfrxHTMLTagsList();

    bool AllowTags() const { return FAllowTags; }
    void SetAllowTags(bool value) { FAllowTags = value; }
    /// The next 1-based index into the source text.
    int Position() const { return FPosition; }
    void SetPosition(int value) { FPosition = value; }

    /// Defaults and run state := these; Position 1; every line list freed.
    void SetDefaults(TColor defColor, int defSize, TFontStyles defStyle);
    void Clear() { FItems.clear(); }
    int Count() const { return int(FItems.size()); }
    TfrxHTMLTags& GetItems(int index) { return FItems.at(size_t(index)); }
    const TfrxHTMLTags& GetItems(int index) const { return FItems.at(size_t(index)); }

    /// Appends an empty line list when the list is not empty.
    void NewLine();
    /// A new tag at the end of the newest line list (the first list is created when there is none).
    TfrxHTMLTag& AddTag();
    /// The tag before the newest one (possibly the previous list's last), or none.
    TfrxHTMLTag* PrevTag();
    /// Splits the newest line list after `value` tags; the rest goes into a new list. With
    /// `hyphen` the kept part gets one more tag, a copy of its last one, for the inserted "-".
    void BreakLine(int value, bool hyphen);
    /// Removes the recognised tags from `s` and records one tag per kept character. A line made
    /// only of tags becomes a single blank with one tag. Malformed tags are ordinary text. The
    /// time taken grows linearly with the length of `s`, however badly its tags nest.
    void ExpandHTMLTags(String& s);

    /// Advances of the characters of `s` on `canvas` in the styles of line list `lineIndex`, each
    /// plus `charSpacing` (a small character's advance is divided by 1.5 and rounded). With
    /// `cumulative` entry i is the width of the first i + 1 characters. Returns the total width.
    /// The canvas font keeps the last style set.
    int FillCharWidths(std::vector<int>& widths, StringView s, bool useDefaultCharset, bool cumulative, int charSpacing,
                       int lineIndex, TCanvas& canvas);

protected:
    /// Records the tag of one kept character from the run state.
    void AddCharTag();

    // The run state; the tests' reference expansion (a derived class) records through it too.
    bool FAllowTags = true;
    TFontStyles FStyle, FDefStyle;
    TColor FColor = clBlack, FDefColor = clBlack;
    int FSize = 10, FDefSize = 10;
    int FAddY = 0;
    bool FDontWRAP = false;
    TSubStyle FSubStyle = ssNormal;
    int FPosition = 1;
    std::vector<TfrxHTMLTags> FItems;

private:
    /// The tags that open and close: the open-tag stack keeps one list per kind.
    enum TagKind { tkBold, tkItalic, tkUnderline, tkStrike, tkNoWrap, tkSub, tkSup, tkFont, tkCount };

    /// An open tag: its place on the open-tag stack (a larger Order is further up) and, for a font
    /// tag, its colour.
    struct OpenEntry {
        std::uint64_t Order = 0;
        TColor Color = clBlack;
    };

    /// Applies the style a tag of `kind` opens.
    void ApplyOpen(TagKind kind, TColor color);
    /// Opens a tag of `kind` on top of the open-tag stack.
    void OpenTag(TagKind kind, TColor color = clBlack);
    /// Closes the innermost open tag of `kind`. The tags opened inside it and still open are
    /// re-opened after the close, as is an outer tag of the same kind.
    void CloseTag(TagKind kind);

    /// The open tags of the current ExpandHTMLTags call, one list per kind in stack order.
    std::array<std::vector<OpenEntry>, tkCount> FOpen;
    std::uint64_t FOpenOrder = 0; ///< Order of the most recently opened tag
};

/// The text a font of `charset` draws for `s`: when the text goes the 8-bit way (the charset is
/// not DEFAULT_CHARSET and `useDefaultCharset` is off), characters the charset's code page lacks
/// become "?"; a charset whose code page is not converted keeps the text as it is.
String FontCharsetText(StringView s, TFontCharset charset, bool useDefaultCharset);

/// True when text in a font of `charset` is measured and drawn as UTF-16 (not through a code page).
inline bool UsesWideTextPath(TFontCharset charset, bool useDefaultCharset) {
    return charset == DEFAULT_CHARSET || useDefaultCharset;
}

/// The font turned by `angle` degrees (escapement and orientation in tenths of a degree).
TFontData CreateRotatedFont(const TFontData& font, int angle);

} // namespace vgl
