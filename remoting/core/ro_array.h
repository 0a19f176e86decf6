#pragma once
// Remotable arrays: TROArray, the base the serializers and the type registry know, and
// TROArrayOf<T>, the typed array of values or of objects.
//
// TROArrayOf<T> with a class T (a TObject descendant) is an object array: it holds T* elements
// and owns them from the moment they are stored (Add, SetItems, SetItemRef, Resize) until they
// are replaced, deleted, cleared or the array is freed. With any other T it is a value array
// (integers, Boolean, enumerations, floats, String, AnsiString, Variant). A remotable array class
// derives from the typed array and declares its table against TROArray's:
//     class TResultArray : public TROArrayOf<TResultInfo> {
//         VGL_CLASS(TResultArray, TROArrayOf<TResultInfo>)
//     };

#include <memory>
#include <type_traits>
#include <vector>

#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_types.h"
#include "remoting/core/ro_value.h"

namespace vgl {

/// Raised by the class-level operations of TROArray that only a typed array answers.
VGL_DECLARE_EXCEPTION(EROAbstractMethodCalled, EROException);

enum TROSearchOption { soIgnoreCase };
using TROSearchOptions = TSet<TROSearchOption>;

inline constexpr const char16_t* SArrayIndexOutOfBounds = u"Array index out of bounds (%d).";
inline constexpr const char16_t* SInvalidIndex = u"Invalid index %d";

class TROArray : public TROComplexType {
    VGL_CLASS(TROArray, TROComplexType)

    TROArray() = default;

    int Count() const { return GetCount(); }
    /// Operations only a typed array implements raise EAbstractError here.
    virtual int GetCount() const;
    virtual void ResizeInternal(int ElementCount, bool CreateElements);
    /// Sets the count, creating new elements (ResizeInternal with creation).
    void Resize(int ElementCount) { ResizeInternal(ElementCount, true); }
    /// The element type. Raises EROAbstractMethodCalled "Abstract method called:
    /// TROArray.GetItemType." in the base.
    virtual const TypeInfo& GetItemType() const;
    /// The element class of an object array; none for value elements.
    virtual TClass GetItemClass() const { return nullptr; }
    /// Bytes per element. Raises EROAbstractMethodCalled in the base.
    virtual int GetItemSize() const;
    /// The element object of an object array, the address of the element of a value array.
    virtual const void* GetItemRef(int Index) const;
    /// Object arrays: stores `Ref` (taken over) at Index, freeing the element it replaces.
    /// Nothing in the base and in value arrays.
    virtual void SetItemRef(int Index, std::unique_ptr<TObject> Ref);
    virtual void Delete(int Index);
    virtual void Clear();
    /// The first index from StartFrom whose element object has the property aPropertyName equal
    /// to aPropertyValue (enumerations compared as ordinals; with soIgnoreCase both as text,
    /// case-insensitively); elements that are none are skipped. -1 when none matches.
    virtual int GetIndex(StringView aPropertyName, const Variant& aPropertyValue, int StartFrom = 0,
                         TROSearchOptions Options = {}) const;
    /// The element at GetIndex, or none.
    TObject* Search(StringView aPropertyName, const Variant& aPropertyValue, int StartFrom = 0,
                    TROSearchOptions Options = {}) const;

    /// None raises "Cannot assign"; between related array classes the typed array copies; any
    /// other source is asked to assign itself to this array.
    void Assign(const TPersistent* Source) override;
    /// Reads every element (the array already has its final count) or writes every element,
    /// each named by the serializer's GetArrayElementName and numbered by its index.
    void ReadComplex(TROSerializer& ASerializer) override;
    void WriteComplex(TROSerializer& ASerializer) override;
    /// "<class name>:<element type name>", then per element, two blanks in: integers
    /// "item<i+1>=<value>", floats with two decimals, texts as they are; nested arrays,
    /// structures and byte streams "item<i>=array1", "item<i>=structure1", "item<i>=binary1"
    /// followed by their own dump four blanks in; other element kinds give no line.
    std::unique_ptr<TStringList> DumpToStrings() const override;
    /// A child "array" (name = class name, type = element type name) of Node with one "item"
    /// (id = 1-based index) per element: numbers and texts as the value, floats with two
    /// decimals, structures as their own dump, byte streams as CDATA, other kinds empty.
    void DumpToXml(const std::shared_ptr<IXMLNode>& Node) const override;

protected:
    /// Value arrays: the element at Index as a value holder, and a value holder stored back.
    virtual void GetItemValue(int Index, TROValue& Value) const;
    virtual void SetItemValue(int Index, TROValue& Value);
};

namespace ro_array_detail {

template <class T> void ToValue(const T& v, TROValue& r) {
    if constexpr (std::is_integral_v<T> || std::is_enum_v<T>)
        r.Ord = static_cast<std::int64_t>(v);
    else if constexpr (std::is_floating_point_v<T>)
        r.Float = v;
    else if constexpr (std::is_same_v<T, String>)
        r.Text = v;
    else if constexpr (std::is_same_v<T, AnsiString>)
        r.Ansi = v;
    else if constexpr (std::is_same_v<T, Variant>)
        r.Var = v;
    else
        static_assert(sizeof(T) == 0, "no remotable value type");
}

template <class T> T FromValue(const TROValue& r) {
    if constexpr (std::is_same_v<T, bool>)
        return r.Ord != 0;
    else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>)
        return static_cast<T>(r.Ord);
    else if constexpr (std::is_floating_point_v<T>)
        return static_cast<T>(r.Float);
    else if constexpr (std::is_same_v<T, String>)
        return r.Text;
    else if constexpr (std::is_same_v<T, AnsiString>)
        return r.Ansi;
    else
        return r.Var;
}

} // namespace ro_array_detail

