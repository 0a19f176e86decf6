#pragma once
// The dictionary of prepared pages: short names of source objects ("m12", "b3") mapped to the
// source name and the source object, so that a prepared object can be stored as the difference
// against its source. Names are looked up without letter case.

#include <utility>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TfrxComponent;

class TfrxDictionary : public TObject {
public:
    String ClassName() const override { return u"TfrxDictionary"; }

    /// Empties both lists.
    void Clear();
    /// Appends the source name with its object and lists `name` for it; a name already listed
    /// keeps its first source.
    void Add(const String& name, const String& sourceName, TfrxComponent* obj);
    /// Adds the source under the first free name of `base` (CreateUniqueName) and answers it.
    String AddUnique(const String& base, const String& sourceName, TfrxComponent* obj);
    /// `base` followed by a free number. From four names on, the probes base + "0" and base + "A"
    /// are listed (for the first source) and the count of names between them is where the search
    /// starts, so that a long run of numbered names is not walked from 1.
    String CreateUniqueName(const String& base);
    /// The source object of a name; none for a name not listed.
    TfrxComponent* GetObject(const String& name) const;
    /// The source name of a name; empty for a name not listed.
    String GetSourceName(const String& name) const;

    // ---- The lists, for writing and reading the dictionary ----------------------------------
    /// Names in sorted order, each with the index of its source.
    int NameCount() const { return int(FNames.size()); }
    const String& NameAt(int index) const { return FNames.at(std::size_t(index)).first; }
    int SourceIndexAt(int index) const { return FNames.at(std::size_t(index)).second; }
    /// Sources in the order they were added.
    int SourceCount() const { return int(FSourceNames.size()); }
    const String& SourceNameAt(int index) const { return FSourceNames.at(std::size_t(index)).first; }
    TfrxComponent* SourceObjectAt(int index) const { return FSourceNames.at(std::size_t(index)).second; }

private:
    /// Position of the name (true) or where it would be inserted (false).
    bool Find(const String& name, std::size_t& index) const;
    /// Lists the name for the source index unless listed; answers its position.
    std::size_t InsertName(const String& name, int sourceIndex);
    /// The source entry of a listed name, or none.
    const std::pair<String, TfrxComponent*>* SourceOf(const String& name) const;

    std::vector<std::pair<String, int>> FNames;
    std::vector<std::pair<String, TfrxComponent*>> FSourceNames;
};

} // namespace vgl
