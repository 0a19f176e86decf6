#pragma once
// The straightforward tag expansion the fast one replaced: closing a tag writes the opening texts
// of the tags it re-opens back into the line and reads them again. Kept for the tests only, to
// compare the fast expansion with it on many texts.

#include <vector>

#include "report/foundation/html_tags.h"

namespace vgl {

/// The run state and line lists of TfrxHTMLTagsList with the straightforward expansion.
class ReferenceHTMLTagsList {
public:
    void SetAllowTags(bool value) { FAllowTags = value; }
    int Position() const { return FPosition; }
    void SetPosition(int value) { FPosition = value; }
    void SetDefaults(TColor defColor, int defSize, TFontStyles defStyle);
    void NewLine();
    int Count() const { return int(FItems.size()); }
    const TfrxHTMLTags& GetItems(int index) const { return FItems.at(size_t(index)); }
    void ExpandHTMLTags(String& s);

private:
    TfrxHTMLTag& AddTag();
    const TfrxHTMLTag* PrevTag() const;
    void AddCharTag();
    void CloseTag(String& s, size_t i, StringView name);

    struct OpenTag {
        String Name;
        String Attribute;
    };

    bool FAllowTags = true;
    TFontStyles FStyle, FDefStyle;
    TColor FColor = clBlack, FDefColor = clBlack;
    int FSize = 10, FDefSize = 10;
    int FAddY = 0;
    bool FDontWRAP = false;
    TSubStyle FSubStyle = ssNormal;
    int FPosition = 1;
    std::vector<TfrxHTMLTags> FItems;
    std::vector<OpenTag> FStack;
};

} // namespace vgl
