#include "platform/rtl/string_list.h"

#include <memory>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

constexpr StringView kLineBreak = u"\r\n";

// Characters that separate items of a delimited text when StrictDelimiter is off.
bool IsBlank(Char c) {
    return c <= u' ';
}

String DecodeUtf16(std::string_view bytes, bool bigEndian) {
    String result;
    result.reserve(bytes.size() / 2 + 1);
    size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        result.push_back(bigEndian ? Char((b0 << 8) | b1) : Char((b1 << 8) | b0));
    }
    if (i < bytes.size())
        result.push_back(u'\uFFFD'); // a lone trailing byte is no character
    return result;
}

std::string EncodeUtf16(StringView text, bool bigEndian) {
    std::string result;
    result.reserve(text.size() * 2);
    for (const Char c : text) {
        const char hi = char(c >> 8), lo = char(c & 0xFF);
        if (bigEndian) {
            result.push_back(hi);
            result.push_back(lo);
        } else {
            result.push_back(lo);
            result.push_back(hi);
        }
    }
    return result;
}

constexpr std::string_view kBomUtf8 = "\xEF\xBB\xBF";
constexpr std::string_view kBomUtf16LE = "\xFF\xFE";
constexpr std::string_view kBomUtf16BE = "\xFE\xFF";

std::string_view Preamble(TTextEncoding encoding) {
    switch (encoding) {
    case TTextEncoding::UTF8:
        return kBomUtf8;
    case TTextEncoding::Unicode:
        return kBomUtf16LE;
    case TTextEncoding::BigEndianUnicode:
        return kBomUtf16BE;
    default:
        return {};
    }
}

String Decode(std::string_view bytes, TTextEncoding encoding) {
    switch (encoding) {
    case TTextEncoding::Ansi:
        return AnsiToString(bytes);
    case TTextEncoding::Unicode:
        return DecodeUtf16(bytes, false);
    case TTextEncoding::BigEndianUnicode:
        return DecodeUtf16(bytes, true);
    default:
        return Utf8ToString(bytes);
    }
}

std::string Encode(StringView text, TTextEncoding encoding) {
    switch (encoding) {
    case TTextEncoding::Ansi:
        return StringToAnsi(text);
    case TTextEncoding::Unicode:
        return EncodeUtf16(text, false);
    case TTextEncoding::BigEndianUnicode:
        return EncodeUtf16(text, true);
    default:
        return StringToUtf8(text);
    }
}

} // namespace

// ---- TStrings -----------------------------------------------------------------------------

void TStrings::IndexError(int index) {
    throw EStringListError(u"List index out of bounds (%d)", {index});
}

int TStrings::CompareStrings(const String& a, const String& b) const {
    return AnsiCompareText(a, b);
}

void TStrings::Put(int index, const String& s) {
    TObject* obj = GetObject(index);
    Delete(index);
    InsertObject(index, s, obj);
}

TObject* TStrings::GetObject(int) const {
    return nullptr;
}

void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const String& s) {
    const int result = Count();
    Insert(result, s);
    return result;
}

int TStrings::AddObject(const String& s, TObject* obj) {
    const int result = Add(s);
    PutObject(result, obj);
    return result;
}

void TStrings::InsertObject(int index, const String& s, TObject* obj) {
    Insert(index, s);
    PutObject(index, obj);
}

int TStrings::IndexOf(const String& s) const {
    for (int i = 0, n = Count(); i < n; ++i)
        if (CompareStrings(Get(i), s) == 0)
            return i;
    return -1;
}

int TStrings::IndexOfName(const String& name) const {
    for (int i = 0, n = Count(); i < n; ++i) {
        const String s = Get(i);
        const size_t p = s.find(NameValueSeparator);
        if (p != String::npos && CompareStrings(s.substr(0, p), name) == 0)
            return i;
    }
    return -1;
}

int TStrings::IndexOfObject(const TObject* obj) const {
    for (int i = 0, n = Count(); i < n; ++i)
        if (GetObject(i) == obj)
            return i;
    return -1;
}

void TStrings::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex)
        return;
    BeginUpdate();
    const TScopeExit endUpdate([&] { EndUpdate(); });
    const String s = Get(curIndex);
    TObject* obj = GetObject(curIndex);
    // Detach the object first so that a list owning its objects does not free it on Delete.
    PutObject(curIndex, nullptr);
    Delete(curIndex);
    InsertObject(newIndex, s, obj);
}

void TStrings::Exchange(int index1, int index2) {
    BeginUpdate();
    const TScopeExit endUpdate([&] { EndUpdate(); });
    const String s = Get(index1);
    TObject* obj = GetObject(index1);
    Put(index1, Get(index2));
    PutObject(index1, GetObject(index2));
    Put(index2, s);
    PutObject(index2, obj);
}

