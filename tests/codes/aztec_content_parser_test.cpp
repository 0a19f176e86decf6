#include "codes/aztec_content_parser.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "codes/dpd_aztec.h"
#include "platform/rtl/exceptions.h"

namespace vgl {
namespace {

const String CR = u"\r";

std::string Utf8(const String& s) {
    return StringToUtf8(s);
}

// The message of the exception `action` raises ("<none>" when it raises none).
String MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return u"<none>";
}

void Set(TDPDAztecField* field, StringView value) {
    ASSERT_NE(field, nullptr);
    field->SetFieldValue(value);
}

// ---- Splitting and weights -------------------------------------------------------------------

TEST(AztecContentSplit, EnvelopeBlocksAndItems) {
    const auto blocks = SplitAztecContent("[)>\x1e"
                                          "01\x1d"
                                          "02\x1d\x1e"
                                          "07\x1dG03\x1e\x04");
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0], (TAztecContentBlock{u"01", u"02", u""}));
    EXPECT_EQ(blocks[1], (TAztecContentBlock{u"07", u"G03"}));
    EXPECT_EQ(blocks[2], (TAztecContentBlock{u""}));
    EXPECT_EQ(SplitAztecContent("[)>\x1e\xE4\x04")[0][0], u"\u00E4"); // ISO-8859-1

    for (const std::string bad : {"", "[)>", "[)>\x1e",
                                  "[)>\x1e"
                                  "01",
                                  "[)>\x1d"
                                  "01\x04",
                                  "([)>\x1e\x04"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(MessageOf([&] { SplitAztecContent(bad); }), u"invalid Aztec-String: " + Latin1ToString(bad));
    }
}

TEST(AztecContentWeight, ReadAndFormat) {
    struct Case {
        String text;
        std::optional<long double> weight;
    };
    const Case cases[] = {
        {u"2.5kg", 2.5L}, {u"12KG", 12.0L}, {u"0.25Kg", 0.25L}, {u"-1.5KG", -1.5L}, {u"2,5KG", {}},   {u"12", {}},
        {u"KG", {}},      {u".KG", {}},     {u"1e3KG", {}},     {u"INFKG", {}},     {u"1.2.3KG", {}}, {u"12 K G", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.text));
        EXPECT_EQ(ReadAztecWeight(c.text), c.weight);
    }
    EXPECT_EQ(FormatAztecWeight(2.5L, 8), u"2.50KG");
    EXPECT_EQ(FormatAztecWeight(12345.678L, 10), u"12345.68KG");
    EXPECT_EQ(FormatAztecWeight(12345.678L, 9), u"12345.7KG");
    EXPECT_EQ(FormatAztecWeight(12345.678L, 8), u"12346KG");
    EXPECT_EQ(FormatAztecWeight(1234567.0L, 8), u"1234567KG"); // nothing shorter exists
}

// ---- Field rules -----------------------------------------------------------------------------

