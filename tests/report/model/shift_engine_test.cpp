#include "report/model/shift_engine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>

#include "report/model/bands.h"
#include "report/model/shape_view.h"

namespace vgl {
namespace {

struct TObj {
    const char* Name;
    long double Left, Top, Width, Height;
    TfrxShiftMode Mode;
    long double Growth; // height change of this stretch
};

struct TShiftCase {
    const char* Name;
    TfrxShiftEngine Kind;
    long double BandWidth;
    std::vector<TObj> Objects;
    std::map<std::string, long double> Tops; // after the shift
};

// A band with shape views, owned by the band.
struct TBandFixture {
    explicit TBandFixture(TfrxShiftEngine kind, long double width, const std::vector<TObj>& objects) {
        Band = std::make_unique<TfrxNullBand>(nullptr);
        Band->ShiftEngine = kind;
        Band->SetBounds(0, 0, width, 200);
        for (const TObj& o : objects) {
            auto* view = new TfrxShapeView(Band.get());
            view->SetParent(Band.get());
            view->SetName(String(o.Name, o.Name + std::strlen(o.Name)));
            view->SetBounds(o.Left, o.Top, o.Width, o.Height);
            view->SetShiftMode(o.Mode);
            Views[o.Name] = view;
        }
    }
    // What the engine's stretch does: the objects take their new heights, the growths are
    // recorded and the objects below move.
    void Stretch(TfrxShiftEngineObject& engine, const std::vector<TObj>& objects) {
        engine.PrepareShiftTree(Band.get());
        for (const TObj& o : objects) {
            if (!Views.count(o.Name))
                continue;
            TfrxView* view = Views[o.Name];
            view->SetHeight(view->Height() + o.Growth);
            engine.InitShiftAmount(view, o.Growth);
        }
        engine.ShiftObjects(Band.get());
    }
    std::unique_ptr<TfrxNullBand> Band;
    std::map<std::string, TfrxView*> Views;
};

TEST(ShiftEngineTest, ObjectsBelowMoveByTheirShiftMode) {
    const std::vector<TShiftCase> cases = {
        {"linear: growing by 20 moves what is below; beside (when overlapped) and don't-shift stay",
         seLinear,
         300,
         {{"M", 0, 0, 100, 20, smAlways, 20},
          {"Below", 0, 30, 100, 10, smAlways, 0},
          {"Beside", 150, 30, 50, 10, smWhenOverlapped, 0},
          {"Fixed", 0, 50, 40, 10, smDontShift, 0},
          {"BelowOverlapped", 50, 70, 100, 10, smWhenOverlapped, 0}},
         {{"M", 0}, {"Below", 50}, {"Beside", 30}, {"Fixed", 50}, {"BelowOverlapped", 90}}},
        {"linear: side by side growing by 10 and 30 move what is below both by 30",
         seLinear,
         300,
         {{"L", 0, 0, 50, 20, smAlways, 10}, {"R", 60, 0, 50, 20, smAlways, 30}, {"X", 0, 40, 110, 10, smAlways, 0}},
         {{"X", 70}}},
        {"tree: the same with two parents",
         seTree,
         300,
         {{"L", 0, 0, 50, 20, smAlways, 10}, {"R", 60, 0, 50, 20, smAlways, 30}, {"X", 0, 40, 110, 10, smAlways, 0}},
         {{"X", 70}}},
        // The bands of these cases lie at the page top and the first objects at the band's top: the
        // tree's root still lies above them, so their growth moves what is below.
        {"tree: below the gap between two columns an object moves only with its own column",
         seTree,
         300,
         {{"L1", 0, 0, 40, 20, smAlways, 20},
          {"L2", 0, 30, 40, 10, smAlways, 0},
          {"R1", 60, 0, 40, 20, smAlways, 0},
          {"R2", 60, 30, 40, 10, smAlways, 0},
          {"UnderL", 30, 50, 20, 10, smAlways, 0},
          {"UnderR", 55, 50, 30, 10, smAlways, 0}},
         {{"L2", 50}, {"R2", 30}, {"UnderL", 70}, {"UnderR", 50}}},
        {"tree: shrinking by 10 moves what is below up by 10 whatever its shift mode",
         seTree,
         300,
         {{"M", 0, 0, 100, 30, smAlways, -10},
          {"A", 0, 40, 100, 10, smDontShift, 0},
          {"B", 0, 60, 100, 10, smWhenOverlapped, 0}},
         {{"A", 30}, {"B", 50}}},
        {"tree: an overlapped object is pushed below a grown one, a don't-shift object stays",
         seTree,
         300,
         {{"M", 0, 0, 100, 20, smAlways, 30},
          {"A", 0, 30, 100, 10, smWhenOverlapped, 0},
          {"B", 0, 30, 100, 10, smDontShift, 0}},
         {{"A", 50}, {"B", 30}}},
        {"band that does not shift",
         seDontShift,
         300,
         {{"M", 0, 0, 100, 20, smAlways, 20}, {"Below", 0, 30, 100, 10, smAlways, 0}},
         {{"Below", 30}}},
        {"zero width: an empty structure",
         seTree,
         0,
         {{"M", 0, 0, 100, 20, smAlways, 20}, {"Below", 0, 30, 100, 10, smAlways, 0}},
         {{"Below", 30}}},
    };
    for (const TShiftCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TfrxShiftEngineObject engine;
        TBandFixture fixture(c.Kind, c.BandWidth, c.Objects);
        fixture.Stretch(engine, c.Objects);
        for (const auto& [name, top] : c.Tops)
            EXPECT_NEAR((double)fixture.Views[name]->Top(), (double)top, 1e-6) << name;
        EXPECT_EQ(fixture.Band->ShiftObject() != nullptr, c.Kind != seDontShift);
    }
}

// A container that is not a band always gets a tree, and only a grown object pushes an
// overlapped one: the container itself never does (its bottom is not in its children's
// coordinates).
TEST(ShiftEngineTest, AContainerThatIsNotABandGetsATree) {
    TfrxShiftEngineObject engine;
    TfrxShapeView container(nullptr);
    container.SetBounds(0, 100, 300, 200);
    auto* memo = new TfrxShapeView(&container);
    memo->SetParent(&container);
    memo->SetBounds(0, 0, 100, 20);
    auto* overlapped = new TfrxShapeView(&container);
    overlapped->SetParent(&container);
    overlapped->SetBounds(0, 30, 100, 10);
    overlapped->SetShiftMode(smWhenOverlapped);
    auto* top = new TfrxShapeView(&container);
    top->SetParent(&container);
    top->SetBounds(150, 5, 100, 10);
    top->SetShiftMode(smWhenOverlapped);
    engine.PrepareShiftTree(&container);
    ASSERT_NE(dynamic_cast<TfrxShiftRootItem*>(container.ShiftObject()), nullptr);
    memo->SetHeight(45);
    engine.InitShiftAmount(memo, 25);
    engine.InitShiftAmount(overlapped, 0);
    engine.InitShiftAmount(top, 0);
    engine.ShiftObjects(&container);
    EXPECT_NEAR((double)overlapped->Top(), 45, 1e-6); // pushed just below the grown memo
    EXPECT_NEAR((double)top->Top(), 5, 1e-6);         // under the container only: stays
    engine.Clear();
}

TEST(ShiftEngineTest, StructuresLastTheRunAndAreClearedWithIt) {
    TfrxShiftEngineObject engine;
    const std::vector<TObj> objects = {{"M", 0, 0, 100, 20, smAlways, 10}, {"Below", 0, 30, 100, 10, smAlways, 0}};
    TBandFixture fixture(seTree, 300, objects);
    fixture.Stretch(engine, objects);
    IfrxShiftObject* tree = fixture.Band->ShiftObject();
    fixture.Stretch(engine, objects); // the same tree again; the amounts start afresh
    EXPECT_EQ(fixture.Band->ShiftObject(), tree);
    EXPECT_NEAR((double)fixture.Views["Below"]->Top(), 50, 1e-6);
    EXPECT_EQ(engine.ContainerCount(), 1);
    engine.ClearContainer(fixture.Band.get());
    EXPECT_EQ(fixture.Band->ShiftObject(), nullptr);
    EXPECT_EQ(fixture.Views["M"]->ShiftObject(), nullptr);
    fixture.Stretch(engine, objects);
    engine.Clear();
    EXPECT_EQ(engine.ContainerCount(), 0);
    for (auto& [name, view] : fixture.Views)
        EXPECT_EQ(view->ShiftObject(), nullptr) << name;
}

// Objects freed while the engine holds their nodes: a freed view is passed over, a freed band's
// structure waits in the destroy queue (the address sanitizer checks that nothing freed is
// touched).
TEST(ShiftEngineTest, FreedObjectsAndContainersArePassedOver) {
    for (TfrxShiftEngine kind : {seTree, seLinear}) {
        TfrxShiftEngineObject engine;
        const std::vector<TObj> objects = {{"M", 0, 0, 100, 20, smAlways, 10},
                                           {"Middle", 0, 30, 100, 10, smAlways, 0},
                                           {"Last", 0, 50, 100, 10, smAlways, 0}};
        TBandFixture fixture(kind, 300, objects);
        fixture.Stretch(engine, objects);
        delete fixture.Views["Middle"]; // the component framework unlists it from the band
        fixture.Views.erase("Middle");
        fixture.Stretch(engine, objects);
        EXPECT_NEAR((double)fixture.Views["Last"]->Top(), kind == seLinear ? 70 : 60, 1e-6);

        fixture.Band.reset();
        EXPECT_EQ(engine.DestroyQueueCount(), 1);
        EXPECT_EQ(engine.ContainerCount(), 1); // the entry stays, as none
        TBandFixture other(kind, 300, objects);
        other.Stretch(engine, objects); // empties the queue first
        EXPECT_EQ(engine.DestroyQueueCount(), 0);
        EXPECT_NEAR((double)other.Views["Last"]->Top(), 60, 1e-6);
    }
}

TEST(ShiftEngineTest, NodesListedBySeveralParentsAreFreedWithTheLast) {
    auto root = std::make_unique<TfrxShiftItem>();
    auto* a = new TfrxShiftItem();
    auto* b = new TfrxShiftItem();
    auto* c = new TfrxShiftItem();
    root->AddExist(a);
    root->AddExist(b);
    a->AddExist(c);
    b->AddExist(c);
    EXPECT_EQ(c->RefCount(), 2);
    a->DeleteClildren(c); // unlisted from a, kept for b
    EXPECT_EQ(c->RefCount(), 1);
    EXPECT_EQ(a->Count(), 0);
    a->DeleteClildren(c); // not listed: nothing
    a->AddExist(c);
    auto unlisted = b->Add(nullptr);
    EXPECT_EQ(unlisted->RefCount(), 1);
    EXPECT_EQ(b->Count(), 1);
    root.reset(); // frees a, b and c once each
}

} // namespace
} // namespace vgl
