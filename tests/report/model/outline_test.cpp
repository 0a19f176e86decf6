#include "report/model/outline.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/xml_item.h"
#include "tests/report/model/service_doubles.h"

namespace vgl {
namespace {

// A store with a prepared document root.
class TDocumentPages : public test::TPreviewPagesDouble {
public:
    using TPreviewPagesDouble::TPreviewPagesDouble;
    TfrxXMLItem* DocumentRoot() const override { return &Root; }
    mutable TfrxXMLItem Root;
};

struct TEntry {
    String Text;
    int Page, Top;
    bool operator==(const TEntry&) const = default;
};

std::vector<TEntry> Entries(TfrxOutline& outline) {
    std::vector<TEntry> out;
    for (int i = 0; i < outline.Count(); ++i) {
        TEntry e{u"", -1, -1};
        outline.GetItem(i, e.Text, e.Page, e.Top);
        out.push_back(e);
    }
    return out;
}

class OutlineTest : public ::testing::Test {
protected:
    test::TServiceDoubles Doubles;
    TDocumentPages Pages{nullptr};
    TfrxOutline Outline{&Pages};
};

TEST_F(OutlineTest, EntriesNestUnderTheCurrentItem) {
    Outline.LevelRoot();
    Pages.SetCurPage(0);
    Outline.AddItem(u"Group <A>", 0);
    Outline.AddItem(u"Row 1", 40);
    Outline.LevelUp();
    Pages.SetCurPage(1);
    Outline.AddItem(u"Row 2", 80);
    Outline.LevelRoot();
    Outline.AddItem(u"Group B", 120);

    Outline.LevelRoot();
    EXPECT_EQ(Entries(Outline), (std::vector<TEntry>{{u"Group <A>", 0, 0}, {u"Group B", 1, 120}}));
    Outline.LevelDown(0);
    EXPECT_EQ(Entries(Outline), (std::vector<TEntry>{{u"Row 1", 0, 40}, {u"Row 2", 1, 80}}));
    EXPECT_EQ(Outline.GetCurPosition()->GetProp(u"text"), u"Row 2");
    EXPECT_THROW(Outline.LevelDown(5), EListError);
    Outline.LevelRoot();
    Outline.LevelUp(); // at the root: stays
    EXPECT_EQ(Outline.Count(), 2);
    // The title is escaped in the stored attribute text.
    EXPECT_EQ(Outline.Root()->Items(0)->Text().find(u"<A>"), String::npos);
    EXPECT_EQ(Outline.Root(),
              Pages.Root.Find(u"outline") >= 0 ? Pages.Root.Items(Pages.Root.Find(u"outline")) : nullptr);

    // An absent page or top leaves the variables as they were.
    Outline.Root()->Add(u"item")->SetProp(u"text", u"bare");
    String text;
    int page = 7, top = 9;
    Outline.GetItem(2, text, page, top);
    EXPECT_EQ((TEntry{text, page, top}), (TEntry{u"bare", 7, 9}));
}

TEST_F(OutlineTest, ShiftAndDeleteFromAPosition) {
    Outline.LevelRoot();
    Outline.AddItem(u"A", 10);
    Outline.LevelRoot();
    TfrxXMLItem* position = Outline.GetCurPosition(); // "A": what follows belongs to a keep block
    Outline.AddItem(u"B", 300);
    Outline.AddItem(u"B.1", 320);
    Outline.LevelRoot();
    Outline.AddItem(u"C", 400);

    Outline.ShiftItems(position, 20); // B and its entry move to the next page, by 20 - 300
    Outline.LevelRoot();
    EXPECT_EQ(Entries(Outline), (std::vector<TEntry>{{u"A", 0, 10}, {u"B", 1, 20}, {u"C", 0, 400}}));
    Outline.LevelDown(1);
    EXPECT_EQ(Entries(Outline), (std::vector<TEntry>{{u"B.1", 1, 40}}));

    // No next sibling: nothing changes.
    Outline.LevelRoot();
    Outline.ShiftItems(Outline.GetCurPosition(), 0);
    Outline.ShiftItems(nullptr, 0);
    EXPECT_EQ(Entries(Outline)[2], (TEntry{u"C", 0, 400}));

    // Deleting after A frees B (with B.1) and C; the current item inside them falls back.
    Outline.LevelDown(1);
    Outline.LevelDown(0);
    Outline.DeleteItems(position);
    EXPECT_EQ(Outline.CurItem(), Outline.Root());
    EXPECT_EQ(Entries(Outline), (std::vector<TEntry>{{u"A", 0, 10}}));
    Outline.DeleteItems(nullptr);
    EXPECT_EQ(Outline.Count(), 1);
}

TEST_F(OutlineTest, ACurrentItemOfAClearedDocumentFallsBackToTheRoot) {
    Outline.LevelRoot();
    Outline.AddItem(u"A", 10);
    Outline.AddItem(u"A.1", 20);
    Pages.Root.Clear(); // the store empties its document; the current item is gone
    Outline.AddItem(u"B", 30);
    Outline.LevelRoot();
    EXPECT_EQ(Entries(Outline), (std::vector<TEntry>{{u"B", 0, 30}}));
}

TEST(OutlineWithoutDocumentTest, AnswersNothingAndRefusesAdditions) {
    test::TServiceDoubles doubles;
    test::TPreviewPagesDouble pages(nullptr);
    TfrxOutline outline(&pages);
    outline.LevelRoot();
    EXPECT_EQ(outline.Count(), 0);
    EXPECT_EQ(outline.GetCurPosition(), nullptr);
    EXPECT_THROW(outline.AddItem(u"x", 0), EInvalidOperation);
}

TEST(AnchorsTest, FoundFromTheLastWithoutLetterCase) {
    TfrxXMLItem root;
    EXPECT_EQ(frxGetAnchorPage(root, u"none"), 1);
    EXPECT_EQ(frxGetAnchorCurPosition(root), -1);
    frxAddAnchor(root, u"Straße", 0, 10);
    frxAddAnchor(root, u"total", 2, 50);
    EXPECT_EQ(frxGetAnchorPage(root, u"TOTAL"), 3);
    EXPECT_EQ(frxGetAnchorPage(root, u"STRASSE"), 1); // no folding beyond letter case
    EXPECT_EQ(frxGetAnchorPage(root, u"straße"), 1);
    frxAddAnchor(root, u"Total", 4, 5);
    EXPECT_EQ(frxGetAnchorPage(root, u"total"), 5);
    EXPECT_EQ(frxFindAnchor(root, u"total"), frxAnchorRoot(root)->Items(2));
    EXPECT_EQ(frxGetAnchorCurPosition(root), 2);
}

TEST(AnchorsTest, ShiftAndDeleteAfterAPosition) {
    TfrxXMLItem root;
    frxAddAnchor(root, u"a", 0, 10);
    frxAddAnchor(root, u"b", 0, 300);
    frxAddAnchor(root, u"c", 0, 330);
    frxShiftAnchors(root, 0, 20); // b and c go to the next page, b at 20, c 30 below it
    auto at = [&](int i) {
        const TfrxXMLItem& item = *frxAnchorRoot(root)->Items(i);
        return std::pair(StrToInt(item.GetProp(u"page")), StrToInt(item.GetProp(u"top")));
    };
    EXPECT_EQ(at(0), std::pair(0, 10));
    EXPECT_EQ(at(1), std::pair(1, 20));
    EXPECT_EQ(at(2), std::pair(1, 50));
    for (int from : {2, 5, -3}) { // nothing after the last, nothing outside
        frxShiftAnchors(root, from, 0);
        frxDeleteAnchors(root, from);
    }
    EXPECT_EQ(at(2), std::pair(1, 50));
    frxDeleteAnchors(root, 0);
    EXPECT_EQ(frxGetAnchorCurPosition(root), 0);
    frxDeleteAnchors(root, -1);
    EXPECT_EQ(frxGetAnchorCurPosition(root), -1);
}

TEST(LogicalPageNumbersTest, RunsRestartAndLearnTheirTotals) {
    TfrxXMLItem root;
    TfrxLogicalPageNumbers numbers;
    // Pages 0..2 form the first run, 3..4 the second (a page asking to reset the numbers).
    int page = 0;
    for (; page < 3; ++page)
        numbers.Increment(root, nullptr);
    numbers.Reset(root, nullptr, page - 1, -1);
    for (; page < 5; ++page)
        numbers.Increment(root, nullptr);
    EXPECT_EQ(numbers.Current(), 2);
    std::vector<std::pair<int, int>> seen;
    for (int i = 0; i < 5; ++i)
        seen.emplace_back(TfrxLogicalPageNumbers::PageNo(root, i, 0),
                          TfrxLogicalPageNumbers::TotalPages(root, i, 0, 5));
    // The last run is still open: its pages have no total yet.
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}, {1, 0}, {2, 0}}));
    numbers.Reset(root, nullptr, 4, -1); // closing it stops at its page numbered 1
    EXPECT_EQ(TfrxLogicalPageNumbers::TotalPages(root, 4, 0, 5), 2);
    EXPECT_EQ(TfrxLogicalPageNumbers::TotalPages(root, 2, 0, 5), 3);
    EXPECT_EQ(numbers.Current(), 0);
    // A page not listed counts from the first page.
    EXPECT_EQ(TfrxLogicalPageNumbers::PageNo(root, 7, 2), 6);
    EXPECT_EQ(TfrxLogicalPageNumbers::TotalPages(root, 7, 2, 9), 7);
}

} // namespace
} // namespace vgl