void TStrings::AddStrings(const TStrings& strings) {
    BeginUpdate();
    const TScopeExit endUpdate([&] { EndUpdate(); });
    // The count is taken once, so adding a list to itself doubles it instead of looping.
    for (int i = 0, n = strings.Count(); i < n; ++i)
        AddObject(strings.Get(i), strings.GetObject(i));
}

VGL_DEFINE_CLASS(TStrings) {}
VGL_DEFINE_CLASS(TStringList) {}

void TStrings::Assign(const TPersistent* source) {
    if (const auto* strings = dynamic_cast<const TStrings*>(source)) {
        Assign(*strings);
        return;
    }
    TPersistent::Assign(source);
}

void TStrings::Assign(const TStrings& source) {
    if (&source == this)
        return;
    BeginUpdate();
    const TScopeExit endUpdate([&] { EndUpdate(); });
    Clear();
    NameValueSeparator = source.NameValueSeparator;
    QuoteChar = source.QuoteChar;
    Delimiter = source.Delimiter;
    StrictDelimiter = source.StrictDelimiter;
    AddStrings(source);
}

bool TStrings::Equals(const TStrings& other) const {
    const int n = Count();
    if (n != other.Count())
        return false;
    for (int i = 0; i < n; ++i)
        if (Get(i) != other.Get(i))
            return false;
    return true;
}

void TStrings::BeginUpdate() {
    if (FUpdateCount == 0)
        SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate() {
    if (FUpdateCount <= 0)
        return;
    --FUpdateCount;
    if (FUpdateCount == 0)
        SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

String TStrings::Names(int index) const {
    const String s = Get(index);
    const size_t p = s.find(NameValueSeparator);
    return p == String::npos ? String() : s.substr(0, p);
}

String TStrings::Values(const String& name) const {
    const int i = IndexOfName(name);
    return i >= 0 ? ValueFromIndex(i) : String();
}

void TStrings::SetValue(const String& name, const String& value) {
    int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0)
            Delete(i);
        return;
    }
    String line = name;
    line += NameValueSeparator;
    line += value;
    const auto* list = dynamic_cast<const TStringList*>(this);
    if (list != nullptr && list->Sorted()) {
        // A sorted list cannot change a line in place: the line is replaced by a sorted add.
        TObject* obj = nullptr;
        if (i >= 0) {
            obj = GetObject(i);
            PutObject(i, nullptr);
            Delete(i);
        }
        AddObject(line, obj);
        return;
    }
    if (i < 0)
        i = Add(String());
    Put(i, line);
}

String TStrings::ValueFromIndex(int index) const {
    if (index < 0)
        return {};
    const String s = Get(index);
    const size_t p = s.find(NameValueSeparator);
    return p == String::npos ? String() : s.substr(p + 1);
}

String TStrings::Text() const {
    String result;
    for (int i = 0, n = Count(); i < n; ++i) {
        result += Get(i);
        result += kLineBreak;
    }
    return result;
}

void TStrings::SetText(StringView text) {
    BeginUpdate();
    const TScopeExit endUpdate([&] { EndUpdate(); });
    Clear();
    size_t p = 0;
    const size_t n = text.size();
    while (p < n) {
        const size_t start = p;
        while (p < n && text[p] != u'\r' && text[p] != u'\n')
            ++p;
        Add(String(text.substr(start, p - start)));
        if (p < n && text[p] == u'\r')
            ++p;
        if (p < n && text[p] == u'\n')
            ++p;
    }
}

String TStrings::CommaText() const {
    auto& self = const_cast<TStrings&>(*this);
    const Char oldDelimiter = Delimiter, oldQuote = QuoteChar;
    const bool oldStrict = StrictDelimiter;
    self.Delimiter = u',';
    self.QuoteChar = u'"';
    self.StrictDelimiter = false;
    String result;
    const TScopeExit restore([&] {
        self.Delimiter = oldDelimiter;
        self.QuoteChar = oldQuote;
        self.StrictDelimiter = oldStrict;
    });
    result = DelimitedText();
    return result;
}

void TStrings::SetCommaText(StringView text) {
    const Char oldDelimiter = Delimiter, oldQuote = QuoteChar;
    const bool oldStrict = StrictDelimiter;
    Delimiter = u',';
    QuoteChar = u'"';
    StrictDelimiter = false;
    const TScopeExit restore([&] {
        Delimiter = oldDelimiter;
        QuoteChar = oldQuote;
        StrictDelimiter = oldStrict;
    });
    SetDelimitedText(text);
}

