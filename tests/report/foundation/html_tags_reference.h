#pragma once
// The straightforward tag expansion the fast one replaced: closing a tag writes the opening texts
// of the tags it re-opens back into the line and reads them again. Kept for the tests only, to
// compare the fast expansion with it on many texts.

#include <vector>

#include "report/foundation/html_tags.h"

namespace vgl {

/// TfrxHTMLTagsList with the straightforward expansion: the run state, the line lists and the
/// recording of each kept character are the base class's, only the expansion is its own.
class ReferenceHTMLTagsList : public TfrxHTMLTagsList {
public:
    void ExpandHTMLTags(String& s);

private:
    void CloseTag(String& s, size_t i, StringView name);

    struct StackEntry {
        String Name;
        String Attribute;
    };

    std::vector<StackEntry> FStack;
};

} // namespace vgl
