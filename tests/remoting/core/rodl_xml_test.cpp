#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/initialization.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_message.h"
#include "remoting/core/rodl_model.h"
#include "remoting/core/rodl_streams.h"
#include "remoting/core/rodl_to_xml.h"
#include "remoting/core/xml_to_rodl.h"

namespace vgl {
namespace {

namespace fs = std::filesystem;

/// GUIDs 1, 2, 3, ... for reproducible output.
class CountingGuids {
public:
    CountingGuids() {
        SetRODLGuidSource([this] {
            TGUID g{};
            g.D1 = ++fNext;
            return g;
        });
    }
    ~CountingGuids() { SetRODLGuidSource(nullptr); }

private:
    std::atomic<std::uint32_t> fNext{0};
};

/// A folder of its own under the temporary folder, removed at the end.
class TempFolder {
public:
    TempFolder()
        : fPath(fs::temp_directory_path() /
                ("vgl_rodl_" + std::to_string(::getpid()) + "_" + std::to_string(++Count))) {
        fs::create_directories(fPath);
    }
    ~TempFolder() { fs::remove_all(fPath); }
    String File(const std::string& name, const std::string& content) const {
        std::ofstream(fPath / name, std::ios::binary) << content;
        return Utf8ToString((fPath / name).string());
    }
    const fs::path& Path() const { return fPath; }

private:
    static inline int Count = 0;
    fs::path fPath;
};

std::string Write(const TRODLLibrary& library, TRODLToXML& writer) {
    writer.Convert(&library);
    return writer.AsBytes();
}

std::string Write(const TRODLLibrary& library) {
    TRODLToXML writer;
    return Write(library, writer);
}

/// xmllint accepts the text as well-formed XML.
bool WellFormed(const std::string& xml) {
    TempFolder folder;
    const String file = folder.File("out.xml", xml);
    const std::string command = "xmllint --noout '" + StringToUtf8(file) + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

std::unique_ptr<TRODLLibrary> Read(const std::string& xml) {
    TBytesStream stream(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size()));
    return ReadRODLLibraryFromStream(stream);
}

std::string Wrap(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Library Name=\"L\" UID=\"{00000001-0000-0000-0000-"
           "000000000000}\" Version=\"3.0\">" +
           body + "</Library>";
}

TEST(RODLXmlTest, EmptyLibraryMatchesTheCommittedText) {
    CountingGuids guids;
    TRODLLibrary library;
    std::ifstream in(VGL_TEST_DATA_DIR "/rodl_empty_library.xml", std::ios::binary);
    std::stringstream expected;
    expected << in.rdbuf();
    const std::string written = Write(library);
    EXPECT_EQ(written, expected.str());
    EXPECT_TRUE(WellFormed(written));
}

/// A library holding every kind of entity and the texts that need escaping.
void BuildRichLibrary(TRODLLibrary& l) {
    l.SetName(u"Labels");
    l.Namespace = u"urn:labels&more";
    l.SetDocumentation(u"Library of \"labels\" ]]> and\r\nmore\r\n");
    auto* group = l.AddNew<TRODLGroup>();
    group->SetName(u"Public");
    auto* sub = l.AddNew<TRODLGroup>();
    sub->SetName(u"Sub");
    sub->SetGroupUnder(group);
    auto* service = l.AddNew<TRODLService>();
    service->SetName(u"LabelService");
    service->Roles = {u"Admin", u"!Guest & <x>"};
    service->Attributes().Add(u"ROServiceGroups=Public");
    service->Attributes().Add(u"Note=a & b < c > d \"e\"\ttab");
    service->SetGroupUnder(sub);
    service->Default()->SetDocumentation(u"The interface");
    auto* op = static_cast<TRODLOperation*>(service->Default()->Add());
    op->SetName(u"Render");
    op->Roles = {u"User"};
    op->ForceAsyncResponse = true;
    op->AddResult()->SetDataType(u"Binary");
    auto* in = static_cast<TRODLOperationParam*>(op->Add());
    in->SetName(u"Data");
    in->SetDataType(u"LabelData");
    auto* out = static_cast<TRODLOperationParam*>(op->Add());
    out->SetName(u"Info");
    out->SetFlag(fInOut);
    out->SetDataType(u"Integer");
    const String code = u"result := 1;\r\nexit;";
    op->SetCodeBodyAsString(u"Pascal", &code);
    auto* base = l.AddNew<TRODLStruct>();
    base->SetName(u"BaseData");
    static_cast<TRODLTypedEntity*>(base->Add())->SetDataType(u"WideString");
    auto* data = l.AddNew<TRODLStruct>();
    data->SetName(u"LabelData");
    data->SetAncestor(u"BaseData");
    data->SetAutoCreateParams(false);
    auto* field = static_cast<TRODLTypedEntity*>(data->Add());
    field->SetName(u"Kind");
    field->SetDataType(u"LabelKind");
    field->SetDocumentation(u"ends with a break\n");
    auto* kind = l.AddNew<TRODLEnum>();
    kind->SetName(u"LabelKind");
    kind->SetPrefixEnumValues(false);
    kind->Add()->SetName(u"lkPlain");
    kind->Add()->SetName(u"lkBold");
    auto* array = l.AddNew<TRODLArray>();
    array->SetName(u"LabelList");
    array->SetElementType(u"LabelData");
    auto* use = l.AddNew<TRODLUse>();
    use->SetName(u"Base");
    use->RodlFile = u"/nonexistent/Base.rodl";
    use->SplitMode = usmAlways;
    use->Includes().SetValue(plNative, u"BaseUnit");
    auto* fault = l.AddNew<TRODLException>();
    fault->SetName(u"ELabelFault");
    static_cast<TRODLTypedEntity*>(fault->Add())->SetDataType(u"Integer");
    auto* sink = l.AddNew<TRODLEventSink>();
    sink->SetName(u"Events");
    static_cast<TRODLOperation*>(sink->Default()->Add())->SetName(u"Printed");
}

TEST(RODLXmlTest, RoundTripIsByteForByte) {
    CountingGuids guids;
    TRODLLibrary library;
    BuildRichLibrary(library);
    const std::string first = Write(library);
    EXPECT_TRUE(WellFormed(first)) << first;
    std::unique_ptr<TRODLLibrary> read = Read(first);
    const std::string second = Write(*read);
    EXPECT_EQ(second, first);
    EXPECT_TRUE(WellFormed(second));

    // What came back is what went in.
    EXPECT_EQ(read->Namespace, u"urn:labels&more");
    TRODLService* service = read->GetService(u"LabelService");
    EXPECT_EQ(service->AttributeValue(u"Note"), u"a & b < c > d \"e\"\ttab");
    EXPECT_EQ(service->Roles, (std::vector<String>{u"Admin", u"!Guest & <x>"}));
    EXPECT_EQ(service->GroupUnder()->Name(), u"Sub");
    EXPECT_EQ(service->Default()->Documentation(), u"The interface");
    // The interface's documentation is the first child of its element.
    const size_t intf = first.find("<Interface Name=\"Default\"");
    const std::string doc = "<Documentation><![CDATA[The interface]]></Documentation>";
    EXPECT_EQ(first.compare(first.find("\r\n", intf) + 2, doc.size(), doc), 0);
    EXPECT_EQ(service->GroupUnder()->GroupUnder()->Name(), u"Public");
    EXPECT_EQ(read->Documentation(), u"Library of \"labels\" ]]> and\nmore");
    TRODLOperation* op = service->Default()->GetOperation(u"Render");
    EXPECT_EQ(op->Result()->DataType(), u"Binary");
    EXPECT_EQ(op->Items(1)->Flag(), fInOut);
    EXPECT_EQ(op->GetCodeBody(u"pascal")->Text(), u"result := 1;\r\nexit;\r\n");
    EXPECT_EQ(read->GetStruct(u"LabelData")->GetAncestor(), u"BaseData");
    EXPECT_FALSE(read->GetStruct(u"LabelData")->AutoCreateParams());
    EXPECT_FALSE(read->FindEnum(u"LabelKind")->PrefixEnumValues());
    EXPECT_EQ(read->Use(0)->SplitMode, usmAlways);
    EXPECT_EQ(read->Use(0)->Includes().Value(plNative), u"BaseUnit");
    EXPECT_EQ(read->EventSinkCount(), 1);
}

TEST(RODLXmlTest, WriterTextForms) {
    CountingGuids guids;
    TRODLLibrary library;
    auto* s = library.AddNew<TRODLStruct>();
    s->SetName(u"S");
    s->SetDocumentation(u"a]]>b\r\n");
    s->Attributes().Add(u"Note=& <");
    std::string xml = Write(library);
    EXPECT_NE(xml.find("<Documentation><![CDATA[a]]]]><![CDATA[>b]]></Documentation>"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<Note Value=\"&amp; &lt;\" />"), std::string::npos);
    EXPECT_EQ(Read(xml)->FindStruct(u"S")->AttributeValue(u"Note"), u"& <");
    // Characters XML cannot carry become blanks.
    s->SetDocumentation(String(u"x\u0001y\uFFFEz"));
    xml = Write(library);
    EXPECT_NE(xml.find("<![CDATA[x y z]]>"), std::string::npos);
    EXPECT_TRUE(WellFormed(xml));
    // A custom attribute name that is no XML name is refused; the declaration stays.
    s->Attributes().Add(u"bad name=1");
    TRODLToXML writer;
    try {
        writer.Convert(&library);
        FAIL();
    } catch (const EROException& e) {
        EXPECT_NE(e.Message().find(u"bad name"), String::npos);
    }
    ASSERT_EQ(writer.Buffer().size(), 1u);
    EXPECT_EQ(writer.Buffer()[0], u"<?xml version=\"1.0\" encoding=\"utf-8\"?>");
    EXPECT_THROW(writer.Convert(nullptr), EROException);
    try {
        writer.Convert(&library, u"NoService");
        FAIL();
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"Invalid TargetEntity \"NoService\"");
    }
}

TEST(RODLXmlTest, ServiceGroupsFilterTheOutput) {
    CountingGuids guids;
    TRODLLibrary library;
    auto service = [&](const String& name, const String& groups, const String& paramType) {
        auto* s = library.AddNew<TRODLService>();
        s->SetName(name);
        if (!groups.empty())
            s->Attributes().Add(u"ROServiceGroups=" + groups);
        auto* op = static_cast<TRODLOperation*>(s->Default()->Add());
        op->SetName(u"Op");
        if (!paramType.empty())
            static_cast<TRODLOperationParam*>(op->Add())->SetDataType(paramType);
        return s;
    };
    service(u"Public", u"web, intranet", u"UsedType");
    service(u"Internal", u"intranet", u"");
    service(u"Plain", u"", u"");
    auto* used = library.AddNew<TRODLStruct>();
    used->SetName(u"UsedType");
    auto* grouped = library.AddNew<TRODLStruct>();
    grouped->SetName(u"Grouped");
    grouped->Attributes().Add(u"ROServiceGroups=intranet");
    auto* fault = library.AddNew<TRODLException>();
    fault->SetName(u"EFault");

    auto names = [&](const String& group, bool excludeAttribute = false) {
        TRODLToXML writer;
        writer.ServiceGroup = group;
        writer.ExcludeServiceGroupAttribute = excludeAttribute;
        std::unique_ptr<TRODLLibrary> read = Read(Write(library, writer));
        String text;
        for (int i = 0; i < read->Count(); ++i)
            text += read->TRODLComplexEntity::Items(i)->Name() + u" ";
        return text;
    };
    EXPECT_EQ(names(u""), u"Public Internal Plain UsedType Grouped EFault ");
    EXPECT_EQ(names(u"web"), u"Public UsedType EFault ");
    EXPECT_EQ(names(u"intranet"), u"Public Internal UsedType Grouped EFault ");
    // UsedType is reached only from the excluded service.
    EXPECT_EQ(names(u"!web"), u"Internal Grouped EFault ");
    // With the attribute left out, an entity whose only attribute it was keeps an empty list.
    TRODLToXML writer;
    writer.ExcludeServiceGroupAttribute = true;
    EXPECT_NE(Write(library, writer).find("<CustomAttributes />"), std::string::npos);
}

TEST(RODLXmlTest, ReaderCases) {
    const std::string uid = "UID=\"{00000002-0000-0000-0000-000000000000}\"";
    auto op = [&](const std::string& params) {
        return Wrap("<Services><Service Name=\"S\" " + uid + "><Interfaces><Interface Name=\"Default\" " + uid +
                    "><Operations><Operation Name=\"Op\" " + uid + "><Parameters>" + params +
                    "</Parameters></Operation></Operations></Interface></Interfaces>"
                    "</Service></Services>");
    };
    try {
        Read(op("<Parameter Name=\"P\" DataType=\"Integer\" />"));
        FAIL();
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"Invalid Parameter Flag \"\"");
    }
    std::unique_ptr<TRODLLibrary> l = Read(op("<Parameter Name=\"R\" DataType=\"String\" Flag=\"result\" />"));
    TRODLOperation* operation = l->Services(0)->Default()->Items(0);
    ASSERT_NE(operation->Result(), nullptr);
    EXPECT_EQ(operation->Result()->DataType(), u"AnsiString");
    EXPECT_EQ(operation->Count(), 0);

