#include "remoting/core/ro_component.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace vgl {
namespace {

class TTestReader : public TROCustomRODLReader {
public:
    using TROCustomRODLReader::TROCustomRODLReader;
    String Asked;

protected:
    void DoReadRODLResource(TStream&, const String& aServiceGroup) override { Asked = aServiceGroup; }
};

TEST(ROComponentTest, LinksGoBothWaysAndEndWithEitherPartner) {
    auto a = std::make_unique<TROComponent>(nullptr);
    auto b = std::make_unique<TROComponent>(nullptr);
    a->ROFreeNotification(b.get());
    a->ROFreeNotification(b.get());
    EXPECT_EQ(a->ROFreeNotifies(), (std::vector<TComponent*>{b.get()}));
    EXPECT_EQ(b->ROFreeNotifies(), (std::vector<TComponent*>{a.get()}));
    b.reset();
    EXPECT_TRUE(a->ROFreeNotifies().empty());
    EXPECT_FALSE(a->HasROFreeNotifyList());
    a.reset(); // nothing left to tell

    TROComponent c(nullptr), d(nullptr);
    c.ROFreeNotification(&d);
    d.RORemoveFreeNotification(&c);
    EXPECT_FALSE(c.HasROFreeNotifyList());
    EXPECT_FALSE(d.HasROFreeNotifyList());
}

TEST(ROComponentTest, LinkingFromBothSidesOnTwoThreads) {
    TROComponent a(nullptr), b(nullptr);
    auto churn = [](TROComponent& from, TROComponent& to) {
        for (int i = 0; i < 2000; ++i) {
            from.ROFreeNotification(&to);
            from.RORemoveFreeNotification(&to);
        }
    };
    std::thread one(churn, std::ref(a), std::ref(b));
    std::thread two(churn, std::ref(b), std::ref(a));
    one.join();
    two.join();
    a.ROFreeNotification(&b);
    EXPECT_EQ(b.ROFreeNotifies(), (std::vector<TComponent*>{&a}));
}

TEST(ROComponentTest, PlainComponentsHearOfTheEndToo) {
    auto plain = std::make_unique<TComponent>(nullptr);
    {
        TROComponent ro(nullptr);
        ro.ROFreeNotification(plain.get());
        plain.reset();
        EXPECT_TRUE(ro.ROFreeNotifies().empty());
    }
    TComponent other(nullptr);
    {
        TROComponent ro(nullptr);
        ro.ROFreeNotification(&other);
    }
    // `other` was told: freeing it now touches no freed component (the sanitizer build checks).
}

TEST(ROComponentTest, LinkingWithADestroyedComponentFails) {
    TROComponent a(nullptr);
    a.SetName(u"Message");
    TROComponent b(nullptr);
    b.UpdateComponentState(csDestroying, true);
    try {
        a.ROFreeNotification(&b);
        ADD_FAILURE();
    } catch (const EAssertionFailed& e) {
        EXPECT_EQ(e.Message(), u"Component already destroyed: Message");
    }
    EXPECT_TRUE(a.ROFreeNotifies().empty());
}

TEST(ROComponentTest, ReaderJoinsServiceGroups) {
    TTestReader reader(nullptr);
    std::vector<String> events;
    reader.OnBeforeReadRODL = [&](TROCustomRODLReader*, TStream&) { events.push_back(u"before"); };
    reader.OnAfterReadRODL = [&](TROCustomRODLReader*, TStream&) { events.push_back(u"after"); };
    TMemoryStream out;
    struct Case {
        const char16_t* fallback;
        const char16_t* asked;
        const char16_t* passed;
    } cases[] = {{u"main", u"extra", u"extra,main"}, {u"main", u"", u"main"}, {u"", u"extra", u"extra"}};
    for (const Case& c : cases) {
        reader.SetDefaultServiceGroup(c.fallback);
        reader.ReadRODLResource(out, c.asked);
        EXPECT_EQ(reader.Asked, c.passed);
    }
    EXPECT_EQ(events.size(), 6u);

    TTestReader copy(nullptr);
    copy.Assign(&reader);
    EXPECT_EQ(copy.DefaultServiceGroup(), u"");
    reader.SetDefaultServiceGroup(u"main");
    copy.Assign(&reader);
    EXPECT_EQ(copy.DefaultServiceGroup(), u"main");
    EXPECT_TRUE(bool(copy.OnBeforeReadRODL));
    TComponent plain(nullptr);
    copy.Assign(&plain); // never fails
}

TEST(ROComponentTest, InterlockedCounters) {
    std::atomic<std::int32_t> counter{0};
    EXPECT_EQ(InterlockedIncrementInt(counter), 1);
    EXPECT_EQ(InterlockedDecrementInt(counter), 0);
}

} // namespace
} // namespace vgl