TEST(AztecFieldRules, IsoRules) {
    const String rangeFormat = u"ISO_RangInNumber : Field format is not \"3N/3N (MPS : Parcel X / in consignment Y)\"";
    struct Case {
        TDPDAztecFieldId id;
        String value;
        String result; // the normalised value, or the message
    };
    const Case cases[] = {
        {fiISO_RangInNumber, u"1/3", u"001/003"},
        {fiISO_RangInNumber, u"12/12", u"012/012"},
        {fiISO_RangInNumber, u"4/3", rangeFormat},
        {fiISO_RangInNumber, u"1/1000", rangeFormat},
        {fiISO_RangInNumber, u"1-3", rangeFormat},
        {fiISO_RangInNumber, u"1/2/3", rangeFormat},
        {fiISO_RangInNumber, u"a/3", rangeFormat},
        {fiISO_RangInNumber, u"/3", u"'' is not a valid integer value"},
        {fiISO_DeclaredWeight, u"2.5kg", u"2.50KG"},
        {fiISO_DeclaredWeight, u"2,5KG", u"ISO_DeclaredWeight : Field format is not \"nn.nnKG\""},
        {fiISO_DeclaredWeight, u"12", u"ISO_DeclaredWeight : Field format is not \"nn.nnKG\""},
        {fiISO_CrossMatch, u"Y", u"Y"},
        {fiISO_CrossMatch, u"y", u"ISO_CrossMatch : Field value has to be \"Y\" or \"N\""},
        {fiISO_RecCompName1, u"", u"ISO_RecCompName1 / STD_RecContact : One of the field is required (mandatory)"},
        {fiISO_RecCompName1, u"Muster AG", u"Muster AG"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8(c.value));
        TDPDAztec aztec;
        TDPDAztecField* field = aztec.Field(c.id);
        Set(field, c.value);
        const String message = MessageOf([&] { field->CheckFieldValue(); });
        EXPECT_EQ(message == u"<none>" ? field->FieldValue() : message, c.result);
    }

    TDPDAztec aztec;
    Set(aztec.ISO_RangInNumber(), u"2/5");
    aztec.ISO_RangInNumber()->CheckFieldValue();
    EXPECT_EQ(aztec.MPSParcelNumber(), 2);
    EXPECT_EQ(aztec.MPSParcelCount(), 5);
    Set(aztec.STD_RecContact(), u"Herr Schulz");
    EXPECT_NO_THROW(aztec.ISO_RecCompName1()->CheckFieldValue()); // the contact suffices
}