    l = Read(Wrap("<Structs><Struct Name=\"My Struct\" " + uid +
                  "><Elements><Element Name=\"E\" DataType=\"String\" /></Elements></Struct></Structs>"
                  "<Exceptions><Exception Name=\"EX\" AutoCreateParams=\"0\" " +
                  uid + " /></Exceptions>"));
    EXPECT_EQ(l->Structs(0)->Name(), u"My_Struct");
    EXPECT_TRUE(l->Structs(0)->AutoCreateParams());
    EXPECT_EQ(l->Structs(0)->Items(0)->DataType(), u"AnsiString");
    EXPECT_TRUE(l->Exceptions(0)->AutoCreateParams());

    l = Read(Wrap("<Services><Service Name=\"S\" " + uid + "><Interfaces><Interface Name=\"First\" " + uid +
                  "><Operations><Operation Name=\"A\" " + uid +
                  " /></Operations></Interface><Interface Name=\"Second\" " + uid +
                  "><Operations><Operation Name=\"B\" " + uid +
                  " /></Operations></Interface></Interfaces></Service></Services>"));
    ASSERT_EQ(l->Services(0)->Count(), 1);
    EXPECT_EQ(l->Services(0)->Default()->Name(), u"First");
    EXPECT_EQ(l->Services(0)->Default()->Count(), 1);

