#include "report/model/dictionary.h"

#include <algorithm>

#include "platform/rtl/sysutils.h"

namespace vgl {

void TfrxDictionary::Clear() {
    FNames.clear();
    FSourceNames.clear();
}

bool TfrxDictionary::Find(const String& name, std::size_t& index) const {
    auto it =
        std::lower_bound(FNames.begin(), FNames.end(), name, [](const std::pair<String, int>& item, const String& key) {
            return AnsiCompareText(item.first, key) < 0;
        });
    index = std::size_t(it - FNames.begin());
    return it != FNames.end() && AnsiCompareText(it->first, name) == 0;
}

std::size_t TfrxDictionary::InsertName(const String& name, int sourceIndex) {
    std::size_t index = 0;
    if (!Find(name, index))
        FNames.insert(FNames.begin() + std::ptrdiff_t(index), {name, sourceIndex});
    return index;
}

void TfrxDictionary::Add(const String& name, const String& sourceName, TfrxComponent* obj) {
    FSourceNames.emplace_back(sourceName, obj);
    InsertName(name, int(FSourceNames.size()) - 1);
}

String TfrxDictionary::AddUnique(const String& base, const String& sourceName, TfrxComponent* obj) {
    String name = CreateUniqueName(base);
    Add(name, sourceName, obj);
    return name;
}

String TfrxDictionary::CreateUniqueName(const String& base) {
    std::size_t index = 0;
    long long n = 1;
    if (FNames.size() >= 4) {
        // The names sorting between base + "0" and base + "A" are (mostly) base + number; their
        // count is a good first guess at the highest number in use.
        std::size_t first = InsertName(base + u"0", 0);
        const std::size_t before = FNames.size();
        const std::size_t last = InsertName(base + u"A", 0);
        if (FNames.size() > before && last <= first)
            ++first; // the second probe went in before the first
        n = (long long)last - (long long)first - 1;
        while (n > 0 && !Find(base + IntToStr(n), index))
            --n;
        // base + n is listed now (base + "0" is a probe): the search goes on after it.
        if (n >= 0)
            ++n;
    }
    while (Find(base + IntToStr(n), index))
        ++n;
    return base + IntToStr(n);
}

const std::pair<String, TfrxComponent*>* TfrxDictionary::SourceOf(const String& name) const {
    std::size_t index = 0;
    if (!Find(name, index))
        return nullptr;
    int source = FNames[index].second;
    if (source < 0 || std::size_t(source) >= FSourceNames.size())
        return nullptr;
    return &FSourceNames[std::size_t(source)];
}

TfrxComponent* TfrxDictionary::GetObject(const String& name) const {
    auto* source = SourceOf(name);
    return source ? source->second : nullptr;
}

String TfrxDictionary::GetSourceName(const String& name) const {
    auto* source = SourceOf(name);
    return source ? source->first : String();
}

} // namespace vgl