String TStrings::DelimitedText() const {
    const int n = Count();
    if (n == 1 && Get(0).empty())
        return String(2, QuoteChar);
    String result;
    for (int i = 0; i < n; ++i) {
        const String s = Get(i);
        bool quote = false;
        for (const Char c : s)
            if (c == QuoteChar || c == Delimiter || (!StrictDelimiter && IsBlank(c))) {
                quote = true;
                break;
            }
        if (i > 0)
            result += Delimiter;
        result += quote ? AnsiQuotedStr(s, QuoteChar) : s;
    }
    return result;
}

void TStrings::SetDelimitedText(StringView text) {
    BeginUpdate();
    const TScopeExit endUpdate([&] { EndUpdate(); });
    Clear();
    const size_t n = text.size();
    size_t p = 0;
    auto skipBlanks = [&] {
        if (!StrictDelimiter)
            while (p < n && IsBlank(text[p]))
                ++p;
    };
    skipBlanks();
    while (p < n) {
        if (text[p] == QuoteChar) {
            Add(AnsiExtractQuotedStr(text, p, QuoteChar));
        } else {
            const size_t start = p;
            while (p < n && text[p] != Delimiter && (StrictDelimiter || !IsBlank(text[p])))
                ++p;
            Add(String(text.substr(start, p - start)));
        }
        skipBlanks();
        if (p < n && text[p] == Delimiter) {
            // A delimiter at the very end stands before one more, empty item.
            if (p + 1 == n)
                Add(String());
            ++p;
            skipBlanks();
        }
    }
}

void TStrings::LoadFromStream(TStream& stream, TTextEncoding encoding) {
    const std::vector<std::uint8_t> buffer = stream.ReadRemaining();
    std::string_view bytes(reinterpret_cast<const char*>(buffer.data()), buffer.size());
    TTextEncoding used = encoding;
    if (encoding == TTextEncoding::Default) {
        if (bytes.starts_with(kBomUtf8))
            used = TTextEncoding::UTF8;
        else if (bytes.starts_with(kBomUtf16LE))
            used = TTextEncoding::Unicode;
        else if (bytes.starts_with(kBomUtf16BE))
            used = TTextEncoding::BigEndianUnicode;
        if (used != TTextEncoding::Default) {
            bytes.remove_prefix(Preamble(used).size());
            FEncoding = used;
        } else {
            used = IsValidUtf8(bytes) ? TTextEncoding::UTF8 : TTextEncoding::Ansi;
            FEncoding = TTextEncoding::Default;
        }
    } else {
        if (const std::string_view bom = Preamble(encoding); !bom.empty() && bytes.starts_with(bom))
            bytes.remove_prefix(bom.size());
        FEncoding = encoding;
    }
    SetText(Decode(bytes, used));
}

void TStrings::SaveToStream(TStream& stream, TTextEncoding encoding) const {
    bool bom = WriteBOM;
    if (encoding == TTextEncoding::Default) {
        encoding = FEncoding;
        if (encoding == TTextEncoding::Default) {
            encoding = TTextEncoding::UTF8;
            bom = false;
        }
    }
    std::string bytes;
    if (bom)
        bytes = Preamble(encoding);
    bytes += Encode(Text(), encoding);
    stream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
}

void TStrings::LoadFromFile(const String& fileName, TTextEncoding encoding) {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream, encoding);
}

void TStrings::SaveToFile(const String& fileName, TTextEncoding encoding) const {
    TFileStream stream(fileName, fmCreate);
    SaveToStream(stream, encoding);
}

// ---- TStringList --------------------------------------------------------------------------

TStringList::~TStringList() {
    OnChange = nullptr;
    OnChanging = nullptr;
    FreeObjects();
}

void TStringList::FreeObjects() {
    if (!OwnsObjects)
        return;
    for (Item& item : FItems) {
        std::unique_ptr<TObject> owned(item.Obj);
        item.Obj = nullptr;
    }
}

void TStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        IndexError(index);
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging)
        OnChanging(*this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange)
        OnChange(*this);
}

void TStringList::SetUpdateState(bool updating) {
    if (updating)
        Changing();
    else
        Changed();
}

String TStringList::Get(int index) const {
    CheckIndex(index);
    return FItems[size_t(index)].Str;
}

void TStringList::Put(int index, const String& s) {
    if (FSorted)
        throw EStringListError(u"Operation not allowed on sorted list");
    CheckIndex(index);
    Changing();
    FItems[size_t(index)].Str = s;
    Changed();
}

TObject* TStringList::GetObject(int index) const {
    CheckIndex(index);
    return FItems[size_t(index)].Obj;
}