    // Custom attributes: an empty value leaves none; a Group element after them still files.
    l = Read(Wrap("<Groups><Group Name=\"G\" UID=\"{00000009-0000-0000-0000-000000000000}\" /></Groups>"
                  "<Enums><Enum Name=\"E\" " +
                  uid +
                  "><CustomAttributes><Empty Value=\"\" /><Kept Value=\"1\" />"
                  "</CustomAttributes><Group Under=\"{00000009-0000-0000-0000-000000000000}\" /></Enum></Enums>"));
    EXPECT_FALSE(l->Enums(0)->HasAttribute(u"Empty"));
    EXPECT_EQ(l->Enums(0)->AttributeValue(u"Kept"), u"1");
    EXPECT_EQ(l->Enums(0)->GroupUnder(), l->Groups(0));

    // A root without UID fails when root attributes are taken.
    EXPECT_THROW(Read("<Library Name=\"L\" />"), EConvertError);
    EXPECT_THROW(Read("<Library"), EROException);
    EXPECT_THROW(Read("<?xml version=\"1.0\"?><!DOCTYPE Library [<!ENTITY a \"b\">]><Library/>"), Exception);
}

TEST(RODLXmlTest, RecreatedGuidsKeepGroupFilings) {
    const std::string xml = Wrap(
        "<Groups><Group Name=\"Inner\" UID=\"{00000003-0000-0000-0000-000000000000}\"><Group "
        "Under=\"{00000004-0000-0000-0000-000000000000}\" /></Group>"
        "<Group Name=\"Outer\" UID=\"{00000004-0000-0000-0000-000000000000}\" /></Groups>"
        "<Arrays><Array Name=\"A\" UID=\"{00000005-0000-0000-0000-000000000000}\"><Group "
        "Under=\"{00000003-0000-0000-0000-000000000000}\" /><ElementType DataType=\"Integer\" /></Array></Arrays>");
    TRODLLibrary library;
    library.SetName(u"");
    TXMLToRODL reader(&library, true);
    EXPECT_EQ(reader.ReadFromString(Utf8ToString(xml)), nullptr);
    EXPECT_EQ(library.Name(), u"L");
    TRODLGroup* inner = library.Groups(0);
    TRODLGroup* outer = library.Groups(1);
    EXPECT_NE(GUIDToString(inner->UID()), u"{00000003-0000-0000-0000-000000000000}");
    EXPECT_NE(GUIDToString(library.UID()), u"{00000001-0000-0000-0000-000000000000}");
    EXPECT_EQ(inner->GroupUnder(), outer);
    EXPECT_EQ(library.Arrays(0)->GroupUnder(), inner);
}