TEST(AztecFieldRules, StdRules) {
    const String reasonPrefix = CR + u"Reason : ";
    struct Case {
        const char* name;
        std::function<void(TDPDAztec&)> setup;
        TDPDAztecFieldId id;
        String result; // the normalised value, or the message
    };
    const Case cases[] = {
        {"weight normalised", [](TDPDAztec& a) { Set(a.STD_TotalWeight(), u"12.5kg"); }, fiSTD_TotalWeight, u"12.50KG"},
        {"weight shortened to fit", [](TDPDAztec& a) { Set(a.STD_TotalWeight(), u"1234.56KG"); }, fiSTD_TotalWeight,
         u"STD_TotalWeight : Field value is too long (max. 8)"},
        {"weight 6 digits", [](TDPDAztec& a) { Set(a.STD_TotalWeight(), u"123456KG"); }, fiSTD_TotalWeight,
         u"123456KG"},
        {"weight without KG", [](TDPDAztec& a) { Set(a.STD_TotalWeight(), u"12.5"); }, fiSTD_TotalWeight,
         u"STD_TotalWeight : Field format is not \"\"nnn.nnKG\",\"nnnn.nKG\",\"nnnnnnKG\"\""},
        {"weight on a following piece",
         [](TDPDAztec& a) {
             Set(a.ISO_RangInNumber(), u"2/3");
             a.ISO_RangInNumber()->CheckFieldValue();
             Set(a.STD_TotalWeight(), u"5KG");
         },
         fiSTD_TotalWeight,
         u"STD_TotalWeight : Field value has to be " + reasonPrefix +
             u"The field is set only for the master piece of MPS (ISO_RangInNumber)."},
        {"no weight on the master piece",
         [](TDPDAztec& a) {
             Set(a.ISO_RangInNumber(), u"1/3");
             a.ISO_RangInNumber()->CheckFieldValue();
         },
         fiSTD_TotalWeight, u"STD_TotalWeight : Field value is required (mandatory)" + reasonPrefix + u"MPS"},
        {"no weight on a single parcel", [](TDPDAztec&) {}, fiSTD_TotalWeight, u""},
        {"unknown notification type", [](TDPDAztec& a) { Set(a.STD_NotifType(), u"X"); }, fiSTD_RecNotifMob,
         u"STD_NotifType : Field value has to be \"\" or \"B\" or \"E\" or \"S\" or \"C\""},
        {"e-mail notification without address", [](TDPDAztec& a) { Set(a.STD_NotifType(), u"E"); }, fiSTD_RecNotifMob,
         u"STD_RecNotifEMail : Field value is required (mandatory)" + reasonPrefix + u"STD_NotifType\"E\""},
        {"both notification without mobile",
         [](TDPDAztec& a) {
             Set(a.STD_NotifType(), u"B");
             Set(a.STD_RecNotifEMail(), u"a@b.de");
         },
         fiSTD_RecNotifMob,
         u"STD_RecNotifMob : Field value is required (mandatory)" + reasonPrefix + u"STD_NotifType\"B\""},
        {"SMS notification with mobile",
         [](TDPDAztec& a) {
             Set(a.STD_NotifType(), u"S");
             Set(a.STD_RecNotifMob(), u"+49 170 #1234");
         },
         fiSTD_RecNotifMob, u"+491701234"},
        {"consignment type", [](TDPDAztec& a) { Set(a.STD_ConsType(), u"d"); }, fiSTD_ConsType,
         u"STD_ConsType : Field value has to be \"D\" or \"N\""},
        {"non-document without description", [](TDPDAztec& a) { Set(a.STD_ConsType(), u"N"); }, fiSTD_ConsType,
         u"STD_ContDescr : Field value is required (mandatory)" + reasonPrefix + u"STD_ConsType=\"N\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TDPDAztec aztec;
        c.setup(aztec);
        TDPDAztecField* field = aztec.Field(c.id);
        const String message = MessageOf([&] { field->CheckFieldValue(); });
        EXPECT_EQ(message == u"<none>" ? field->FieldValue() : message, c.result);
    }
}

TEST(AztecFieldRules, OptionalBlockRules) {
    const String reasonPrefix = CR + u"Reason : ";
    struct Case {
        const char* name;
        int block;
        std::function<void(TDPDAztec&)> setup;
        TDPDAztecFieldId id;
        String message; // empty: passes
    };
    const Case cases[] = {
        {"format id", 1, [](TDPDAztec& a) { Set(a.S01_FormatID(), u"S010"); }, fiS01_FormatID, u""},
        {"short format id", 1, [](TDPDAztec& a) { Set(a.S01_FormatID(), u"S01"); }, fiS01_FormatID,
         u"S01_FormatID : Field format is not \"S01X\""},
        {"foreign format id", 1, [](TDPDAztec& a) { Set(a.S01_FormatID(), u"S020"); }, fiS01_FormatID,
         u"S01_FormatID : Field format is not \"S01X\""},
        {"long format id of S07", 7, [](TDPDAztec& a) { Set(a.S07_FormatID(), u"S07012"); }, fiS07_FormatID, u""},
        {"sender without name", 1, [](TDPDAztec&) {}, fiS01_SendCompName,
         u"S01_SendCompName / S01_Contact : One of the field is required (mandatory)"},
        {"collect type", 2, [](TDPDAztec& a) { Set(a.S02_CollectType(), u"3"); }, fiS02_CollectType,
         u"S02_CollectType : Field value has to be \"\" or \"0\" or \"1\" or \"2\""},
        {"receiver contact", 4, [](TDPDAztec&) {}, fiS04_RecContact,
         u"ISO_RecCompName1 / S04_RecContact : One of the field is required (mandatory)"},
        {"S04 notification", 4,
         [](TDPDAztec& a) {
             Set(a.S04_NotifType(), u"C");
             Set(a.S04_RecNotifEMail(), u"x@y.de");
         },
         fiS04_RecNotifMob,
         u"S04_RecNotifMob : Field value is required (mandatory)" + reasonPrefix + u"S04_NotifType=\"C\""},
        {"paid by account", 5, [](TDPDAztec& a) { Set(a.S05_Paid(), u"B"); }, fiS05_Paid,
         u"ISO_CustAccNumber : Field value is required (mandatory)" + reasonPrefix + u"S05_Paid=\"B\""},
        {"paid", 5, [](TDPDAztec& a) { Set(a.S05_Paid(), u"X"); }, fiS05_Paid,
         u"S05_Paid : Field value has to be \"Y\" or \"N\" or \"B\""},
        {"size", 5, [](TDPDAztec& a) { Set(a.S05_Size(), u"XXL"); }, fiS05_Size,
         u"S05_Size : Field value is too long (max. 2)"},
        {"size choice", 5, [](TDPDAztec& a) { Set(a.S05_Size(), u"xs"); }, fiS05_Size,
         u"S05_Size : Field value has to be \"XL\" or \"L\" or \"M\" or \"S\" or \"XS\""},
        {"delivery without dates", 7, [](TDPDAztec&) {}, fiS07_DeliveryDateFrom,
         u"S07_DeliveryDateTo / S07_DeliveryDateFrom : One of the field is required (mandatory)"},
        {"delivery without times", 7, [](TDPDAztec& a) { Set(a.S07_DeliveryDateTo(), u"31122023"); },
         fiS07_DeliveryDateFrom,
         u"S07_DeliveryTimeTo / S07_DeliveryTimeFrom : One of the field is required (mandatory)"},
        {"delivery window", 7,
         [](TDPDAztec& a) {
             Set(a.S07_DeliveryDateFrom(), u"01012024");
             Set(a.S07_DeliveryTimeTo(), u"18:00");
         },
         fiS07_DeliveryDateFrom, u""},
        {"quality", 8, [](TDPDAztec& a) { Set(a.S08_Quality(), u"4"); }, fiS08_Quality,
         u"S08_Quality : Field value has to be \"0\" or \"1\" or \"2\" or \"3\" or \"9\""},
        {"data origin", 8, [](TDPDAztec& a) { Set(a.S08_DataOrigin(), u"g"); }, fiS08_DataOrigin,
         u"S08_DataOrigin : Field value has to be \"G\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TDPDAztec aztec;
        aztec.SetIsDefined(c.block, true);
        c.setup(aztec);
        const String message = MessageOf([&] { aztec.Field(c.id)->CheckFieldValue(); });
        EXPECT_EQ(message, c.message.empty() ? u"<none>" : c.message);
    }
}

// A parcel whose every field passes, with the flags of a domestic parcel.
void FillValidParcel(TDPDAztec& a) {
    Set(a.ISO_DestZipCode(), u"01067");
    Set(a.ISO_DestCountryCode(), u"276");
    Set(a.ISO_SOCode(), u"101");
    Set(a.ISO_ParcelNumber(), u"01905002345615");
    Set(a.ISO_SCAC(), u"DPDX");
    Set(a.ISO_JDPickup(), u"45");
    Set(a.ISO_DeclaredWeight(), u"3.2KG");
    Set(a.ISO_RecStreet(), u"Hauptstr. 1");
    Set(a.ISO_RecTown(), u"Dresden");
    Set(a.ISO_RecCompName1(), u"Muster GmbH");
    Set(a.STD_RoutingNec(), u"0");
    a.AsString(); // fills STD_BarcodeOF, which is mandatory
}

TEST(AztecCheckValues, WalksFlagsThenFieldsAndKeepsNormalisations) {
    TDPDAztec aztec;
    FillValidParcel(aztec);
    EXPECT_EQ(MessageOf([&] { aztec.CheckValues(); }),
              u"IsSenderInEU : Field value has to be \"0\" or \"1\""); // the flags come first
    TDPDParcelInfo& info = aztec.ParcelInfo();
    info.SetIsSenderInEU(u'1');
    info.SetIsReceiverInEU(u'1');
    info.SetIsPredict(u'0');
    info.SetIsCOD(u'0');
    EXPECT_EQ(MessageOf([&] { aztec.CheckValues(); }), u"IsCustom : Field value has to be \"0\" or \"1\"");
    info.SetIsCustom(u'0');
    EXPECT_EQ(MessageOf([&] { aztec.CheckValues(); }), u"<none>");
    EXPECT_EQ(aztec.ISO_JDPickup()->FieldValue(), u"045");
    EXPECT_EQ(aztec.ISO_DeclaredWeight()->FieldValue(), u"3.20KG");

    // A failure in block S01 leaves the ISO and STD normalisations made before it.
    aztec.SetS01_IsDefined(true);
    Set(aztec.ISO_DeclaredWeight(), u"7kg");
    EXPECT_EQ(MessageOf([&] { aztec.CheckValues(); }), u"S01_FormatID : Field value is required (mandatory)");
    EXPECT_EQ(aztec.ISO_DeclaredWeight()->FieldValue(), u"7.00KG");
}

TEST(AztecValidations, BlockRules) {
    const String reasonPrefix = CR + u"Reason : ";
    struct Case {
        const char* name;
        const char16_t* flags; // IsSenderInEU, IsReceiverInEU, IsPredict, IsCOD, IsCustom
        std::function<void(TDPDAztec&)> setup;
        String message; // empty: passes
    };
    const auto blocks = [](std::initializer_list<int> on) {
        return [on](TDPDAztec& a) {
            for (int b : on)
                a.SetIsDefined(b, true);
        };
    };
    const Case cases[] = {
        {"domestic", u"11000", blocks({}), u""},
        {"blank flags match nothing", u"     ", blocks({}), u""},
        {"customs without S03", u"11001", blocks({}),
         u"S03 Custom format block : Block is required (mandatory)" + reasonPrefix + u"Parcelinfo.IsCustom=\"1\""},
        {"customs on a following piece", u"11001",
         [](TDPDAztec& a) {
             a.SetS03_IsDefined(true);
             Set(a.ISO_RangInNumber(), u"2/3");
             a.ISO_RangInNumber()->CheckFieldValue();
         },
         u"S03 Custom format : Block is forbidden" + reasonPrefix +
             u"The field is set only for the master piece of MPS (ISO_RangInNumber)."},
        {"customs without sender", u"11001", blocks({3}),
         u"S01 Sender Information : Block is required (mandatory)" + reasonPrefix + u"S03_IsDefined"},
        {"customs without reference", u"11001", blocks({1, 3}),
         u"ISO_ConsCustRef1 : Field value is required (mandatory)" + reasonPrefix + u"S03_IsDefined"},
        {"customs complete", u"11001",
         [](TDPDAztec& a) {
             a.SetS01_IsDefined(true);
             a.SetS03_IsDefined(true);
             Set(a.ISO_ConsCustRef1(), u"INV-4711");
         },
         u""},
        {"receiver outside the EU", u"10000", blocks({}),
         u"S03 Sender Information : Block is required (mandatory)" + reasonPrefix + u"ParcelInfo.IsEU=\"0\""},
        {"sender outside the EU", u"01000", blocks({}),
         u"STD_ConsType : Field value is required (mandatory)" + reasonPrefix +
             u"ParcelInfo.IsSenderInEU or IsReceiverInEU = \"0\""},
        {"predict without type", u"11100", blocks({}),
         u"STD_NotifType : Field value is required (mandatory)" + reasonPrefix + u"Parcelinfo.IsPredict=\"1\""},
        {"predict without S04 type", u"11100",
         [](TDPDAztec& a) {
             Set(a.STD_NotifType(), u"E");
             a.SetS04_IsDefined(true);
         },
         u"S04_NotifType : Field value is required (mandatory)" + reasonPrefix + u"Parcelinfo.IsPredict=\"1\""},
        {"cash on delivery without S02", u"11010", blocks({}),
         u"S02 COD format block : Block is required (mandatory)" + reasonPrefix + u"Parcelinfo.IsCOD=\"1\""},
        {"cash on delivery", u"11010", blocks({2}), u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TDPDAztec aztec;
        c.setup(aztec);
        TDPDParcelInfo& info = aztec.ParcelInfo();
        info.SetIsSenderInEU(c.flags[0]);
        info.SetIsReceiverInEU(c.flags[1]);
        info.SetIsPredict(c.flags[2]);
        info.SetIsCOD(c.flags[3]);
        info.SetIsCustom(c.flags[4]);
        EXPECT_EQ(MessageOf([&] { aztec.Validations(); }), c.message.empty() ? u"<none>" : c.message);
    }
}

// ---- Parsing ---------------------------------------------------------------------------------

const std::string kIso = "01\x1d"
                         "02\x1d"
                         "01067\x1d"
                         "276\x1d"
                         "101\x1d"
                         "01905002345615\x1d"
                         "DPDX\x1d\x1d"
                         "045\x1d\x1d"
                         "001/001\x1d"
                         "3.20KG\x1d"
                         "N\x1d"
                         "Hauptstr. 1\x1d"
                         "Dresden\x1d\x1d"
                         "Muster GmbH";
const std::string kStd = "07\x1dG03\x1d"
                         "0\x1d\x1d"
                         "0\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d"
                         "0\x1d";

std::string Content(std::initializer_list<std::string> blocks) {
    std::string s = "[)>\x1e";
    for (const std::string& block : blocks)
        s += block + "\x1e";
    return s + "\x04";
}

TEST(AztecContentParse, HeadersAndMalformedBlocks) {
    struct Case {
        const char* name;
        std::string content;
        String message;
    };
    const Case cases[] = {
        {"foreign header", Content({kIso, "08\x1dG03"}), u"invalid Aztec-Header: 08"},
        {"foreign version",
         Content({"01\x1d"
                  "03\x1dx"}),
         u"invalid Aztec-Version: 03"},
        {"short ISO block",
         Content({"01\x1d"
                  "02\x1d"
                  "01067"}),
         u"invalid ISO block: 01\x1d"
         u"02\x1d"
         u"01067"},
        {"short STD block",
         Content({kIso, "07\x1dG03\x1d"
                        "0"}),
         u"invalid STD block: 07\x1dG03\x1d"
         u"0"},
        {"G03 without its last item", Content({kIso, kStd.substr(0, kStd.size() - 1)}),
         u"invalid STD block: " + Latin1ToString(kStd.substr(0, kStd.size() - 1))},
        {"short receiver compound",
         Content({kIso, "07\x1dG03\x1d\x1d\x1d\x1d"
                        "a\x1f"
                        "b\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d"}),
         u"invalid STD block: 07\x1dG03\x1d\x1d\x1d\x1d"
         u"a\x1f"
         u"b\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d"},
        {"unknown format 07 block ignored", Content({kIso, kStd, "07\x1dS099\x1dx"}), u"<none>"},
        {"blocks of one item skipped", Content({"", "x", kIso}), u"<none>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TDPDAztec aztec;
        EXPECT_EQ(MessageOf([&] { aztec.SetAsString(c.content); }), c.message);
    }
}

TEST(AztecContentParse, ReadsBlocksAndDropsShortOptionalOnes) {
    TDPDAztec aztec;
    aztec.SetS06_IsDefined(true); // cleared by parsing
    aztec.SetAsString(Content({kIso,
                               "07\x1dg02\x1d"
                               "1\x1d\x1d"
                               "1\x1d"
                               "Kommentar\x1f\x1f\x1f\x1f\x1f\x1f\x1f\x1f\x1f"
                               "Hof"
                               "\x1d"
                               "E\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d\x1d"
                               "1",
                               "07\x1ds020\x1d"
                               "EUR\x1d"
                               "12.50", // one item short: dropped
                               "07\x1dS050\x1d"
                               "Y\x1dM", // complete
                               "07\x1dS020\x1d"
                               "EUR\x1d"
                               "9.90\x1d"
                               "1"})); // complete
    EXPECT_EQ(aztec.ISO_RecTown()->FieldValue(), u"Dresden");
    EXPECT_EQ(aztec.ISO_JDPickup()->FieldValue(), u"045");
    EXPECT_EQ(aztec.STD_FormatID()->FieldValue(), u"G03");
    EXPECT_EQ(aztec.STD_RoutingNec()->FieldValue(), u"1");
    EXPECT_EQ(aztec.STD_RecComment()->FieldValue(), u"Kommentar");
    EXPECT_EQ(aztec.STD_RecAdd3()->FieldValue(), u"Hof");
    EXPECT_EQ(aztec.STD_NotifType()->FieldValue(), u"E");
    EXPECT_EQ(aztec.STD_LimitedQtyHaz()->FieldValue(), u"1");
    EXPECT_EQ(aztec.STD_ASCode()->FieldValue(), u""); // G02 has none
    EXPECT_FALSE(aztec.S06_IsDefined());
    ASSERT_TRUE(aztec.S05_IsDefined());
    EXPECT_EQ(aztec.S05_Size()->FieldValue(), u"M");
    ASSERT_TRUE(aztec.S02_IsDefined());
    EXPECT_EQ(aztec.S02_FormatID()->FieldValue(), u"S020");
    EXPECT_EQ(aztec.S02_Amount()->FieldValue(), u"9.90");
    EXPECT_EQ(aztec.ParcelInfo().IsCOD(), u'1');
    EXPECT_EQ(aztec.ParcelInfo().IsCustom(), u' ');

    // A short S03 block is switched off again and sets no flag.
    aztec.SetAsString(Content({kIso, kStd,
                               "07\x1dS030\x1d"
                               "0\x1d"
                               "DE123"}));
    EXPECT_FALSE(aztec.S03_IsDefined());
    EXPECT_EQ(aztec.ParcelInfo().IsCustom(), u' ');
}

// Realistic parcels: the built text parsed into a new object restores every field and block.
TEST(AztecContentParse, RoundTrip) {
    struct Parcel {
        const char* name;
        std::function<void(TDPDAztec&)> fill;
    };
    const Parcel parcels[] = {
        {"domestic with predict",
         [](TDPDAztec& a) {
             FillValidParcel(a);
             Set(a.STD_NotifType(), u"B");
             Set(a.STD_RecNotifEMail(), u"kunde@example.de");
             Set(a.STD_RecNotifMob(), u"+491701234567");
             Set(a.STD_RecContact(), u"Frau M\u00FCller");
             Set(a.STD_RecAdd2(), u"3. OG");
             Set(a.STD_SendParcelRef(), u"Bestellung 4711");
         }},
        {"export with customs and sender",
         [](TDPDAztec& a) {
             FillValidParcel(a);
             Set(a.ISO_DestCountryCode(), u"756");
             Set(a.ISO_ConsCustRef1(), u"INV-2024-0815");
             Set(a.STD_ConsType(), u"N");
             Set(a.STD_ContDescr(), u"Ersatzteile");
             Set(a.STD_TotalWeight(), u"12.50KG");
             a.SetS01_IsDefined(true);
             Set(a.S01_FormatID(), u"S010");
             Set(a.S01_SendCompName(), u"Versand & Co. KG");
             Set(a.S01_SendStreet(), u"Am Hafen 3");
             Set(a.S01_SendTown(), u"Hamburg");
             Set(a.S01_SendZipCode(), u"20457");
             Set(a.S01_SendCountryCode(), u"276");
             a.SetS03_IsDefined(true);
             Set(a.S03_FormatID(), u"S030");
             Set(a.S03_RecVAT(), u"CHE-123.456.789");
             Set(a.S03_TotalValue(), u"249.90");
             Set(a.S03_Currency(), u"EUR");
             Set(a.S03_Incoterm(), u"DAP");
             Set(a.S03_ArticleNumber(), u"2");
             for (int k = 0; k < 2; ++k) {
                 const TDPDAztecArticleRec art = a.S03_Articles(k);
                 Set(art.Art_Desc, k == 0 ? u"Bremsscheibe" : u"Z\u00FCndkerze");
                 Set(art.Art_Qty, u"2");
                 Set(art.Art_Weigth, u"3500");
                 Set(art.Art_Value, u"99.95");
                 Set(art.Art_ComCode, u"8708301090");
                 Set(art.Art_OriginCountry, u"276");
             }
         }},
        {"cash on delivery, goods, window and position",
         [](TDPDAztec& a) {
             FillValidParcel(a);
             a.SetS02_IsDefined(true);
             Set(a.S02_FormatID(), u"S020");
             Set(a.S02_Curr(), u"EUR");
             Set(a.S02_Amount(), u"59.00");
             Set(a.S02_CollectType(), u"0");
             a.SetS04_IsDefined(true);
             Set(a.S04_FormatID(), u"S040");
             Set(a.S04_RecContact(), u"Empfang");
             Set(a.S04_SOCode(), u"327");
             a.SetS05_IsDefined(true);
             Set(a.S05_FormatID(), u"S050");
             Set(a.S05_Paid(), u"N");
             a.SetS06_IsDefined(true);
             Set(a.S06_FormatID(), u"S060");
             Set(a.S06_GoodsType(), u"1");
             Set(a.S06_ExpirationDate(), u"31122024");
             a.SetS07_IsDefined(true);
             Set(a.S07_FormatID(), u"S070");
             Set(a.S07_DeliveryDateFrom(), u"02012024");
             Set(a.S07_DeliveryTimeFrom(), u"08:00");
             Set(a.S07_DeliveryTimeTo(), u"12:00");
             a.SetS08_IsDefined(true);
             Set(a.S08_FormatID(), u"S080");
             Set(a.S08_Latitude(), u"51.0504");
             Set(a.S08_Longitude(), u"13.7373");
             Set(a.S08_Quality(), u"1");
             Set(a.S08_DataOrigin(), u"G");
         }},
        {"quotes and backslashes in free text",
         [](TDPDAztec& a) {
             FillValidParcel(a);
             Set(a.ISO_RecStreet(), u"Weg \\ 5 \"a\", 'b'");
             Set(a.STD_RecComment(), u"\\e(3) bitte klingeln");
         }},
    };
    for (const Parcel& p : parcels) {
        SCOPED_TRACE(p.name);
        TDPDAztec source;
        p.fill(source);
        const std::string text = source.AsString();
        TDPDAztec target;
        target.SetAsString(text);
        for (int block = 1; block <= DPDAztecBlockCount; ++block)
            EXPECT_EQ(target.IsDefined(block), source.IsDefined(block)) << "block " << block;
        for (int id = 0; id < fiCount; ++id) {
            const TDPDAztecField* expected = source.Field(static_cast<TDPDAztecFieldId>(id));
            const TDPDAztecField* actual = target.Field(static_cast<TDPDAztecFieldId>(id));
            ASSERT_EQ(actual == nullptr, expected == nullptr) << id;
            if (expected) {
                EXPECT_EQ(Utf8(actual->FieldValue()), Utf8(expected->FieldValue())) << Utf8(expected->FieldName());
            }
        }
        EXPECT_EQ(target.ParcelInfo().IsCOD(), source.S02_IsDefined() ? u'1' : u' ');
        EXPECT_EQ(target.ParcelInfo().IsCustom(), source.S03_IsDefined() ? u'1' : u' ');
        EXPECT_EQ(target.AsString(), text);
    }
}

} // namespace
} // namespace vgl