/// The element type of an array of date-times, TROArrayOf<TRODateTimeElement>: elements are
/// TDateTime values typed "TDateTime", so they dump and travel as date-times (TDateTime itself is
/// a double, and TROArrayOf<TDateTime> cannot tell its elements from doubles).
struct TRODateTimeElement {};

template <class T> class TROArrayOf : public TROArray {
public:
    static constexpr bool IsObjectArray = std::is_base_of_v<TObject, T>;
    static constexpr bool IsDateTimeArray = std::is_same_v<T, TRODateTimeElement>;
    using Element = std::conditional_t<IsObjectArray, T*, std::conditional_t<IsDateTimeArray, TDateTime, T>>;

    TROArrayOf() = default;
    ~TROArrayOf() override { Clear(); }
    TROArrayOf(const TROArrayOf&) = delete;
    TROArrayOf& operator=(const TROArrayOf&) = delete;

    /// The element store; its length is the capacity, never below the count.
    const std::vector<Element>& InnerArray() const { return FItems; }
    int Capacity() const { return int(FItems.size()); }

    int GetCount() const override { return FCount; }
    const TypeInfo& GetItemType() const override {
        if constexpr (IsObjectArray)
            return T::StaticClassInfo().Type();
        else if constexpr (IsDateTimeArray)
            return DateTimeTypeInfo();
        else
            return TypeInfoFor(TypeTag<T>{});
    }
    TClass GetItemClass() const override {
        if constexpr (IsObjectArray)
            return &T::StaticClassInfo();
        else
            return nullptr;
    }
    int GetItemSize() const override { return int(sizeof(Element)); }

    /// Raises EROException "Array index out of bounds (%d)." outside 0..Count-1.
    Element GetItems(int aIndex) const {
        CheckIndex(aIndex);
        return FItems[aIndex];
    }
    /// The same check; an object array takes Value over and frees the element it replaces.
    virtual void SetItems(int aIndex, Element Value) {
        CheckIndex(aIndex);
        if constexpr (IsObjectArray) {
            if (FItems[aIndex] != Value)
                Free(FItems[aIndex]);
        }
        FItems[aIndex] = std::move(Value);
    }
    const void* GetItemRef(int aIndex) const override {
        CheckIndex(aIndex);
        if constexpr (IsObjectArray)
            return static_cast<const TObject*>(FItems[aIndex]);
        else if constexpr (std::is_same_v<T, bool>)
            return nullptr; // packed storage has no element address
        else
            return &FItems[aIndex];
    }
    void SetItemRef(int aIndex, std::unique_ptr<TObject> Ref) override {
        if constexpr (IsObjectArray) {
            CheckIndex(aIndex);
            if (Ref && !dynamic_cast<T*>(Ref.get()))
                throw EInvalidCast(u"Invalid class typecast");
            if (Ref.get() == FItems[aIndex]) {
                (void)Ref.release(); // already stored and owned
                return;
            }
            Free(FItems[aIndex]);
            FItems[aIndex] = static_cast<T*>(Ref.release());
        }
    }

    /// Appends Value (an object array takes it over) and returns its index.
    int Add(Element Value) {
        if (FCount == Capacity())
            Grow();
        FItems[FCount] = std::move(Value);
        return FCount++;
    }
    /// Appends a new element (a new object, or the zero value) and returns it.
    Element Add() { return FItems[Add(NewElement())]; }

    void ResizeInternal(int ElementCount, bool CreateElements) override {
        if (ElementCount < 0)
            RaiseError(SInvalidIndex, {ElementCount});
        if (ElementCount == FCount)
            return;
        if constexpr (IsObjectArray)
            for (int i = FCount - 1; i >= ElementCount; --i)
                Free(FItems[i]);
        int oldCount = FCount;
        FItems.resize(ElementCount, Element{});
        FItems.shrink_to_fit();
        FCount = ElementCount;
        for (int i = oldCount; i < ElementCount; ++i) {
            if constexpr (IsObjectArray)
                FItems[i] = CreateElements ? NewElement() : nullptr;
            else
                FItems[i] = Element{};
        }
    }
    void Clear() override {
        if constexpr (IsObjectArray)
            for (int i = FCount - 1; i >= 0; --i)
                Free(FItems[i]);
        FItems.clear();
        FItems.shrink_to_fit();
        FCount = 0;
    }
    /// Raises EROException "Invalid index %d" outside 0..Count-1; frees the element of an object
    /// array and moves the later ones down.
    void Delete(int aIndex) override {
        if (aIndex < 0 || aIndex >= FCount)
            RaiseError(SInvalidIndex, {aIndex});
        if constexpr (IsObjectArray)
            Free(FItems[aIndex]);
        FItems.erase(FItems.begin() + aIndex);
        --FCount;
        FItems.resize(FCount);
        FItems.shrink_to_fit();
    }

    /// From an array of this element type: a deep copy (object elements are new objects
    /// assigned from the source's; elements that are none stay none). Any other source goes to
    /// TROArray::Assign.
    void Assign(const TPersistent* Source) override {
        auto* src = dynamic_cast<const TROArrayOf<T>*>(Source);
        if (!src || src == this) {
            if (!src)
                TROArray::Assign(Source);
            return;
        }
        Clear();
        Resize(src->Count());
        for (int i = 0; i < src->Count(); ++i) {
            if constexpr (IsObjectArray) {
                T* from = src->FItems[i];
                if (!from) {
                    SetItems(i, nullptr);
                    continue;
                }
                std::unique_ptr<T> copy(NewElement());
                CopyElement(*copy, *from);
                SetItems(i, copy.release());
            } else
                FItems[i] = src->FItems[i];
        }
    }

    /// A value array: the first index from aStartFrom whose element equals aValue, or -1. An
    /// object array always answers -1.
    int IndexOf(const Element& aValue, int aStartFrom = 0) const {
        if constexpr (!IsObjectArray) {
            for (int i = aStartFrom < 0 ? 0 : aStartFrom; i < FCount; ++i)
                if (FItems[i] == aValue)
                    return i;
        }
        (void)aValue;
        (void)aStartFrom;
        return -1;
    }
    int GetIndex(StringView aPropertyName, const Variant& aPropertyValue, int StartFrom = 0,
                 TROSearchOptions Options = {}) const override {
        if constexpr (IsObjectArray)
            return TROArray::GetIndex(aPropertyName, aPropertyValue, StartFrom, Options);
        else
            return -1;
    }

    /// Walks the elements: MoveNext, then Current.
    class TROArrayEnumerator {
    public:
        explicit TROArrayEnumerator(const TROArrayOf& array) : fArray(&array) {}
        bool MoveNext() {
            if (fCurrentIndex >= fArray->Count() - 1)
                return false;
            ++fCurrentIndex;
            return true;
        }
        Element Current() const { return fArray->GetItems(fCurrentIndex); }

    private:
        const TROArrayOf* fArray;
        int fCurrentIndex = -1;
    };
    TROArrayEnumerator GetEnumerator() const { return TROArrayEnumerator(*this); }

protected:
    /// Capacity c becomes c + c div 4 above 64, c + 16 from 9 to 64, c + 4 up to 8.
    virtual void Grow() {
        int c = Capacity();
        int delta = c > 64 ? c / 4 : c >= 9 ? 16 : 4;
        FItems.resize(c + delta, Element{});
    }
    void GetItemValue(int Index, TROValue& Value) const override {
        if constexpr (!IsObjectArray)
            ro_array_detail::ToValue(GetItems(Index), Value);
    }
    void SetItemValue(int Index, TROValue& Value) override {
        if constexpr (!IsObjectArray)
            SetItems(Index, ro_array_detail::FromValue<Element>(Value));
    }

private:
    void CheckIndex(int aIndex) const {
        if (aIndex < 0 || aIndex >= FCount)
            RaiseError(SArrayIndexOutOfBounds, {aIndex});
    }
    static Element NewElement() {
        if constexpr (IsObjectArray)
            return new T();
        else
            return Element{};
    }
    static void Free(Element& e) {
        if constexpr (IsObjectArray) {
            std::unique_ptr<T> owned(e);
            e = nullptr;
        }
    }
    static void CopyElement(T& to, T& from) {
        if constexpr (std::is_base_of_v<TPersistent, T>)
            to.Assign(&from);
        else
            to.Assign(from);
    }

    std::vector<Element> FItems;
    int FCount = 0;
};

} // namespace vgl
