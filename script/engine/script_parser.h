#pragma once
// The script engine's tokenizer. It does not produce a token stream: the grammar walker asks
// it, at the current position, for one kind of token at a time and moves the position back
// itself when a rule fails. Every lexical difference between the script languages lives in
// its settings.

#include <bitset>
#include <memory>
#include <vector>

#include "platform/rtl/ustring.h"

namespace vgl {

class TStringList;

struct TfsPoint {
    int X = 0;
    int Y = 0;
};

class TfsParser {
public:
    TfsParser();
    ~TfsParser();
    TfsParser(const TfsParser&) = delete;
    TfsParser& operator=(const TfsParser&) = delete;

    /// Resets the settings to their defaults; CommentLine2, CaseSensitive and UseY stay.
    void Clear();

    // ---- Settings ----
    bool CaseSensitive = false;
    const String& CommentBlock1() const { return FCommentBlock1; }
    /// "opening,closing" (comma-text rules; missing parts are empty).
    void SetCommentBlock1(StringView value);
    const String& CommentBlock2() const { return FCommentBlock2; }
    void SetCommentBlock2(StringView value);
    String CommentLine1;
    String CommentLine2;
    String HexSequence;
    std::bitset<256> IdentifierCharset;
    /// The reserved words: sorted, case-insensitive, duplicates ignored.
    TStringList& Keywords() { return *FKeywords; }
    /// Line-continuation character (only the first character counts; empty: none).
    String SkiPChar;
    bool SkipEOL = true;
    bool SkipSpace = true;
    /// The string delimiter (only the first character counts).
    String StringQuotes;
    bool SpecStrChar = false;
    bool UseY = true;

    // ---- Source and position ----
    /// The source without its NUL sentinel.
    String Text() const { return FText.substr(0, FText.size() - 1); }
    void SetText(StringView source);
    int Position() const { return FPosition; }
    void SetPosition(int value);
    /// Where the current token starts (the position reached by the last blank skipping).
    int LastPosition() const { return FLastPosition; }

    /// The identifier characters are exactly the low 8 bits of each character of `text`.
    void ConstructCharset(StringView text);

    // ---- Readers ----
    void SkipSpaces();
    bool GetEOL();
    String GetWord();
    String GetIdent();
    bool IsKeyWord(const String& word) const;
    String GetChar();
    /// The value enclosed in single quotes, whatever the language's delimiter; empty when none.
    String GetString();
    /// The number in its source form, the hexadecimal prefix rewritten to '$'; empty when none.
    String GetNumber();
    /// The inside of a report expression up to its matching closing bracket.
    String GetFRString();
    /// "line:column", both 1-based.
    String GetXYPosition() const;
    /// The position of column X in line Y; -1 when Y is not a line of the text.
    int GetPlainPosition(TfsPoint pt) const;

private:
    Char At(int pos) const { return pos >= 1 && pos <= FSize ? FText[size_t(pos - 1)] : u'\0'; }
    Char Cur() const { return At(FPosition); }
    bool IsBlank(Char c) const;
    bool IsIdentChar(Char c) const;
    bool Matches(int pos, StringView s) const;
    bool ReadInteger();
    bool ReadQuotedPart(String& value);
    bool ReadControlPart(String& value);

    String FCommentBlock1, FCommentBlock11, FCommentBlock12;
    String FCommentBlock2, FCommentBlock21, FCommentBlock22;
    std::unique_ptr<TStringList> FKeywords;
    int FLastPosition = 1;
    int FPosition = 1;
    int FSize = 0;
    String FText = String(1, u'\0');
    std::vector<int> FYList{0};
};

} // namespace vgl
