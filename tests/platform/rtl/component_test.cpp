#include <gtest/gtest.h>

#include <vector>

#include "platform/rtl/collection.h"
#include "platform/rtl/component.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"

namespace vgl {
namespace {

/// Records frees and notifications in a shared log; asks for its owner's insert and remove news.
class TTracked : public TComponent {
    VGL_CLASS(TTracked, TComponent)
    TTracked(TComponent* owner, std::vector<String>* log, const char16_t* name) : TComponent(owner), FLog(log) {
        SetName(name);
        RequestInsertRemoveNews();
    }
    explicit TTracked(TComponent* owner) : TComponent(owner) { RequestInsertRemoveNews(); }
    ~TTracked() override {
        if (FLog)
            FLog->push_back(u"free " + Name());
    }
    void Notification(TComponent* component, TOperation operation) override {
        TComponent::Notification(component, operation);
        if (FLog)
            FLog->push_back(Name() + (operation == opInsert ? u" insert " : u" remove ") + component->Name());
        if (operation == opRemove && component == FPartner)
            FPartner = nullptr;
    }
    std::vector<String>* FLog = nullptr;
    TComponent* FPartner = nullptr;
};
VGL_DEFINE_CLASS(TTracked) {}

TEST(Component, OwnerFreesOwnedComponentsOnceLastFirst) {
    std::vector<String> log;
    {
        auto root = std::make_unique<TTracked>(nullptr, &log, u"Root");
        auto* a = new TTracked(root.get(), &log, u"A");
        new TTracked(root.get(), &log, u"B");
        new TTracked(a, &log, u"A1");
        EXPECT_EQ(root->ComponentCount(), 2);
        EXPECT_EQ(a->ComponentIndex(), 0);
        log.clear();
    }
    std::vector<String> expected = {u"free Root", u"free B", u"free A", u"free A1"};
    EXPECT_EQ(log, expected);
}

TEST(Component, FreeingAnOwnedComponentLeavesItsOwner) {
    std::vector<String> log;
    TTracked root(nullptr, &log, u"Root");
    auto* a = new TTracked(&root, &log, u"A");
    new TTracked(&root, &log, u"B");
    log.clear();
    delete a;
    EXPECT_EQ(root.ComponentCount(), 1);
    EXPECT_EQ(root.FindComponent(u"a"), nullptr);
    // The owner and its other children hear about the removal.
    std::vector<String> expected = {u"free A", u"B remove A", u"Root remove A"};
    EXPECT_EQ(log, expected);
    EXPECT_THROW(root.Components(1), EListError);
}

/// Frees a sibling when it hears of an insertion.
class TSiblingFreer : public TTracked {
public:
    using TTracked::TTracked;
    void Notification(TComponent* component, TOperation operation) override {
        TTracked::Notification(component, operation);
        if (operation == opInsert && FVictim) {
            TComponent* victim = FVictim;
            FVictim = nullptr;
            delete victim;
        }
    }
    TComponent* FVictim = nullptr;
};

TEST(Component, ChildFreedWhileSiblingsAreToldIsSkipped) {
    // Children are told last first; C frees A before A's turn, so A is never reached (it is
    // gone), and the news still reaches every survivor once, the owner last.
    std::vector<String> log;
    TTracked root(nullptr, &log, u"Root");
    auto* a = new TTracked(&root, &log, u"A");
    new TTracked(&root, &log, u"B");
    auto* c = new TSiblingFreer(&root, &log, u"C");
    c->FVictim = a;
    log.clear();
    new TTracked(&root, &log, u"");
    std::vector<String> expected = {u"C insert ",     u"free A",    u"C remove A",  u"B remove A",
                                    u"Root remove A", u"B insert ", u"Root insert "};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(root.ComponentCount(), 3);
}

TEST(Component, NewsGoOnlyToComponentsThatAsked) {
    std::vector<String> log;
    TTracked root(nullptr, &log, u"Root");
    auto* quiet = new TComponent(&root);
    auto* deep = new TTracked(new TComponent(quiet), &log, u"Deep"); // asks two levels down
    auto* plain = new TComponent(&root);
    log.clear();
    auto* x = new TTracked(&root, &log, u"");
    x->SetName(u"X");
    delete x;
    // Deep hears through its owners although they did not ask.
    std::vector<String> expected = {u"Deep insert ", u"Root insert ", u"free X", u"Deep remove X", u"Root remove X"};
    EXPECT_EQ(log, expected);

    // No insert news while the owner loads, and none at all while it is destroyed.
    root.UpdateComponentState(csLoading, true);
    log.clear();
    new TComponent(&root);
    EXPECT_EQ(log, std::vector<String>{u"Root insert "});
    root.UpdateComponentState(csLoading, false);
    // A component that stops asking (and owns no one who asks) leaves its owner's list.
    deep->RequestInsertRemoveNews(false);
    log.clear();
    delete plain;
    EXPECT_EQ(log, std::vector<String>{u"Root remove "});
}

TEST(Component, NamesAndPositionsAreIndexed) {
    TComponent owner(nullptr);
    std::vector<TComponent*> children;
    for (int i = 0; i < 5; ++i) {
        children.push_back(new TComponent(&owner));
        children.back()->SetName(u"C" + IntToStr(i));
    }
    delete children[1]; // from the middle: later positions move up
    for (int i = 0; i < owner.ComponentCount(); ++i)
        EXPECT_EQ(owner.Components(i)->ComponentIndex(), i);
    EXPECT_EQ(children[4]->ComponentIndex(), 3);
    EXPECT_EQ(owner.FindComponent(u"c1"), nullptr);
    EXPECT_EQ(owner.FindComponent(u"C3"), children[3]);
    children[3]->SetName(u"Renamed");
    EXPECT_EQ(owner.FindComponent(u"c3"), nullptr);
    EXPECT_EQ(owner.FindComponent(u"RENAMED"), children[3]);
    TComponent other(nullptr);
    other.InsertComponent(children[3]); // moves with its name
    EXPECT_EQ(owner.FindComponent(u"Renamed"), nullptr);
    EXPECT_EQ(other.FindComponent(u"renamed"), children[3]);
    EXPECT_EQ(children[3]->ComponentIndex(), 0);
    EXPECT_EQ(children[4]->ComponentIndex(), 2);
    auto* reuse = new TComponent(&owner);
    reuse->SetName(u"Renamed"); // the name is free again in the first owner
    EXPECT_EQ(owner.FindComponent(u"renamed"), reuse);

    // Many names, every other one freed (the index grows and closes its gaps).
    TComponent many(nullptr);
    std::vector<TComponent*> made;
    for (int i = 0; i < 500; ++i) {
        made.push_back(new TComponent(&many));
        made.back()->SetName(u"N" + IntToStr(i));
    }
    for (int i = 0; i < 500; i += 2)
        delete made[size_t(i)];
    for (int i = 0; i < 500; ++i)
        EXPECT_EQ(many.FindComponent(u"n" + IntToStr(i)), i % 2 ? made[size_t(i)] : nullptr) << i;
}

TEST(Component, FreeNotificationReachesPartnersBothWays) {
    std::vector<String> log;
    auto x = std::make_unique<TTracked>(nullptr, &log, u"X");
    auto y = std::make_unique<TTracked>(nullptr, &log, u"Y");
    auto z = std::make_unique<TTracked>(nullptr, &log, u"Z");
    x->FPartner = y.get();
    x->FreeNotification(y.get());
    x->FreeNotification(y.get()); // a second link changes nothing
    z->FPartner = y.get();
    z->FreeNotification(y.get());
    z->RemoveFreeNotification(y.get());
    log.clear();
    y.reset();
    EXPECT_EQ(x->FPartner, nullptr);
    EXPECT_NE(z->FPartner, nullptr); // unlinked before: not told
    std::vector<String> expected = {u"free Y", u"X remove Y"};
    EXPECT_EQ(log, expected);
    // The link went both ways and is gone: freeing X tells nobody.
    log.clear();
    x.reset();
    EXPECT_EQ(log, std::vector<String>{u"free X"});
}

TEST(Component, NamesAreIdentifiersUniqueWithinTheOwner) {
    TComponent owner(nullptr);
    auto* a = new TComponent(&owner);
    auto* b = new TComponent(&owner);
    a->SetName(u"Memo1");
    struct Case {
        const char16_t* name;
        const char* message; // null: accepted
    };
    const Case cases[] = {
        {u"1abc", "'1abc' is not a valid component name"},
        {u"a b", "'a b' is not a valid component name"},
        {u"memo1", "A component named memo1 already exists"},
        {u"_x9", nullptr},
        {u"", nullptr},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(StringToUtf8(k.name));
        String before = b->Name();
        try {
            b->SetName(k.name);
            EXPECT_EQ(k.message, nullptr);
            EXPECT_EQ(b->Name(), k.name);
        } catch (const EComponentError& e) {
            ASSERT_NE(k.message, nullptr);
            EXPECT_STREQ(e.what(), k.message);
            EXPECT_EQ(b->Name(), before);
        }
    }
    a->SetName(u"MEMO1"); // a case change of its own name
    EXPECT_EQ(owner.FindComponent(u"memo1"), a);
    EXPECT_EQ(owner.FindComponent(u""), nullptr);
    // Taking over a component whose name a child already has is refused, leaving both as they were.
    TComponent other(nullptr);
    auto* twin = new TComponent(&other);
    twin->SetName(u"Memo1");
    EXPECT_THROW(owner.InsertComponent(twin), EComponentError);
    EXPECT_EQ(twin->Owner(), &other);
    EXPECT_THROW(a->InsertComponent(&owner), EComponentError); // no cycles
}

TEST(Component, StateLoadedAndDesigning) {
    TComponent owner(nullptr);
    auto* child = new TComponent(&owner);
    owner.UpdateComponentState(csLoading, true);
    EXPECT_TRUE(owner.ComponentState().Contains(csLoading));
    owner.Loaded();
    EXPECT_FALSE(owner.ComponentState().Contains(csLoading));
    owner.SetDesigning(true);
    EXPECT_TRUE(child->ComponentState().Contains(csDesigning));
}

class TPoint2 : public TPersistent {
    VGL_CLASS(TPoint2, TPersistent)
    int X = 0;
    void Assign(const TPersistent* source) override {
        if (auto* p = dynamic_cast<const TPoint2*>(source))
            X = p->X;
        else
            TPersistent::Assign(source);
    }
};
VGL_DEFINE_CLASS(TPoint2) {}

TEST(Persistent, AssignCopiesOrRaisesCannotAssign) {
    TPoint2 a, b;
    b.X = 5;
    a.Assign(&b);
    EXPECT_EQ(a.X, 5);
    TComponent c(nullptr);
    struct Case {
        const TPersistent* source;
        const char* message;
    };
    const Case cases[] = {{&c, "Cannot assign a TComponent to a TPoint2."},
                          {nullptr, "Cannot assign a nil to a TPoint2."}};
    for (const Case& k : cases) {
        try {
            a.Assign(k.source);
            ADD_FAILURE();
        } catch (const EConvertError& e) {
            EXPECT_STREQ(e.what(), k.message);
        }
    }
    EXPECT_EQ(a.X, 5);
}

class TColumn : public TCollectionItem {
    VGL_CLASS(TColumn, TCollectionItem)
    explicit TColumn(TCollection* collection) : TCollectionItem(collection) {}
    String FTitle;
    void Assign(const TPersistent* source) override {
        if (auto* c = dynamic_cast<const TColumn*>(source))
            FTitle = c->FTitle;
        else
            TCollectionItem::Assign(source);
    }
    void Touch() { Changed(false); }
};
VGL_DEFINE_CLASS(TColumn) {
    b.Property(u"Title", &TColumn::FTitle);
}

class TColumns : public TOwnedCollection {
public:
    using TOwnedCollection::TOwnedCollection;
    std::vector<String> Log;

protected:
    void Update(TCollectionItem* item) override {
        Log.push_back(item ? u"update " + static_cast<TColumn*>(item)->FTitle : u"update all");
    }
    void Notify(TCollectionItem* item, TCollectionNotification action) override {
        static const char16_t* names[] = {u"added", u"extracting", u"deleting"};
        Log.push_back(String(names[action]) + u" " + IntToStr(item->ID()));
    }
};

TEST(Collection, ItemsIdsAndUpdateNotifications) {
    TComponent owner(nullptr);
    TColumns cols(&owner, &TColumn::StaticClassInfo());
    EXPECT_EQ(cols.GetOwner(), &owner);
    auto* a = static_cast<TColumn*>(cols.Add());
    a->FTitle = u"a";
    auto* b = static_cast<TColumn*>(cols.Insert(0));
    b->FTitle = u"b";
    EXPECT_EQ(b->Index(), 0);
    EXPECT_EQ(a->ID(), 0);
    EXPECT_EQ(b->ID(), 1);
    EXPECT_EQ(b->Collection(), &cols);
    EXPECT_EQ(b->GetOwner(), &cols);
    cols.Log.clear();

    a->Touch();
    cols.BeginUpdate();
    a->Touch();
    cols.Delete(0);
    cols.EndUpdate();
    std::vector<String> expected = {u"update a", u"deleting 1", u"extracting 1", u"update all"};
    EXPECT_EQ(cols.Log, expected);
    EXPECT_EQ(cols.Count(), 1);
    auto* c = cols.Add();
    EXPECT_EQ(c->ID(), 2); // IDs are never reused
    EXPECT_EQ(cols.FindItemID(2), c);
    EXPECT_EQ(cols.FindItemID(1), nullptr);
    EXPECT_THROW(cols.Items(2), EListError);
    EXPECT_THROW(cols.Insert(5), EListError);

    delete a; // an item freed on its own leaves the collection
    EXPECT_EQ(cols.Count(), 1);
    EXPECT_EQ(cols.Items(0), c);

    TCollection copy(&TColumn::StaticClassInfo());
    static_cast<TColumn*>(c)->FTitle = u"c";
    copy.Add();
    copy.Assign(&cols);
    ASSERT_EQ(copy.Count(), 1);
    EXPECT_EQ(static_cast<TColumn*>(copy.Items(0))->FTitle, u"c");
    EXPECT_THROW(TCollection(&TColumn::StaticClassInfo()).Assign(&owner), EConvertError);
}

TEST(Collection, RefusesItemsOfAnotherClass) {
    TCollection cols(&TColumn::StaticClassInfo());
    TCollectionItem plain(nullptr);
    EXPECT_THROW(plain.SetCollection(&cols), EListError);
    EXPECT_EQ(cols.Count(), 0);
    EXPECT_THROW(TCollection(&TComponent::StaticClassInfo()), EInvalidOperation);
}

} // namespace
} // namespace vgl
