// The dialog export filter base: no dialog is shown and nothing is opened after an export.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/rtl/streams.h"
#include "report/export/export_dialog_filter.h"

using namespace vgl;

namespace {

class TTestDialogExport : public TfrxBaseDialogExportFilter {
public:
    using TfrxBaseDialogExportFilter::TfrxBaseDialogExportFilter;
    void ExportObject(TfrxComponent*) override {}
};

} // namespace

TEST(DialogExportFilter, SettingsStandWithoutDialogAndNothingIsOpened) {
    TTestDialogExport filter(nullptr);
    EXPECT_EQ(filter.ExportDialogClass(), u"TfrxBaseExportDialog");
    EXPECT_TRUE(filter.ShowDialog());
    EXPECT_EQ(filter.ShowModal(), mrOk);
    TMemoryStream stream;
    filter.SetStream(&stream);
    EXPECT_EQ(filter.ShowModal(), mrOk);

    // With OpenAfterExport a file export ends without touching the file or its first-page sibling.
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "vgl_dialog_export";
    std::filesystem::create_directories(dir);
    filter.SetStream(nullptr);
    filter.SetOpenAfterExport(true);
    filter.SetFileName(Utf8ToString((dir / "out.bmp").string()));
    EXPECT_NO_THROW(filter.DoFinish());
    EXPECT_FALSE(std::filesystem::exists(dir / "out.bmp"));
    EXPECT_FALSE(std::filesystem::exists(dir / "out.1.bmp"));
    std::filesystem::remove_all(dir);
}

TEST(DialogExportFilter, RegisteredLikeEveryFilter) {
    auto listed = [](TfrxCustomExportFilter* f) {
        for (TfrxCustomExportFilter* item : GetExportFilterCollection().Items())
            if (item == f)
                return true;
        return false;
    };
    {
        TTestDialogExport owned(nullptr);
        EXPECT_TRUE(listed(&owned));
        EXPECT_TRUE(owned.InheritsFrom(&TfrxCustomExportFilter::StaticClassInfo()));
    }
    TTestDialogExport unregistered{TfrxNoRegister{}};
    EXPECT_FALSE(listed(&unregistered));
}
