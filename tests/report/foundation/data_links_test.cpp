#include "report/foundation/data_links.h"

#include <gtest/gtest.h>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"

namespace vgl {
namespace {

// Writes its name and the link into the stream; fails for links containing "fail", raises for
// links containing "raise".
class TEchoProtocol : public TfrxCustomDatalinkProtocol {
public:
    explicit TEchoProtocol(std::string name) : FName(std::move(name)) {}
    String ClassName() const override { return u"TEchoProtocol"; }
    bool LoadBy(String& link, TStream& stream, TObject* data) const override {
        if (link.find(u"raise") != String::npos)
            throw EInOutError(u"unreachable");
        const std::string text = FName + ":" + StringToUtf8(link) + (data ? "+data" : "");
        stream.WriteBuffer(text.data(), std::int64_t(text.size()));
        return link.find(u"fail") == String::npos;
    }

private:
    std::string FName;
};

struct TTarget : IfrxDataLinkObject {
    bool LoadDataFromStream(TStream& stream, const String& link) override {
        Content.resize(size_t(stream.GetSize() - stream.GetPosition()));
        stream.ReadBuffer(Content.data(), std::int64_t(Content.size()));
        Link = link;
        return Accept;
    }
    std::string Content;
    String Link;
    bool Accept = true;
};

TEST(DataLinks, NothingRegisteredAnswersFalse) {
    TfrxDataLinkProtocols& registry = frxDataLinkProtocolsInstance();
    EXPECT_EQ(registry.Count(), 0);
    TTarget target;
    EXPECT_FALSE(registry.LoadToObject(u"img://pictures/logo", &target));
    EXPECT_EQ(target.Content, "");
    EXPECT_EQ(target.Link, u"");
}

TEST(DataLinks, TheSchemeChoosesTheFirstProtocolOfItsName) {
    struct Case {
        const char16_t* link;
        const char16_t* scheme;
    };
    const Case schemes[] = {{u"file://a/b", u"file"}, {u"FILE://x", u"FILE"}, {u"plain", u""},
                            {u"a://b://c", u"a"},     {u"://x", u""},         {u"http:/x", u""}};
    for (const Case& c : schemes)
        EXPECT_EQ(TfrxDataLinkProtocols::SchemeOf(c.link), c.scheme) << StringToUtf8(c.link);

    TfrxDataLinkProtocols registry;
    TObject bound;
    registry.Register(nullptr, u"none");
    registry.Register(std::make_shared<TEchoProtocol>("first"), u"FILE", &bound);
    registry.Register(std::make_shared<TEchoProtocol>("second"), u"file");
    registry.Register(std::make_shared<TEchoProtocol>("empty"), u"");
    EXPECT_EQ(registry.Count(), 3);
    EXPECT_EQ(registry.GetProtocolItem(u"file://x")->Data, &bound);
    EXPECT_EQ(registry.GetProtocolItem(u"no-scheme")->ProtocolName, u"");
    EXPECT_EQ(registry.GetProtocol(u"http://x"), nullptr);

    TTarget target;
    EXPECT_TRUE(registry.LoadToObject(u"File://doc.txt", &target));
    EXPECT_EQ(target.Content, "first:File://doc.txt+data");
    EXPECT_EQ(target.Link, u"File://doc.txt");

    registry.Unregister(u"file");
    TMemoryStream stream;
    String link = u"file://z";
    EXPECT_TRUE(registry.LoadByLink(link, stream));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.GetSize())), "second:file://z");
    EXPECT_THROW(registry.GetItem(2), EListError);
}

TEST(DataLinks, FailuresAnswerFalse) {
    TfrxDataLinkProtocols registry;
    registry.Register(std::make_shared<TEchoProtocol>("p"), u"p");
    registry.Register(std::make_shared<TfrxCustomDatalinkProtocol>(), u"abstract");
    TTarget target;
    EXPECT_FALSE(registry.LoadToObject(u"p://fail", &target));
    EXPECT_EQ(target.Content, "") << "the object is not handed a failed load";
    EXPECT_FALSE(registry.LoadToObject(u"p://raise", &target));
    EXPECT_FALSE(registry.LoadToObject(u"abstract://x", &target));
    EXPECT_FALSE(registry.LoadToObject(u"p://ok", nullptr));
    target.Accept = false;
    EXPECT_FALSE(registry.LoadToObject(u"p://ok", &target));

    TMemoryStream stream;
    String link = u"abstract://x";
    try {
        registry.LoadByLink(link, stream);
        FAIL();
    } catch (const EAbstractError& e) {
        EXPECT_EQ(e.Message(), u"Method LoadBy in TfrxCustomDatalinkProtocol");
    }
}

} // namespace
} // namespace vgl
