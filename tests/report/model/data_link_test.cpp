#include "report/model/data_link.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "platform/rtl/streams.h"
#include "report/foundation/initialization.h"
#include "report/model/picture_view.h"

namespace vgl {
namespace {

TEST(DataLink, LinkForEachLoadMethod) {
    TfrxDataLink link;
    link.SetLink(u"file://logo.png");
    EXPECT_EQ(TfrxDataLink::GetLink(&link, dlmOnGetData), u"file://logo.png");
    EXPECT_EQ(TfrxDataLink::GetLink(&link, dlmGetLink), u"file://logo.png");
    EXPECT_EQ(TfrxDataLink::GetLink(&link, dlmOnLoading), u"");
    EXPECT_EQ(TfrxDataLink::GetLink(nullptr, dlmGetLink), u"");
    link.SetLoadingType({dltOnPreview});
    EXPECT_EQ(TfrxDataLink::GetLink(&link, dlmOnLoading), u"file://logo.png");
    EXPECT_EQ(TfrxDataLink::GetLink(&link, dlmOnGetData), u"");
}

TEST(DataLink, ExpressionStateAroundFilling) {
    TfrxDataLink literal;
    literal.SetLink(u"a");
    TfrxDataLink::SaveState(&literal);
    literal.SetLink(u"b");
    TfrxDataLink::RestoreState(&literal);
    EXPECT_EQ(literal.Link(), u"b"); // a literal link is left alone

    TfrxDataLink expression;
    expression.SetProcessingType(dpExpression);
    expression.SetLink(u"<Path>");
    EXPECT_TRUE(TfrxDataLink::IsExpressionLink(&expression));
    TfrxDataLink::SaveState(&expression);
    expression.SetLink(u"file://x.png");
    TfrxDataLink::RestoreState(&expression);
    EXPECT_EQ(expression.Link(), u"<Path>");
}

TEST(DataLink, StoredAndDiff) {
    TfrxDataLink a, b;
    EXPECT_FALSE(TfrxDataLink::IsDataLinkStored(&a, {}));
    a.SetLink(u"x&y");
    EXPECT_TRUE(TfrxDataLink::IsDataLinkStored(&a, {}));
    EXPECT_FALSE(TfrxDataLink::IsDataLinkStored(&a, TfrxComponentState{csFrxSerializeToDict}));
    EXPECT_EQ(a.Diff(u"DataLink", &b), u""); // not loaded at preview
    a.SetLoadingType({dltOnGetData, dltOnPreview});
    EXPECT_TRUE(TfrxDataLink::IsDataLinkStored(&a, TfrxComponentState{csFrxSerializeToDict}));
    EXPECT_EQ(a.Diff(u"DataLink", &b), u" DataLink.Link=\"x&#38;y\" DataLink.LoadingType=\"3\"");
    b.SetLink(u"x&y");
    EXPECT_EQ(a.Diff(u"DataLink", &b), u"");
    TfrxDataLink c;
    c.Assign(&a);
    EXPECT_EQ(c.Link(), u"x&y");
    EXPECT_EQ(c.LoadingType(), (TfrxDataLinkLoading{dltOnGetData, dltOnPreview}));
}

TEST(DataLink, PictureViewAnswersTheLinkQueries) {
    InitializeReportFoundation();
    TfrxPictureView view(nullptr);
    IfrxDataLinkObject& object = view;
    EXPECT_EQ(object.GetLink(dlmOnGetData), u"");
    view.DataLink()->SetLink(u"<Logo>");
    view.DataLink()->SetProcessingType(dpExpression);
    EXPECT_EQ(object.GetLink(dlmOnGetData), u"<Logo>");
    EXPECT_TRUE(object.IsExpressionLink());
    std::ifstream in(VGL_TEST_DATA_DIR "/view_fixture_1.png", std::ios::binary);
    const std::string png{std::istreambuf_iterator<char>(in), {}};
    TMemoryStream stream;
    stream.WriteBuffer(png.data(), std::int64_t(png.size()));
    EXPECT_TRUE(object.LoadDataFromStream(stream, u"<Logo>"));
    EXPECT_EQ(view.GraphicWidth(), 400);
    TMemoryStream junk;
    junk.WriteBuffer("junk", 4);
    EXPECT_FALSE(object.LoadDataFromStream(junk, u"<Logo>"));
    EXPECT_TRUE(view.IsEmpty());
}

} // namespace
} // namespace vgl
