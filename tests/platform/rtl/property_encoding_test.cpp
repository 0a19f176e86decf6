#include <gtest/gtest.h>

#include <vector>

#include "platform/rtl/collection.h"
#include "platform/rtl/component.h"
#include "platform/rtl/property_encoding.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/variant.h"

namespace vgl {
namespace {

enum TAlign { alNone, alLeft, alRight };
VGL_DECLARE_ENUM(TAlign);
VGL_DEFINE_ENUM(TAlign, u"alNone", u"alLeft", u"alRight")
VGL_DECLARE_SET(TAligns, TAlign);
VGL_DEFINE_SET(TAligns, TAlign)

class TFontLike : public TPersistent {
    VGL_CLASS(TFontLike, TPersistent)
    int FSize = 10;
    String FName = u"Arial";
};
VGL_DEFINE_CLASS(TFontLike) {
    b.Property(u"Name", &TFontLike::FName);
    b.Property(u"Size", &TFontLike::FSize).Default(10);
}

class TEntry : public TCollectionItem {
    VGL_CLASS(TEntry, TCollectionItem)
    explicit TEntry(TCollection* c) : TCollectionItem(c) {}
    String FKey;
    double FWeight = 0;
};
VGL_DEFINE_CLASS(TEntry) {
    b.Property(u"Key", &TEntry::FKey);
    b.Property(u"Weight", &TEntry::FWeight);
}

/// An object with every stored kind, a sub-object, a collection, a reference and
/// define-properties data of its own.
class TSample : public TComponent {
    VGL_CLASS(TSample, TComponent)
    explicit TSample(TComponent* owner) : TComponent(owner), FEntries(&TEntry::StaticClassInfo()) {}

    int FCount = 0;
    TAlign FAlign = alNone;
    TAligns FAligns;
    bool FFlag = false;
    std::int64_t FBig = 0;
    long double FRatio = 0;
    std::int64_t FPrice = 0;
    double FWhen = 0;
    String FText;
    AnsiString FBytes;
    Variant FValue;
    TFontLike FFont;
    TCollection FEntries;
    TComponent* FLink = nullptr;
    std::vector<std::uint8_t> FBlob;
    std::int64_t FExtra = 0;

    TFontLike* Font() const { return const_cast<TFontLike*>(&FFont); }
    TCollection* Entries() const { return const_cast<TCollection*>(&FEntries); }

