// The item arena of a script's registration: items cut from it stay valid as long as they live,
// whoever frees them and whenever.
#include "script/engine/script_item_arena.h"

#include <gtest/gtest.h>

#include <memory>

#include "script/engine/script.h"

namespace vgl {
namespace {

TEST(ScriptItemArena, ItemsOutliveTheArenaHolderAndScopesNest) {
    EXPECT_EQ(TfsItemArena::Current(), nullptr);
    TfsItemArena* outer = TfsItemArena::Create();
    TfsItemArena* inner = TfsItemArena::Create();
    std::unique_ptr<TfsVariable> a, b;
    {
        const TfsItemArenaScope outerScope(outer);
        {
            const TfsItemArenaScope innerScope(inner);
            a = std::make_unique<TfsVariable>(u"FromTheInnerArena", fvtString, u"String");
        }
        b = std::make_unique<TfsVariable>(u"FromTheOuterArena", fvtInt, u"Integer");
    }
    EXPECT_EQ(TfsItemArena::Current(), nullptr);
    // The creators let go first: the items keep their memory.
    outer->Release();
    inner->Release();
    a->SetValue(Variant(u"text"));
    b->SetValue(Variant(42));
    EXPECT_EQ(a->GetValue(), Variant(u"text"));
    EXPECT_EQ(b->GetValue(), Variant(42));
    EXPECT_EQ(a->Name, u"FromTheInnerArena");
    // Outside any scope the ordinary allocator serves.
    auto c = std::make_unique<TfsParamItem>(u"Heap", fvtInt, u"Integer", false, false);
    EXPECT_EQ(c->Name, u"Heap");
}

TEST(ScriptItemArena, RegisteredItemsOutliveTheirScript) {
    std::unique_ptr<TObject> taken;
    int count = 0;
    {
        TfsScript s(nullptr);
        s.AddRTTI();
        count = s.Count();
        taken = s.Remove(s.FindLocal(u"IntToStr"));
        ASSERT_NE(taken, nullptr);
        EXPECT_EQ(s.Count(), count - 1);
    }
    auto* m = dynamic_cast<TfsMethodHelper*>(taken.get());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->Name, u"IntToStr");
    EXPECT_EQ(m->Count(), 1);
    EXPECT_EQ(m->AddedBy, fsRTTIOwner);
    taken.reset();
}

TEST(ScriptItemArena, RegisteringAgainAfterClearRTTIGivesTheSameItems) {
    TfsScript s(nullptr);
    s.AddRTTI();
    std::vector<String> names;
    for (int i = 0; i < s.Count(); ++i)
        names.push_back(s.GetItemName(i));
    for (int round = 0; round < 20; ++round) {
        s.ClearRTTI();
        ASSERT_EQ(s.Count(), 0);
        s.AddVariable(u"Mine", u"Integer", round); // registers at once, in front of this one
        s.AddRTTI();
        s.Remove(s.FindLocal(u"Mine")).reset();
        ASSERT_EQ(s.Count(), int(names.size()));
        for (int i = 0; i < s.Count(); ++i)
            ASSERT_EQ(s.GetItemName(i), names[size_t(i)]) << round << " " << i;
    }
    // The handlers answer from the last registration's module.
    EXPECT_NEAR(s.FindLocal(u"Pi")->GetValue().AsDouble(), 3.14159265, 1e-6);
}

} // namespace
} // namespace vgl