void TStringList::PutObject(int index, TObject* obj) {
    CheckIndex(index);
    Changing();
    FItems[size_t(index)].Obj = obj;
    Changed();
}

int TStringList::Add(const String& s) {
    return AddObject(s, nullptr);
}

int TStringList::AddObject(const String& s, TObject* obj) {
    int index = Count();
    if (FSorted && Find(s, index)) {
        switch (Duplicates) {
        case dupIgnore:
            if (OwnsObjects && obj != FItems[size_t(index)].Obj)
                std::unique_ptr<TObject> dropped(obj);
            return index;
        case dupError:
            throw EStringListError(u"String list does not allow duplicates");
        case dupAccept:
            break;
        }
    }
    InsertItem(index, s, obj);
    return index;
}

void TStringList::Insert(int index, const String& s) {
    if (FSorted)
        throw EStringListError(u"Operation not allowed on sorted list");
    if (index < 0 || index > Count())
        IndexError(index);
    InsertItem(index, s, nullptr);
}

void TStringList::InsertItem(int index, const String& s, TObject* obj) {
    Changing();
    FItems.insert(FItems.begin() + index, Item{s, obj});
    Changed();
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    Changing();
    std::unique_ptr<TObject> owned(OwnsObjects ? FItems[size_t(index)].Obj : nullptr);
    FItems.erase(FItems.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (FItems.empty())
        return;
    Changing();
    FreeObjects();
    FItems.clear();
    Changed();
}

void TStringList::Exchange(int index1, int index2) {
    CheckIndex(index1);
    CheckIndex(index2);
    Changing();
    std::swap(FItems[size_t(index1)], FItems[size_t(index2)]);
    Changed();
}

int TStringList::IndexOf(const String& s) const {
    if (!FSorted)
        return TStrings::IndexOf(s);
    int index;
    return Find(s, index) ? index : -1;
}

bool TStringList::Find(const String& s, int& index) const {
    bool result = false;
    int lo = 0, hi = Count() - 1;
    while (lo <= hi) {
        const int i = lo + (hi - lo) / 2;
        const int c = CompareStrings(FItems[size_t(i)].Str, s);
        if (c < 0) {
            lo = i + 1;
        } else {
            hi = i - 1;
            if (c == 0) {
                result = true;
                // Under dupAccept the search goes on to the first of the equal lines.
                if (Duplicates != dupAccept)
                    lo = i;
            }
        }
    }
    index = lo;
    return result;
}

int TStringList::CompareStrings(const String& a, const String& b) const {
    return FCaseSensitive ? AnsiCompareStr(a, b) : AnsiCompareText(a, b);
}

void TStringList::QuickSort(int lo, int hi, const TStringListSortCompare& compare) {
    // Recursion goes into the smaller part only, so the depth stays logarithmic. The index
    // checks keep a comparison that is not a consistent order from running off the list.
    while (lo < hi) {
        if (hi - lo == 1) {
            if (compare(*this, lo, hi) > 0)
                std::swap(FItems[size_t(lo)], FItems[size_t(hi)]);
            break;
        }
        int i = lo, j = hi, p = lo + (hi - lo) / 2;
        do {
            while (i < hi && compare(*this, i, p) < 0)
                ++i;
            while (j > lo && compare(*this, j, p) > 0)
                --j;
            if (i <= j) {
                if (i != j)
                    std::swap(FItems[size_t(i)], FItems[size_t(j)]);
                if (p == i)
                    p = j;
                else if (p == j)
                    p = i;
                ++i;
                --j;
            }
        } while (i <= j);
        if (j - lo > hi - i) {
            if (i < hi)
                QuickSort(i, hi, compare);
            hi = j;
        } else {
            if (lo < j)
                QuickSort(lo, j, compare);
            lo = i;
        }
    }
}

void TStringList::Sort() {
    CustomSort([](TStringList& list, int a, int b) {
        return list.CompareStrings(list.FItems[size_t(a)].Str, list.FItems[size_t(b)].Str);
    });
}

void TStringList::CustomSort(const TStringListSortCompare& compare) {
    if (FSorted || Count() <= 1)
        return;
    Changing();
    QuickSort(0, Count() - 1, compare);
    Changed();
}

void TStringList::SetSorted(bool value) {
    if (FSorted == value)
        return;
    if (value)
        Sort();
    FSorted = value;
}

void TStringList::SetCaseSensitive(bool value) {
    if (FCaseSensitive == value)
        return;
    FCaseSensitive = value;
    if (FSorted) {
        // Sort does nothing on a sorted list, so the order is rebuilt by switching sorting off and on.
        FSorted = false;
        SetSorted(true);
    }
}

} // namespace vgl
