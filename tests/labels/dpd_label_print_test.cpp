// The label module's state: its text lists and flags in table order, Clear, and the two text-list
// operations the callers fill it with.

#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "codes/dpd_aztec.h"
#include "labels/dpd_label_print.h"
#include "platform/rtl/streams.h"

namespace vgl {
namespace {

std::vector<String> Lines(const TStrings& list) {
    std::vector<String> lines;
    for (int i = 0; i < list.Count(); ++i)
        lines.push_back(list[i]);
    return lines;
}

TEST(DPDLabelPrint, WalksTheTextListsAndFlagsInTableOrder) {
    // Transcribed separately from the module's documented field table.
    const std::vector<String> lists = {u"txtHeader",
                                       u"txtDestName",
                                       u"txtDestAddress",
                                       u"txtDestZipcode",
                                       u"txtDestCity",
                                       u"txtDestContact",
                                       u"txtDestPhone",
                                       u"txtDestInfo",
                                       u"txtDestMPSID",
                                       u"txtSenderAccount",
                                       u"txtSenderAddress",
                                       u"txtSenderPhone",
                                       u"txtBUName",
                                       u"txtBUAddress",
                                       u"txtBUTel",
                                       u"txtBUDepot",
                                       u"txtPackages",
                                       u"txtWeight",
                                       u"txtOptProductText",
                                       u"txtOptParcelRef1",
                                       u"txtOptParcelRef2",
                                       u"txtOptCSort",
                                       u"txtOptRetOriginalParcelNumber",
                                       u"txtOptCollReqSenderContact",
                                       u"txtOptCollSenderAddress",
                                       u"txtOptCollReqPickupSenderAddress",
                                       u"txtOptCODAmount",
                                       u"txtOptCODPurpose",
                                       u"txtRoutServiceText",
                                       u"txtRoutServiceMarker",
                                       u"txtRoutdDepotCountry",
                                       u"txtRoutbuAlphaStr",
                                       u"txtRoutdDepotStr",
                                       u"txtRoutSSort",
                                       u"txtRoutOSort",
                                       u"txtRoutDSort",
                                       u"txtRoutServiceCodeAndDest",
                                       u"txtRoutOriginVersion",
                                       u"txtTourNumber",
                                       u"txtParcelNumber",
                                       u"txtReceiptRecipient",
                                       u"txtReceiptSender",
                                       u"txtReturnRecipient",
                                       u"txtReturnParcelnumberAndRef"};
    const std::vector<String> flags = {u"IsDestExport",
                                       u"IsPredict",
                                       u"IsMedical",
                                       u"IsCollectionRequestPickup",
                                       u"IsCollectionRequest",
                                       u"IsPUDODelivery",
                                       u"IsPUDODeliveryReturn",
                                       u"IsPUDOReturn",
                                       u"IsSpecialOperation",
                                       u"IsOfflineMode"};

    TDMDPDLabelPrint module;
    std::vector<String> seenLists;
    std::vector<const TWideStringList*> addresses;
    module.ForEachTextList([&](const String& name, TWideStringList& list) {
        seenLists.push_back(name);
        addresses.push_back(&list);
    });
    EXPECT_EQ(seenLists, lists);
    EXPECT_EQ(addresses.front(), &module.txtHeader);
    EXPECT_EQ(addresses.back(), &module.txtReturnParcelnumberAndRef);
    EXPECT_EQ(DPDLabelTextListCount, 44);

    std::vector<String> seenFlags;
    module.ForEachFlag([&](const String& name, bool&) { seenFlags.push_back(name); });
    EXPECT_EQ(seenFlags, flags);
    EXPECT_EQ(module.StreamPrinted, nullptr);
}

TEST(DPDLabelPrint, ClearResetsTheLabelDataAndKeepsThePrintedStream) {
    TDMDPDLabelPrint module;
    module.ForEachTextList([](const String& name, TWideStringList& list) { list.Add(name); });
    module.ForEachFlag([](const String&, bool& flag) { flag = true; });
    module.Bic3BarcodeTxt = "%0075001";
    const Latin1String clearedContent = module.Aztec.AsString();
    module.Aztec.ISO_DestZipCode()->SetFieldValue(u"75001");
    module.Aztec.ParcelInfo().SetIsCOD(u'1');
    module.Aztec.SetS02_IsDefined(true);
    auto stream = std::make_unique<TMemoryStream>();
    TStream* printed = stream.get();
    module.StreamPrinted = std::move(stream);

    module.Clear();

    module.ForEachTextList(
        [](const String& name, TWideStringList& list) { EXPECT_EQ(list.Count(), 0) << StringToUtf8(name); });
    module.ForEachFlag([](const String& name, bool& flag) { EXPECT_FALSE(flag) << StringToUtf8(name); });
    EXPECT_TRUE(module.Bic3BarcodeTxt.empty());
    EXPECT_FALSE(module.Aztec.S02_IsDefined());
    EXPECT_EQ(module.Aztec.ParcelInfo().IsCOD(), u' ');
    EXPECT_EQ(module.Aztec.AsString(), clearedContent);
    EXPECT_EQ(module.StreamPrinted.get(), printed);
}

TEST(DPDLabelPrint, SetTextReplacesTheListAndAddLineAppendsOneLine) {
    struct Case {
        const char16_t* value;
        std::vector<String> lines;
    };
    const Case cases[] = {
        {u"", {}},
        {u"one", {u"one"}},
        {u"a\r\nb", {u"a", u"b"}},
        {u"a\nb\rc", {u"a", u"b", u"c"}},
        {u"a\r\n", {u"a"}},
        {u"a\r\n\r\nb", {u"a", u"", u"b"}},
        {u" padded ", {u" padded "}},
    };
    for (const Case& c : cases) {
        TWideStringList list;
        list.Add(u"old");
        TDMDPDLabelPrint::SetText(list, c.value);
        EXPECT_EQ(Lines(list), c.lines) << StringToUtf8(c.value);
    }

    TWideStringList list;
    TDMDPDLabelPrint::AddLine(list, u"first");
    TDMDPDLabelPrint::AddLine(list, u"");
    TDMDPDLabelPrint::AddLine(list, u"a\r\nb");
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list[1], u"");
    EXPECT_EQ(list[2], u"a\r\nb");
}

} // namespace
} // namespace vgl