std::string UsingFile(const std::string& name, const std::string& usedFile) {
    return Wrap("<Uses><Use Name=\"" + name + "\" UID=\"{00000007-0000-0000-0000-000000000000}\" Rodl=\"" + usedFile +
                "\" /></Uses><Structs><Struct Name=\"" + name +
                "Type\" UID=\"{00000008-0000-0000-0000-000000000000}\"><Elements /></Struct></Structs>");
}

TEST(RODLXmlTest, SelfAndMutuallyUsingDefinitionsLoadOnce) {
    TempFolder folder;
    const String self = folder.File("self.rodl", UsingFile("Self", "self.rodl"));
    std::unique_ptr<TRODLLibrary> l = TXMLToRODL(nullptr, false).ReadFromFile(self);
    EXPECT_EQ(l->UseCount(), 1);
    EXPECT_FALSE(l->Use(0)->Merged);

    folder.File("b.rodl", UsingFile("B", "c.rodl"));
    folder.File("c.rodl", UsingFile("C", "b.rodl"));
    l = TXMLToRODL(nullptr, false).ReadFromFile(Utf8ToString((folder.Path() / "b.rodl").string()));
    // b uses c (merged, its entities from that use); c's use of b is not loaded again.
    ASSERT_EQ(l->UseCount(), 2);
    EXPECT_TRUE(l->Use(0)->Merged);
    EXPECT_FALSE(l->Use(1)->Merged);
    TRODLStruct* fromC = l->FindStruct(u"CType");
    ASSERT_NE(fromC, nullptr);
    EXPECT_EQ(fromC->LocatedInRodlUse(), l->Use(0));
    EXPECT_FALSE(l->FindStruct(u"BType")->IsFromUsedRodl());

    // UseRODL brings a used definition in and drops own types it defines.
    TRODLLibrary own;
    own.AddNew<TRODLStruct>()->SetName(u"CType");
    TRODLMessageList messages;
    own.UseRODL(Utf8ToString((folder.Path() / "c.rodl").string()), &messages);
    EXPECT_EQ(own.UseCount(), 1);
    EXPECT_EQ(own.FindStruct(u"CType"), nullptr);
    ASSERT_EQ(messages.Lines.size(), 1u);
    EXPECT_TRUE(messages.Lines[0].starts_with(u"2|CType|Structure CType was found in imported RODL "));
}

