#include "report/model/report_services.h"

#include <gtest/gtest.h>

#include "report/foundation/picture_cache_options.h"
#include "report/model/report_component.h"

namespace vgl {
namespace {

// Stand-ins of the services, driven through their bases as the report will drive them.
class TTestExportFilter : public TfrxCustomExportFilter {
public:
    using TfrxCustomExportFilter::TfrxCustomExportFilter;
    void ExportObject(TfrxComponent* obj) override { Exported.push_back(obj); }
    std::vector<TfrxComponent*> Exported;
};

class TTestCommand : public TfrxBaseDelayedCommand {
public:
    void Run() override { ++Runs; }
    int Runs = 0;
};

class TTestOutline : public TfrxCustomOutline {
public:
    using TfrxCustomOutline::TfrxCustomOutline;
    int Count() const override { return int(Items.size()); }
    void AddItem(const String& text, int) override { Items.push_back(text); }
    void DeleteItems(TfrxXMLItem*) override { Items.clear(); }
    void LevelDown(int) override {}
    void LevelRoot() override {}
    void LevelUp() override {}
    void GetItem(int index, String& text, int& page, int& top) override {
        text = Items.at(std::size_t(index));
        page = 0;
        top = index * 10;
    }
    void ShiftItems(TfrxXMLItem*, int) override {}
    TfrxXMLItem* GetCurPosition() override { return nullptr; }
    std::vector<String> Items;
};

TEST(ReportServices, StandInsAreDrivenThroughTheirBases) {
    TTestExportFilter filter(nullptr);
    TfrxCustomExportFilter& base = filter;
    base.ExportObject(nullptr);
    EXPECT_EQ(filter.Exported.size(), 1u);

    auto command = std::make_shared<TTestCommand>();
    std::shared_ptr<IfrxDelayedCommand> queued = command;
    queued->Run();
    EXPECT_EQ(command->Runs, 1);
    EXPECT_EQ(queued->GetName(), u"TfrxBaseDelayedCommand");
    EXPECT_EQ(queued->GetInstance(), command.get());

    TTestOutline outline(nullptr);
    TfrxCustomOutline& o = outline;
    o.AddItem(u"Chapter", 0);
    String text;
    int page = -1, top = -1;
    o.GetItem(0, text, page, top);
    EXPECT_EQ(o.Count(), 1);
    EXPECT_EQ(text, u"Chapter");
    EXPECT_EQ(o.PreviewPages(), nullptr);
}

} // namespace
} // namespace vgl
