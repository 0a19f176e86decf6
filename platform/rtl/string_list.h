#pragma once
// TStrings and TStringList with the platform's rules.

#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TStream;

enum TDuplicates { dupIgnore, dupAccept, dupError };

/// Encodings for LoadFromStream/SaveToStream.
enum class TTextEncoding { Default, Ansi, UTF8, Unicode /* UTF-16 LE */, BigEndianUnicode };

/// The abstract list of strings with an object per line (objects are not owned unless
/// OwnsObjects is set on a TStringList).
class TStrings : public TObject {
public:
    String ClassName() const override { return u"TStrings"; }

    virtual int Count() const = 0;
    virtual String Get(int index) const = 0;
    virtual void Put(int index, const String& s);
    virtual TObject* GetObject(int index) const;
    virtual void PutObject(int index, TObject* obj);
    virtual int Add(const String& s);
    int AddObject(const String& s, TObject* obj);
    virtual void Insert(int index, const String& s) = 0;
    void InsertObject(int index, const String& s, TObject* obj);
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual int IndexOf(const String& s) const;
    int IndexOfName(const String& name) const;
    int IndexOfObject(const TObject* obj) const;
    void Move(int curIndex, int newIndex);
    void Exchange(int index1, int index2);
    void AddStrings(const TStrings& strings);
    void Assign(const TStrings& source);
    bool Equals(const TStrings& other) const;
    virtual void BeginUpdate();
    virtual void EndUpdate();

    String operator[](int index) const { return Get(index); }

    /// "name=value" access: Names[i], Values[name], ValueFromIndex[i].
    String Names(int index) const;
    String Values(const String& name) const;
    void SetValue(const String& name, const String& value);
    String ValueFromIndex(int index) const;
    Char NameValueSeparator = u'=';

    /// Every line followed by CR LF. Setting splits at CR LF, CR or LF; a final line end adds
    /// no empty line.
    virtual String Text() const;
    virtual void SetText(StringView text);
    Char LineBreakLast() const { return u'\n'; }

    /// CommaText: Delimiter ",", QuoteChar '"', not strict.
    String CommaText() const;
    void SetCommaText(StringView text);
    /// DelimitedText: items joined by Delimiter; an item holding the delimiter, the quote or a
    /// character ≤ U+0020 (unless StrictDelimiter) is quoted with QuoteChar and inner quotes
    /// doubled. Reading: blanks (≤ U+0020) also separate unless quoted or StrictDelimiter.
    String DelimitedText() const;
    void SetDelimitedText(StringView text);
    Char Delimiter = u',';
    Char QuoteChar = u'"';
    bool StrictDelimiter = false;

    void LoadFromStream(TStream& stream, TTextEncoding encoding = TTextEncoding::Default);
    void SaveToStream(TStream& stream, TTextEncoding encoding = TTextEncoding::UTF8) const;
    void LoadFromFile(const String& fileName, TTextEncoding encoding = TTextEncoding::Default);
    void SaveToFile(const String& fileName, TTextEncoding encoding = TTextEncoding::UTF8) const;

protected:
    /// Raises EStringListError "List index out of bounds (%d)".
    [[noreturn]] static void IndexError(int index);
    virtual void SetUpdateState(bool updating);
    int UpdateCount() const { return FUpdateCount; }

private:
    int FUpdateCount = 0;
};

class TStringList;
using TStringListSortCompare = std::function<int(TStringList& list, int index1, int index2)>;

class TStringList : public TStrings {
public:
    TStringList() = default;
    ~TStringList() override;
    String ClassName() const override { return u"TStringList"; }

    int Count() const override { return int(FItems.size()); }
    String Get(int index) const override;
    void Put(int index, const String& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* obj) override;
    /// In a sorted list Add inserts at the sorted place and obeys Duplicates (dupError raises
    /// EStringListError "String list does not allow duplicates").
    int Add(const String& s) override;
    /// Raises EStringListError "Operation not allowed on sorted list" on a sorted list.
    void Insert(int index, const String& s) override;
    void Delete(int index) override;
    void Clear() override;
    int IndexOf(const String& s) const override;
    /// Binary search in a sorted list: true when found; `index` is the match or the insertion place.
    bool Find(const String& s, int& index) const;
    void Sort();
    void CustomSort(const TStringListSortCompare& compare);

    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);
    TDuplicates Duplicates = dupIgnore;
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool value);
    /// When set, the list frees its objects on Delete, Clear and destruction.
    bool OwnsObjects = false;

    std::function<void(TStringList&)> OnChange;
    std::function<void(TStringList&)> OnChanging;

protected:
    /// Compares two strings by the list's rules (AnsiCompareText or AnsiCompareStr).
    virtual int CompareStrings(const String& a, const String& b) const;
    void SetUpdateState(bool updating) override;

private:
    struct Item {
        String Str;
        TObject* Obj = nullptr;
    };
    void Changing();
    void Changed();
    void InsertItem(int index, const String& s, TObject* obj);
    void QuickSort(int lo, int hi, const TStringListSortCompare& compare);

    std::vector<Item> FItems;
    bool FSorted = false;
    bool FCaseSensitive = false;
};

} // namespace vgl