    void DefineProperties(TFiler& filer) override {
        TComponent::DefineProperties(filer);
        filer.DefineBinaryProperty(
            u"Blob", [this](TStream& s) { FBlob = s.ReadRemaining(); }, [this](TStream& s) { s.WriteBuffer(FBlob); },
            !FBlob.empty());
        filer.DefineProperty(
            u"Extra", [this](TReader& r) { FExtra = r.ReadInteger(); }, [this](TWriter& w) { w.WriteInteger(FExtra); },
            FExtra != 0);
    }
};
VGL_DEFINE_CLASS(TSample) {
    b.Property(u"Count", &TSample::FCount).Default(0);
    b.Property(u"Align", &TSample::FAlign).Default(alNone);
    b.Property(u"Aligns", &TSample::FAligns);
    b.Property(u"Flag", &TSample::FFlag);
    b.Property(u"Big", &TSample::FBig);
    b.Property(u"Ratio", &TSample::FRatio);
    b.Property(u"Price", &TSample::FPrice).Type(CurrencyTypeInfo());
    b.Property(u"When", &TSample::FWhen).Type(DateTimeTypeInfo());
    b.Property(u"Text", &TSample::FText);
    b.Property(u"Bytes", &TSample::FBytes);
    b.Property(u"Value", &TSample::FValue);
    b.Property(u"Font", &TSample::Font, nullptr);
    b.Property(u"Entries", &TSample::Entries, nullptr);
    b.Property(u"Link", &TSample::FLink);
}

std::vector<String> WriteAndListNames(TSample& s) {
    TMemoryStream m;
    TWriter w(m);
    w.WriteProperties(s);
    m.SetPosition(0);
    TReader r(m);
    std::vector<String> names;
    while (!r.EndOfStream()) {
        names.push_back(r.ReadPropName());
        r.SkipValue();
    }
    return names;
}

TEST(PropertyEncoding, ValuesRoundTrip) {
    TMemoryStream m;
    TWriter w(m);
    const std::int64_t ints[] = {0, -128, 127, 128, -32769, 2147483647, -2147483649LL, INT64_MIN};
    for (std::int64_t v : ints)
        w.WriteInteger(v);
    w.WriteBoolean(true);
    w.WriteFloat(1.0L / 3);
    w.WriteDouble(-2.5);
    w.WriteSingle(0.25f);
    w.WriteCurrency(-15000);
    w.WriteDate(45027.75);
    w.WriteString(u"Grüße \xD83D\xDE00");
    w.WriteString(u"");
    w.WriteAnsiString("\xE4");
    w.WriteIdent(u"alRight");
    const std::uint8_t bin[] = {0, 1, 255};
    w.WriteBinary(bin);
    w.WriteSet(TypeInfoFor(TypeTag<TAligns>{}), 6);
    w.WriteListBegin();
    w.WriteInteger(1);
    w.WriteString(u"x");
    w.WriteListEnd();
    w.WriteVariant(Null());
    w.WriteVariant(Variant(u"v"));
    w.WriteNil();

    m.SetPosition(0);
    TReader r(m);
    for (std::int64_t v : ints)
        EXPECT_EQ(r.ReadInteger(), v);
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_EQ(r.ReadFloat(), 1.0L / 3); // all 64 bits of the mantissa survive
    EXPECT_EQ(r.ReadFloat(), -2.5L);
    EXPECT_EQ(r.ReadFloat(), 0.25L);
    EXPECT_EQ(r.ReadCurrency(), -15000);
    EXPECT_EQ(r.ReadDate(), 45027.75);
    EXPECT_EQ(r.ReadString(), u"Grüße \xD83D\xDE00");
    EXPECT_EQ(r.ReadString(), u"");
    EXPECT_EQ(r.ReadString(), u"ä"); // 8-bit strings in code page 1252
    EXPECT_EQ(r.ReadIdent(), u"alRight");
    EXPECT_EQ(r.ReadBinary(), std::vector<std::uint8_t>(bin, bin + 3));
    EXPECT_EQ(r.ReadSet(TypeInfoFor(TypeTag<TAligns>{})), 6u);
    r.ReadListBegin();
    EXPECT_EQ(r.ReadInteger(), 1);
    EXPECT_EQ(r.ReadString(), u"x");
    EXPECT_TRUE(r.EndOfList());
    r.ReadListEnd();
    EXPECT_TRUE(r.ReadVariant().IsNull());
    EXPECT_EQ(r.ReadVariant().AsString(), u"v");
    EXPECT_EQ(r.ReadIdent(), u"nil");
    EXPECT_TRUE(r.EndOfStream());
}

TEST(PropertyEncoding, ObjectPropertiesRoundTrip) {
    TComponent form(nullptr);
    form.SetName(u"Form1");
    auto* target = new TComponent(&form);
    target->SetName(u"Target");
    auto* src = new TSample(&form);
    src->FCount = 7;
    src->FAlign = alRight;
    src->FAligns = {alLeft, alRight};
    src->FFlag = true;
    src->FBig = std::int64_t(1) << 50;
    src->FRatio = 0.1L;
    src->FPrice = 12345678;
    src->FWhen = 45027.5;
    src->FText = u"line1\r\nline2";
    src->FBytes = "caf\xE9";
    src->FValue = Variant(3.5);
    src->FFont.FSize = 12;
    src->FFont.FName = u"Arial Narrow";
    auto* e = static_cast<TEntry*>(src->FEntries.Add());
    e->FKey = u"k1";
    e->FWeight = 1.5;
    src->FEntries.Add();
    src->FLink = target;
    src->FBlob = {9, 8, 7};
    src->FExtra = -5;

    TMemoryStream m;
    TWriter w(m);
    w.SetRoot(&form);
    w.WriteProperties(*src);

    TSample dst(nullptr);
    dst.FEntries.Add(); // replaced by what was read
    m.SetPosition(0);
    TReader r(m);
    r.SetRoot(&form);
    while (!r.EndOfStream())
        r.ReadProperty(dst);

    EXPECT_EQ(dst.FCount, 7);
    EXPECT_EQ(dst.FAlign, alRight);
    EXPECT_EQ(dst.FAligns, (TAligns{alLeft, alRight}));
    EXPECT_TRUE(dst.FFlag);
    EXPECT_EQ(dst.FBig, std::int64_t(1) << 50);
    EXPECT_EQ(dst.FRatio, 0.1L);
    EXPECT_EQ(dst.FPrice, 12345678);
    EXPECT_EQ(dst.FWhen, 45027.5);
    EXPECT_EQ(dst.FText, u"line1\r\nline2");
    EXPECT_EQ(dst.FBytes, "caf\xE9");
    EXPECT_EQ(dst.FValue.AsDouble(), 3.5);
    EXPECT_EQ(dst.FFont.FSize, 12);
    EXPECT_EQ(dst.FFont.FName, u"Arial Narrow");
    ASSERT_EQ(dst.FEntries.Count(), 2);
    EXPECT_EQ(static_cast<TEntry*>(dst.FEntries.Items(0))->FKey, u"k1");
    EXPECT_EQ(static_cast<TEntry*>(dst.FEntries.Items(0))->FWeight, 1.5);
    EXPECT_EQ(static_cast<TEntry*>(dst.FEntries.Items(1))->FKey, u"");
    EXPECT_EQ(dst.FBlob, (std::vector<std::uint8_t>{9, 8, 7}));
    EXPECT_EQ(dst.FExtra, -5);
    // The reference is kept by name for the caller to resolve.
    EXPECT_EQ(dst.FLink, nullptr);
    ASSERT_EQ(r.Fixups().size(), 1u);
    EXPECT_EQ(r.Fixups()[0].Name, u"Target");
    EXPECT_EQ(r.Fixups()[0].Prop->Name, u"Link");
}

TEST(PropertyEncoding, DefaultsAndEmptyValuesAreNotWritten) {
    TSample s(nullptr);
    s.SetName(u"Sample1"); // Name is never stored
    // Without a declared default a property is always written; empty strings, zero floats,
    // empty variants and absent objects are not.
    std::vector<String> expected = {u"Aligns", u"Flag", u"Big", u"Font.Name", u"Entries"};
    EXPECT_EQ(WriteAndListNames(s), expected);
    s.FFont.FSize = 11;
    s.FCount = 1;
    s.FFont.FName.clear();
    expected = {u"Count", u"Aligns", u"Flag", u"Big", u"Font.Size", u"Entries"};
    EXPECT_EQ(WriteAndListNames(s), expected);
}

TEST(PropertyEncoding, BadInputRaisesReadErrors) {
    auto bytes = [](std::initializer_list<std::uint8_t> b) { return std::vector<std::uint8_t>(b); };
    struct Case {
        const char* what;
        std::vector<std::uint8_t> data;
    };
    std::vector<std::uint8_t> deep = {5, 'C', 'o', 'u', 'n', 't'};
    for (int i = 0; i < 100; ++i)
        deep.push_back(vaList);
    const Case cases[] = {
        {"unknown name", bytes({3, 'F', 'o', 'o', vaInt8, 1})},
        {"wrong tag for an integer", bytes({5, 'C', 'o', 'u', 'n', 't', vaWString, 0, 0, 0, 0})},
        {"unknown tag", bytes({5, 'C', 'o', 'u', 'n', 't', 200})},
        {"truncated value", bytes({5, 'C', 'o', 'u', 'n', 't', vaInt32, 1})},
        {"huge length", bytes({4, 'T', 'e', 'x', 't', vaWString, 0xFF, 0xFF, 0xFF, 0x7F})},
        {"huge binary", bytes({4, 'B', 'l', 'o', 'b', vaBinary, 0xFF, 0xFF, 0xFF, 0xFF})},
        {"enum name", bytes({5, 'A', 'l', 'i', 'g', 'n', vaIdent, 2, 'a', 'l'})},
        {"set element", bytes({6, 'A', 'l', 'i', 'g', 'n', 's', vaSet, 1, 'x', 0})},
        {"empty name", bytes({0})},
        {"sub-object walk", bytes({6, 'C', 'o', 'u', 'n', 't', '.', vaInt8, 1})},
        {"collection item", bytes({7, 'E', 'n', 't', 'r', 'i', 'e', 's', vaCollection, vaList, 4, 'N', 'o', 'p', 'e',
                                   vaInt8, 1, vaNull, vaNull})},
        {"range", bytes({5, 'C', 'o', 'u', 'n', 't', vaInt64, 0, 0, 0, 0, 1, 0, 0, 0})},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        TSample s(nullptr);
        TBytesStream m(k.data);
        TReader r(m);
        try {
            r.ReadProperty(s);
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_TRUE(e.InheritsFrom(&EReadError::StaticClassInfo()) ||
                        e.InheritsFrom(&ERangeError::StaticClassInfo()))
                << e.what();
        }
    }
    // Skipping deeply nested lists stops at the limit too.
    TBytesStream m(std::span<const std::uint8_t>(deep).subspan(6));
    TReader r(m);
    EXPECT_THROW(r.SkipValue(), EReadError);
}

} // namespace
} // namespace vgl
