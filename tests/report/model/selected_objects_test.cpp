#include "report/model/selected_objects.h"

#include <gtest/gtest.h>

#include "platform/graphics/font.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/scope_guard.h"
#include "report/model/page_base.h"
#include "report/model/report_component.h"
#include "tests/report/model/model_test_support.h"

#include "platform/rtl/string_list.h"

namespace vgl {
namespace {

class TSelectable : public TfrxReportComponent {
public:
    using TfrxReportComponent::TfrxReportComponent;
    void Draw(TCanvas&, long double, long double, long double, long double) override {}
};

TEST(SelectedObjects, OnlyReportComponentsStaySelected) {
    TSelectable a(nullptr), b(nullptr);
    TfrxPage page(nullptr); // a component, but no report component
    TFont font;             // persistent, no component
    TObject plain;
    TfrxSelectedObjectsList list;

    EXPECT_EQ(list.Add(&a), 0);
    EXPECT_TRUE(list.Updated());
    list.SetUpdated(false);
    EXPECT_EQ(list.Add(&page), -1);
    EXPECT_EQ(list.Add(&font), -1);
    EXPECT_EQ(list.Add(&plain), -1);
    EXPECT_EQ(list.Add(&b), 1);
    EXPECT_EQ(list.Add(&a), 0); // already selected
    EXPECT_TRUE(list.Updated());
    EXPECT_EQ(list.Count(), 2);
    EXPECT_FALSE(list.IsSelected(&page));
    // The inspector shows every persistent object added, once.
    EXPECT_EQ(list.InspSelectedObjects(), (std::vector<TObject*>{&a, &page, &font, &b}));

    // Unselecting takes the object out of the inspector list; the last one empties it.
    list.SetUpdated(false);
    EXPECT_EQ(list.Remove(&a), 0);
    EXPECT_TRUE(list.Updated());
    EXPECT_EQ(list.InspSelectedObjects(), (std::vector<TObject*>{&page, &font, &b}));
    EXPECT_EQ(list.Remove(&a), -1);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.InspSelectedObjects().empty());
    EXPECT_THROW(list.Delete(0), EListError);

    list.Add(&a);
    list.Add(&b);
    list.ClearInspectorList();
    EXPECT_TRUE(list.InspSelectedObjects().empty());
    EXPECT_EQ(list.Count(), 2);
    list.Add(&font);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_TRUE(list.InspSelectedObjects().empty());
}

TEST(PageBase, AcceptsChildrenAndStoresItsGuides) {
    TfrxPage page(nullptr);
    EXPECT_TRUE(page.IsAcceptControls());
    EXPECT_FALSE(page.IsSupportsGuidlines());
    EXPECT_EQ(page.Page(), &page);
    page.HGuides()->Add(u"10");
    page.HGuides()->Add(u"20.5");
    page.VGuides()->Add(u"7");

    const std::string saved = test::Saved(page);
    EXPECT_EQ(saved.substr(saved.find("<TfrxPage")),
              "<TfrxPage HGuides.Text=\"10&#13;&#10;20.5\" VGuides.Text=\"7\"/>\r\n");
    EXPECT_EQ(test::XmlLint(saved), "");
    // The reader finds the root's class by name; the base page is registered for the read only.
    const bool registered = GetClass(u"TfrxPage") != nullptr;
    if (!registered)
        RegisterClass(&TfrxPage::StaticClassInfo());
    const TScopeExit unregister([registered] {
        if (!registered)
            UnRegisterClass(&TfrxPage::StaticClassInfo());
    });
    TMemoryStream stream;
    stream.WriteBuffer(saved.data(), std::int64_t(saved.size()));
    stream.SetPosition(0);
    TfrxPage loaded(nullptr);
    loaded.LoadFromStream(stream);
    EXPECT_EQ(loaded.HGuides()->Text(), u"10\r\n20.5\r\n");
    EXPECT_EQ(loaded.VGuides()->Text(), u"7\r\n");

    loaded.SetHGuides(nullptr);
    EXPECT_EQ(loaded.HGuides()->Count(), 0);
    loaded.SetVGuides(page.HGuides());
    EXPECT_EQ(loaded.VGuides()->Count(), 2);
}

} // namespace
} // namespace vgl
