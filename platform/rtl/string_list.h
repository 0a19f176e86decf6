#pragma once
// TStrings and TStringList with the platform's rules.

#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/persistent.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TStream;

enum TDuplicates { dupIgnore, dupAccept, dupError };

/// Encodings for LoadFromStream/SaveToStream. Default on load: the encoding of a byte-order mark
/// (UTF-8, UTF-16 LE or BE), else UTF-8 when the bytes are valid UTF-8, else ANSI (1252). Default on
/// save: the encoding the list was last loaded with, else UTF-8 without a byte-order mark.
enum class TTextEncoding { Default, Ansi, UTF8, Unicode /* UTF-16 LE */, BigEndianUnicode };

/// The abstract list of strings with an object per line (objects are not owned unless
/// OwnsObjects is set on a TStringList). A persistent object, as on the platform, so that
/// whatever takes a TPersistent (a script's Assign) takes a string list.
class TStrings : public TPersistent {
    VGL_CLASS(TStrings, TPersistent)

    virtual int Count() const = 0;
    virtual String Get(int index) const = 0;
    virtual void Put(int index, const String& s);
    virtual TObject* GetObject(int index) const;
    virtual void PutObject(int index, TObject* obj);
    virtual int Add(const String& s);
    virtual int AddObject(const String& s, TObject* obj);
    virtual void Insert(int index, const String& s) = 0;
    void InsertObject(int index, const String& s, TObject* obj);
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    /// Index of the first line equal to `s` by CompareStrings, -1 when none.
    virtual int IndexOf(const String& s) const;
    /// Index of the first "name=value" line whose name matches by CompareStrings, -1 when none.
    int IndexOfName(const String& name) const;
    int IndexOfObject(const TObject* obj) const;
    /// Moves a line with its object to another index.
    void Move(int curIndex, int newIndex);
    virtual void Exchange(int index1, int index2);
    /// Appends every line of `strings` with its object.
    void AddStrings(const TStrings& strings);
    /// Replaces the lines by those of `source` and takes over its separators and quote character.
    void Assign(const TStrings& source);
    /// Assign(const TStrings&) for a string-list source; other sources as TPersistent::Assign.
    void Assign(const TPersistent* source) override;
    /// Same count and the same lines (ordinal comparison).
    bool Equals(const TStrings& other) const;
    virtual void BeginUpdate();
    virtual void EndUpdate();

    String operator[](int index) const { return Get(index); }

    /// "name=value" access: Names[i] (empty for a line without separator), Values[name] (empty
    /// when absent), ValueFromIndex[i] (the text after the first separator, empty when none).
    String Names(int index) const;
    String Values(const String& name) const;
    /// Sets the value of the line `name`; appends a line when none exists; an empty value deletes
    /// the line. In a sorted list the changed line moves to its sorted place.
    void SetValue(const String& name, const String& value);
    String ValueFromIndex(int index) const;
    Char NameValueSeparator = u'=';

    /// Every line followed by CR LF. Setting splits at CR LF, CR or LF; a final line end adds
    /// no empty line.
    virtual String Text() const;
    virtual void SetText(StringView text);

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

    /// Replaces the lines by the text from the stream's position to its end. An explicit encoding
    /// skips its own byte-order mark when present.
    void LoadFromStream(TStream& stream, TTextEncoding encoding = TTextEncoding::Default);
    /// Writes Text at the stream's position; UTF-8 and UTF-16 chosen explicitly (or remembered from
    /// loading) are preceded by their byte-order mark when WriteBOM is set. Characters that ANSI
    /// cannot hold become "?".
    void SaveToStream(TStream& stream, TTextEncoding encoding = TTextEncoding::Default) const;
    void LoadFromFile(const String& fileName, TTextEncoding encoding = TTextEncoding::Default);
    void SaveToFile(const String& fileName, TTextEncoding encoding = TTextEncoding::Default) const;
    /// The encoding of the last load (Default when it was detected without a byte-order mark).
    TTextEncoding Encoding() const { return FEncoding; }
    bool WriteBOM = true;

protected:
    /// Compares two lines for IndexOf/IndexOfName: AnsiCompareText here.
    virtual int CompareStrings(const String& a, const String& b) const;
    /// Raises EStringListError "List index out of bounds (%d)".
    [[noreturn]] static void IndexError(int index);
    virtual void SetUpdateState(bool updating);
    int UpdateCount() const { return FUpdateCount; }

private:
    int FUpdateCount = 0;
    TTextEncoding FEncoding = TTextEncoding::Default;
};

class TStringList;
using TStringListSortCompare = std::function<int(TStringList& list, int index1, int index2)>;

class TStringList : public TStrings {
    VGL_CLASS(TStringList, TStrings)

    TStringList() = default;
    ~TStringList() override;
    TStringList(const TStringList&) = delete;
    TStringList& operator=(const TStringList&) = delete;

    int Count() const override { return int(FItems.size()); }
    String Get(int index) const override;
    /// Raises EStringListError "Operation not allowed on sorted list" on a sorted list.
    void Put(int index, const String& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* obj) override;
    /// In a sorted list Add inserts at the sorted place and obeys Duplicates (dupError raises
    /// EStringListError "String list does not allow duplicates").
    int Add(const String& s) override;
    /// As Add; when a sorted list ignores the line as a duplicate, the object is not stored (and
    /// freed when the list owns its objects); when it raises, the caller keeps the object.
    int AddObject(const String& s, TObject* obj) override;
    /// Raises EStringListError "Operation not allowed on sorted list" on a sorted list.
    void Insert(int index, const String& s) override;
    void Delete(int index) override;
    void Clear() override;
    void Exchange(int index1, int index2) override;
    int IndexOf(const String& s) const override;
    /// Binary search (meaningful in a sorted list): true when found; `index` is the match (the
    /// first of equal lines under dupAccept) or the insertion place.
    bool Find(const String& s, int& index) const;
    /// Sorts an unsorted list by CompareStrings (a sorted list is left as it is).
    void Sort();
    /// Sorts an unsorted list by `compare` (which gets the list and two indexes).
    void CustomSort(const TStringListSortCompare& compare);

    bool Sorted() const { return FSorted; }
    /// Setting sorts the list.
    void SetSorted(bool value);
    TDuplicates Duplicates = dupIgnore;
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool value);
    /// When set, the list frees its objects on Delete, Clear and destruction (not when PutObject
    /// replaces one: that is how a caller takes an object back).
    bool OwnsObjects = false;

    std::function<void(TStringList&)> OnChange;
    std::function<void(TStringList&)> OnChanging;

protected:
    /// Compares two strings by the list's rules (AnsiCompareText or AnsiCompareStr).
    int CompareStrings(const String& a, const String& b) const override;
    void SetUpdateState(bool updating) override;

private:
    struct Item {
        String Str;
        TObject* Obj = nullptr;
    };
    void Changing();
    void Changed();
    void InsertItem(int index, const String& s, TObject* obj);
    void CheckIndex(int index) const;
    void FreeObjects();
    void QuickSort(int lo, int hi, const TStringListSortCompare& compare);

    std::vector<Item> FItems;
    bool FSorted = false;
    bool FCaseSensitive = false;
};

} // namespace vgl
