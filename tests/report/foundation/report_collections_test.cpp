#include "report/foundation/report_collections.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/rtl/reflection_builder.h"

namespace vgl {

// An item kind that keeps its unique index in stored files.
class TIndexedItem : public TfrxCollectionItem {
    VGL_CLASS(TIndexedItem, TfrxCollectionItem)
    explicit TIndexedItem(TCollection* c) : TfrxCollectionItem(c) {}
    bool IsUniqueNameStored() const override { return true; }
};
VGL_DEFINE_CLASS(TIndexedItem) {}

namespace {

TfrxCollectionItem* Item(const TCollection& c, int i) {
    return static_cast<TfrxCollectionItem*>(c.Items(i));
}

TEST(ReportCollections, NewItemsTakeTheNextFreeUniqueIndex) {
    struct Case {
        std::vector<int> existing;
        int expected;
    };
    const Case cases[] = {
        {{}, 1}, {{5}, 1}, {{5, 7}, 1}, {{1, 3}, 4}, {{1}, 2}, {{0, 0}, 2}, {{-3}, 2},
    };
    for (const Case& c : cases) {
        TfrxCollection collection(&TIndexedItem::StaticClassInfo());
        for (int index : c.existing)
            Item(collection, collection.Add()->Index())->SetUniqueIndex(index);
        EXPECT_EQ(Item(collection, collection.Add()->Index())->UniqueIndex(), c.expected) << c.existing.size();
    }
    // Insert gives an index too; items that do not store their index get none.
    TfrxCollection indexed(&TIndexedItem::StaticClassInfo());
    indexed.Add();
    EXPECT_EQ(Item(indexed, indexed.Insert(0)->Index())->UniqueIndex(), 2);
    TfrxCollection plain(&TfrxCollectionItem::StaticClassInfo());
    plain.Add();
    EXPECT_EQ(Item(plain, plain.Add()->Index())->UniqueIndex(), 0);
}

TEST(ReportCollections, FindByNameMatchesTheInheritedName) {
    TfrxCollection collection(&TIndexedItem::StaticClassInfo());
    collection.Add();
    collection.Add();
    Item(collection, 1)->SetUniqueIndex(7);
    EXPECT_EQ(Item(collection, 1)->GetInheritedName(), u"frxUIN7");
    EXPECT_EQ(collection.FindByName(u"frxUIN7"), Item(collection, 1));
    EXPECT_EQ(collection.FindByName(u"FRXUIN7"), nullptr) << "case-sensitive";
    EXPECT_EQ(collection.FindByName(u"frxUIN2"), nullptr);
}

} // namespace
} // namespace vgl