TEST(RODLXmlTest, FilterCopiesWhatDoesNotParse) {
    TMemoryStream source;
    source.WriteBuffer("not xml", 7);
    TMemoryStream dest;
    dest.WriteBuffer("head:", 5);
    EXPECT_NO_THROW(FilterRODLStream(source, dest, u"", false));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(dest.Memory()), size_t(dest.GetSize())), "head:not xml");

    // A definition that parses is written without private services.
    CountingGuids guids;
    TRODLLibrary library;
    library.AddNew<TRODLService>()->SetName(u"Open");
    auto* hidden = library.AddNew<TRODLService>();
    hidden->SetName(u"Hidden");
    hidden->isPrivate = true;
    const std::string xml = Write(library);
    TBytesStream good(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size()));
    TMemoryStream filtered;
    FilterRODLStream(good, filtered, u"", false);
    const std::string out(reinterpret_cast<const char*>(filtered.Memory()), size_t(filtered.GetSize()));
    EXPECT_NE(out.find("Name=\"Open\""), std::string::npos);
    EXPECT_EQ(out.find("Name=\"Hidden\""), std::string::npos);
}

class TFixedReader : public TROCustomRODLReader {
public:
    explicit TFixedReader(TComponent* aOwner) : TROCustomRODLReader(aOwner) {}
    String Group;

protected:
    void DoReadRODLResource(TStream& Dest, const String& aServiceGroup) override {
        Group = aServiceGroup;
        TRODLLibrary library;
        library.SetName(u"Served");
        WriteRODLLibraryToStream(library, Dest, true, false, aServiceGroup);
    }
};

class TPlainMessage : public TROMessage {
public:
    TPlainMessage() : TROMessage(nullptr) {}
};

TEST(RODLXmlTest, ModuleInfoComesFromTheMessagesReader) {
    InitializeRemotingCore();
    TPlainMessage message;
    TFixedReader reader(nullptr);
    message.SetRODLReader(&reader);
    message.SetServiceGroups(u"web");
    TMemoryStream out;
    String contentType;
    message.GetModuleInfo(out, nullptr, contentType);
    EXPECT_EQ(contentType, u"text/xml; charset=utf-8");
    EXPECT_EQ(reader.Group, u"web");
    out.SetPosition(0);
    EXPECT_EQ(ReadRODLLibraryFromStream(out)->Name(), u"Served");
    // Without a reader the program's stored definition is asked for; it carries none.
    message.SetRODLReader(nullptr);
    EXPECT_THROW(message.GetModuleInfo(out, nullptr, contentType), EROException);
    EXPECT_EQ(GetRODLLibrary(nullptr, true, false)->Name(), u"");
    FinalizeRemotingCore();
}

} // namespace
} // namespace vgl
