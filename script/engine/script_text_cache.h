#pragma once
// Results that depend on a text alone (the reading of a prototype, the names of a comma list),
// made once per process and shared read-only by every thread, so that registering the same
// texts in every script reads each of them once.

#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "platform/rtl/ustring.h"

namespace vgl {

template <class T> class TfsTextCache {
public:
    /// Keeps at most `maxTexts` texts of at most `maxTextLength` code units each: a host may pass
    /// texts it builds at run time, which must not make the cache grow without bound.
    TfsTextCache(size_t maxTexts, size_t maxTextLength) : FMaxTexts(maxTexts), FMaxTextLength(maxTextLength) {}
    TfsTextCache(const TfsTextCache&) = delete;
    TfsTextCache& operator=(const TfsTextCache&) = delete;

    /// The result for `text`: the kept one, or `make(text)` (a std::unique_ptr<T>), kept when
    /// there is room. A result that is not kept goes to `holder`, which the caller keeps while it
    /// uses the result. A kept result is never changed nor freed before the cache.
    template <class Make> const T& Get(StringView text, std::unique_ptr<T>& holder, Make make) {
        {
            std::shared_lock lock(FLock);
            if (auto it = FTexts.find(text); it != FTexts.end())
                return *it->second;
        }
        std::unique_ptr<T> made = make(text);
        if (text.size() <= FMaxTextLength) {
            std::unique_lock lock(FLock);
            if (auto it = FTexts.find(text); it != FTexts.end())
                return *it->second; // another thread made it meanwhile
            if (FTexts.size() < FMaxTexts)
                return *FTexts.emplace(String(text), std::move(made)).first->second;
        }
        holder = std::move(made);
        return *holder;
    }

private:
    struct TextHash {
        using is_transparent = void;
        size_t operator()(StringView s) const { return std::hash<StringView>{}(s); }
    };
    struct TextEqual {
        using is_transparent = void;
        bool operator()(StringView a, StringView b) const { return a == b; }
    };

    const size_t FMaxTexts;
    const size_t FMaxTextLength;
    std::shared_mutex FLock;
    std::unordered_map<String, std::unique_ptr<const T>, TextHash, TextEqual> FTexts;
};

} // namespace vgl
