// The WSDL of a service definition: the test service's document against a committed expected
// file, checked by xmllint (well-formed, the embedded schema compiles, a response validates),
// and the naming, typing, escaping and style rules on small hand-made definitions.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_type_registry.h"
#include "remoting/core/rodl_model.h"
#include "remoting/core/xml_to_rodl.h"
#include "remoting/server/ro_rodl_to_wsdl.h"
#include "remoting/server/ro_rtti_rodl_reader.h"
#include "remoting/server/ro_rtti_server.h"
#include "remoting/server/ro_server.h"
#include "tests/remoting/server/ro_server_test_service.h"
#include "tests/remoting/server/wsdl_test_helpers.h"

namespace vgl::srvtest {

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

/// A scratch folder of this test process.
std::string ScratchDir() {
    static const std::string dir = [] {
        std::string d = ::testing::TempDir() + "wsdl_test_" + std::to_string(::getpid());
        std::system(("mkdir -p '" + d + "'").c_str());
        return d;
    }();
    return dir;
}

/// Runs xmllint with the arguments; true when it exits with 0.
bool Xmllint(const std::string& arguments) {
    const std::string command = "xmllint " + arguments + " >" + ScratchDir() + "/xmllint.out 2>&1";
    const bool ok = std::system(command.c_str()) == 0;
    if (!ok)
        ADD_FAILURE() << command << "\n" << ReadFile(ScratchDir() + "/xmllint.out");
    return ok;
}

class WsdlTest : public ::testing::Test {
protected:
    void SetUp() override {
        InitializeRemotingServer();
        SetRODLLibraryName(u"TestServiceLib");
        RegisterServerTestTypes();
        RegisterServiceClass(&TTestService::StaticClassInfo());
        RTTIServerCache().Clear();
    }

    /// The test service's definition, written and read back as the message reads it.
    static std::unique_ptr<TRODLLibrary> TestDefinition() {
        TRORTTIRODLReader reader;
        TMemoryStream stream;
        reader.ReadRODLResource(stream, {});
        stream.SetPosition(0);
        return ReadRODLLibraryFromStream(stream);
    }

    /// The converter with the host's settings (document/literal).
    static std::unique_ptr<TRODLToWSDL> HostConverter() {
        auto converter = std::make_unique<TRODLToWSDL>();
        converter->UseLiteral = true;
        converter->UseDocument = true;
        converter->Location = u"http://localhost:8099/SOAP";
        return converter;
    }

    static String Convert(const TRODLLibrary& aLibrary, TRODLToWSDL& aConverter, const String& aService = {}) {
        aConverter.Convert(&aLibrary, aService);
        return aConverter.Text();
    }
};

/// A library with one service "Svc" and the given operations added by the caller.
struct SmallLibrary {
    TRODLLibrary Library;
    TRODLService* Service;
    explicit SmallLibrary(const String& aServiceName = u"Svc") {
        Library.SetName(u"Lib");
        Service = Library.AddNew<TRODLService>();
        Service->SetName(aServiceName);
    }
    TRODLOperation* Operation(const String& aName, TRODLService* aService = nullptr) {
        auto* op = static_cast<TRODLOperation*>((aService ? aService : Service)->Default()->Add());
        op->SetName(aName);
        return op;
    }
    static TRODLOperationParam* Param(TRODLOperation* op, const String& aName, const String& aType,
                                      TRODLParamFlag aFlag = fIn) {
        auto* p = static_cast<TRODLOperationParam*>(op->Add());
        p->SetName(aName);
        p->SetDataType(aType);
        p->SetFlag(aFlag);
        return p;
    }
};

bool Contains(const String& text, const String& part) {
    return text.find(part) != String::npos;
}

} // namespace

TEST_F(WsdlTest, TestServiceWsdlMatchesTheExpectedFileAndValidates) {
    std::unique_ptr<TRODLLibrary> library = TestDefinition();
    std::unique_ptr<TRODLToWSDL> converter = HostConverter();
    converter->Convert(library.get());
    const std::string wsdl = converter->AsBytes();
    const std::string expectedPath = std::string(VGL_TEST_DATA_DIR) + "/test_service.wsdl";
    const std::string actualPath = ScratchDir() + "/test_service.wsdl";
    WriteFile(actualPath, wsdl);
    EXPECT_EQ(wsdl, ReadFile(expectedPath)) << "diff " << expectedPath << " " << actualPath;
    EXPECT_TRUE(Xmllint("--noout '" + actualPath + "'"));

    const std::string schemaPath = ScratchDir() + "/test_service.xsd";
    WriteFile(schemaPath, EmbeddedSchema(wsdl));
    // A response of each answering operation, as the SOAP message writes its Body content.
    const std::string ns = "xmlns=\"http://tempuri.org/\"";
    const std::pair<const char*, std::string> responses[] = {
        {"make_labels.xml", "<TestService___MakeLabelsResponse " + ns +
                                "><Result><TResultInfo><ResultType>resGeoLabel</ResultType><ResultBase64>"
                                "MTIz</ResultBase64></TResultInfo><TResultInfo><ResultType>resSWAPLabel</ResultType>"
                                "<ResultBase64>QTs3OzEyLjU=</ResultBase64></TResultInfo></Result>"
                                "</TestService___MakeLabelsResponse>"},
        {"get_code.xml",
         "<TestService___GetCodeResponse " + ns + "><Result>Y29kQ2FzaDoxMjM=</Result></TestService___GetCodeResponse>"},
        {"fail.xml", "<TestService___FailResponse " + ns + "/>"},
    };
    for (const auto& [name, body] : responses) {
        const std::string path = ScratchDir() + "/" + name;
        WriteFile(path, body);
        EXPECT_TRUE(Xmllint("--noout --schema '" + schemaPath + "' '" + path + "'"));
    }
    // A response that breaks the schema is refused, so the check above has teeth.
    const std::string bad = ScratchDir() + "/bad.xml";
    WriteFile(bad,
              "<TestService___GetCodeResponse " + ns + "><Result>x</Result><Extra/></TestService___GetCodeResponse>");
    EXPECT_NE(std::system(("xmllint --noout --schema '" + schemaPath + "' '" + bad + "' >/dev/null 2>&1").c_str()), 0);
}

TEST_F(WsdlTest, NamesWithALeadingUnderscoreAreStrippedExceptInTheAddress) {
    SmallLibrary s(u"_Svc");
    SmallLibrary::Param(s.Operation(u"_Op"), u"_aValue", u"Integer");
    std::unique_ptr<TRODLToWSDL> converter = HostConverter();
    converter->Location = u"http://host/SOAP";
    const String wsdl = Convert(s.Library, *converter);
    for (const char16_t* part :
         {u"<wsdl:portType name=\"Svc\">", u"<wsdl:binding name=\"SvcBinding\" type=\"tns:Svc\">",
          u"<wsdl:service name=\"Svc\">", u"<wsdl:message name=\"Svc___OpRequest\">", u"<xs:element name=\"Svc___Op\">",
          u"<xs:element name=\"aValue\" minOccurs=\"1\" maxOccurs=\"1\" type=\"xs:int\" />",
          u"<wsdl:operation name=\"Op\">", u"soapAction=\"urn:Lib-Svc#Op\" style=\"document\"",
          u"<soap:address location=\"http://host/SOAP?service=_Svc\" />"})
        EXPECT_TRUE(Contains(wsdl, part)) << StringToUtf8(part);
}

TEST_F(WsdlTest, AnInheritedOperationRedefinedInTheServiceIsWrittenOnce) {
    SmallLibrary s(u"Derived");
    auto* base = s.Library.AddNew<TRODLService>();
    base->SetName(u"Base");
    s.Service->SetAncestor(u"Base");
    SmallLibrary::Param(s.Operation(u"Shared"), u"derivedParam", u"Integer");
    s.Operation(u"OnlyDerived");
    SmallLibrary::Param(s.Operation(u"shared", base), u"baseParam", u"Integer");
    s.Operation(u"OnlyBase", base);
    std::unique_ptr<TRODLToWSDL> converter = HostConverter();
    const String wsdl = Convert(s.Library, *converter, u"Derived");
    auto count = [&](const String& part) {
        int n = 0;
        for (size_t at = wsdl.find(part); at != String::npos; at = wsdl.find(part, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count(u"<wsdl:message name=\"Derived___SharedRequest\">"), 1);
    EXPECT_EQ(count(u"<wsdl:operation name=\"Shared\">"), 2); // portType and binding
    EXPECT_EQ(count(u"<wsdl:operation name=\"shared\">"), 0);
    EXPECT_TRUE(Contains(wsdl, u"name=\"derivedParam\""));
    EXPECT_FALSE(Contains(wsdl, u"name=\"baseParam\""));
    EXPECT_TRUE(Contains(wsdl, u"<wsdl:message name=\"Derived___OnlyBaseRequest\">"));
    EXPECT_FALSE(Contains(wsdl, u"<wsdl:portType name=\"Base\">"));
}

TEST_F(WsdlTest, ArraysStructuresAndDocumentation) {
    SmallLibrary s;
    auto* unbounded = s.Library.AddNew<TRODLArray>();
    unbounded->SetName(u"TInts");
    unbounded->SetElementType(u"Integer");
    auto* bounded = s.Library.AddNew<TRODLArray>();
    bounded->SetName(u"TFive");
    bounded->SetElementType(u"WideString");
    bounded->Attributes().SetValue(u"MaxOccurs", u"5");
    bounded->Attributes().SetValue(u"ElementName", u"Line");
    auto* wrapper = s.Library.AddNew<TRODLStruct>();
    wrapper->SetName(u"TWrapped");
    wrapper->Attributes().SetValue(u"Anonymous", u"1");
    auto* value = static_cast<TRODLTypedEntity*>(wrapper->Add());
    value->SetName(u"Value");
    value->SetDataType(u"Double");
    auto* record = s.Library.AddNew<TRODLStruct>();
    record->SetName(u"TRecord");
    record->SetDocumentation(u"A <b>bold</b> & \"quoted\" record");
    auto* field = static_cast<TRODLTypedEntity*>(record->Add());
    field->SetName(u"Amount");
    field->SetDataType(u"TWrapped");
    SmallLibrary::Param(s.Operation(u"Take"), u"aWrapped", u"TWrapped");
    std::unique_ptr<TRODLToWSDL> converter = HostConverter();
    converter->TargetNamespace = u"MyNS";
    const String wsdl = Convert(s.Library, *converter);
    for (const char16_t* part :
         {u"<xs:element name=\"int\" minOccurs=\"0\" maxOccurs=\"unbounded\" type=\"xs:int\" />",
          u"<xs:element name=\"Line\" minOccurs=\"0\" maxOccurs=\"5\" type=\"xs:string\" />",
          // The one-field anonymous structure is no type; its field's type stands in for it.
          u"<xs:element name=\"Amount\" type=\"xs:double\" minOccurs=\"0\" maxOccurs=\"1\" />",
          u"<xs:element name=\"aWrapped\" minOccurs=\"0\" maxOccurs=\"1\" type=\"xs:double\" />",
          u"               <xs:documentation>\r\n                  A &lt;b&gt;bold&lt;/b&gt; &amp; &quot;quoted&quot; "
          u"record\r\n               </xs:documentation>",
          u"targetNamespace=\"urn:MyNS\"", u"xmlns:tns=\"urn:MyNS\""})
        EXPECT_TRUE(Contains(wsdl, part)) << StringToUtf8(part) << "\n" << StringToUtf8(wsdl);
    EXPECT_FALSE(Contains(wsdl, u"name=\"TWrapped\""));

    const std::string path = ScratchDir() + "/arrays.wsdl";
    WriteFile(path, converter->AsBytes());
    EXPECT_TRUE(Xmllint("--noout '" + path + "'"));
}

TEST_F(WsdlTest, ExceptionsFaultsClientIdAndOpenContent) {
    SmallLibrary s;
    auto* error = s.Library.AddNew<TRODLException>();
    error->SetName(u"EMyError");
    auto* reason = static_cast<TRODLTypedEntity*>(error->Add());
    reason->SetName(u"Reason");
    reason->SetDataType(u"WideString");
    auto* open = s.Library.AddNew<TRODLStruct>();
    open->SetName(u"TOpen");
    open->Attributes().SetValue(u"lax", u"1");
    auto* simple = s.Library.AddNew<TRODLStruct>();
    simple->SetName(u"TAmount");
    simple->Attributes().SetValue(u"IsSimpleTypeExtension", u"1");
    simple->Attributes().SetValue(u"SimpleType", u"decimal");
    simple->Attributes().SetValue(u"AttributesNames", u"Currency");
    for (const char16_t* name : {u"Value", u"Currency"}) {
        auto* field = static_cast<TRODLTypedEntity*>(simple->Add());
        field->SetName(name);
        field->SetDataType(u"WideString");
    }
    TRODLOperation* op = s.Operation(u"Op");
    op->Attributes().SetValue(u"fault_EMyError", u"EMyError");
    op->Attributes().SetValue(u"InputLax", u"1");
    SmallLibrary::Param(op, u"aOpen", u"TOpen");
    std::unique_ptr<TRODLToWSDL> converter = HostConverter();
    converter->ShowClientId = true;
    const String wsdl = Convert(s.Library, *converter);
    for (const char16_t* part :
         {u"<xs:complexType name=\"EMyError\">", u"<xs:element name=\"Reason\" type=\"xs:string\" />",
          u"<wsdl:message name=\"EMyError\">\r\n      <wsdl:part name=\"Reason\" type=\"xs:string\" />",
          u"<wsdl:fault name=\"EMyError\" message=\"tns:EMyError\" />",
          u"<wsdl:fault name=\"EMyError\">\r\n            <soap:fault name=\"EMyError\" use=\"literal\" />",
          u"<xs:any namespace=\"##any\" processContents=\"lax\" />",
          u"<xs:extension base=\"xs:decimal\">\r\n                  <xs:attribute name=\"Currency\" "
          u"type=\"xs:string\" />\r\n               </xs:extension>",
          u"<xs:element name=\"ROClientIDHeader\">",
          u"<wsdl:part name=\"ROClientID\" element=\"tns:ROClientIDHeader\" />",
          u"<soap:header message=\"tns:ROClientIDHeaderMessage\" use=\"literal\" part=\"ROClientID\" />"})
        EXPECT_TRUE(Contains(wsdl, part)) << StringToUtf8(part) << "\n" << StringToUtf8(wsdl);
    // Two open contents: the structure's and the request element's.
    size_t count = 0;
    for (size_t at = wsdl.find(u"<xs:any "); at != String::npos; at = wsdl.find(u"<xs:any ", at + 1))
        ++count;
    EXPECT_EQ(count, 2u);
    const std::string path = ScratchDir() + "/faults.wsdl";
    WriteFile(path, converter->AsBytes());
    EXPECT_TRUE(Xmllint("--noout '" + path + "'"));
    const std::string schemaPath = ScratchDir() + "/faults.xsd";
    WriteFile(schemaPath, EmbeddedSchema(converter->AsBytes()));
    const std::string instance = ScratchDir() + "/faults.xml";
    WriteFile(instance, "<Svc___Op xmlns=\"http://tempuri.org/\"><aOpen><x xmlns=\"urn:any\"/></aOpen><y/></Svc___Op>");
    EXPECT_TRUE(Xmllint("--noout --schema '" + schemaPath + "' '" + instance + "'"));
}

TEST_F(WsdlTest, AttributeValuesAreEscaped) {
    // The location comes from the request; a quote or markup in it must not break the document.
    SmallLibrary s;
    s.Operation(u"Op")->Attributes().SetValue(u"Action", u"a&b<\"c\">");
    std::unique_ptr<TRODLToWSDL> converter = HostConverter();
    converter->Location = u"http://evil\"><x a=\"&";
    const String wsdl = Convert(s.Library, *converter);
    EXPECT_TRUE(Contains(wsdl, u"location=\"http://evil&quot;&gt;&lt;x a=&quot;&amp;?service=Svc\""));
    EXPECT_TRUE(Contains(wsdl, u"soapAction=\"urn:a&amp;b&lt;&quot;c&quot;&gt;\""));
    const std::string path = ScratchDir() + "/escaped.wsdl";
    WriteFile(path, converter->AsBytes());
    EXPECT_TRUE(Xmllint("--noout '" + path + "'"));
}

TEST_F(WsdlTest, RpcStyleAndEncodedUse) {
    SmallLibrary s;
    auto* array = s.Library.AddNew<TRODLArray>();
    array->SetName(u"TInts");
    array->SetElementType(u"Integer");
    auto* base = s.Library.AddNew<TRODLStruct>();
    base->SetName(u"TBase");
    auto* baseField = static_cast<TRODLTypedEntity*>(base->Add());
    baseField->SetName(u"Id");
    baseField->SetDataType(u"Int64");
    auto* derived = s.Library.AddNew<TRODLStruct>();
    derived->SetName(u"TDerived");
    derived->SetAncestor(u"TBase");
    auto* own = static_cast<TRODLTypedEntity*>(derived->Add());
    own->SetName(u"Name");
    own->SetDataType(u"WideString");
    TRODLOperation* op = s.Operation(u"Op");
    SmallLibrary::Param(op, u"aIn", u"TDerived");
    SmallLibrary::Param(op, u"aOut", u"TInts", fOut);
    op->AddResult()->SetDataType(u"Boolean");
    TRODLToWSDL converter;
    converter.UseDocument = false;
    const String wsdl = Convert(s.Library, converter);
    for (const char16_t* part :
         {u"<soap:binding style=\"rpc\" transport=\"http://schemas.xmlsoap.org/soap/http\" />",
          u"<xs:restriction base=\"soapenc:Array\">", u"n1:arrayType=\"xs:int[]\"",
          u"<wsdl:part name=\"aIn\" type=\"tns:TDerived\" />", u"<wsdl:part name=\"Result\" type=\"xs:boolean\" />",
          u"<wsdl:part name=\"aOut\" type=\"tns:TInts\" />", u"style=\"rpc\"",
          u"encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\" namespace=\"urn:Lib-Svc\""})
        EXPECT_TRUE(Contains(wsdl, part)) << StringToUtf8(part);
    // In rpc style the ancestor's fields are repeated instead of extended.
    EXPECT_FALSE(Contains(wsdl, u"xs:extension"));
    const size_t derivedAt = wsdl.find(u"<xs:complexType name=\"TDerived\">");
    ASSERT_NE(derivedAt, String::npos);
    EXPECT_NE(wsdl.find(u"name=\"Id\"", derivedAt), String::npos);
    // No operation elements without literal document style.
    EXPECT_FALSE(Contains(wsdl, u"<xs:element name=\"Svc___Op\">"));
}

TEST_F(WsdlTest, ExternalSchemasAndFailures) {
    SmallLibrary s;
    auto* imported = s.Library.AddNew<TRODLStruct>();
    imported->SetName(u"TImported");
    imported->Attributes().SetValue(u"ImportedFromUrl", u"types.xsd");
    imported->Attributes().SetValue(u"ImportedFromNamespace", u"urn:other");
    auto* field = static_cast<TRODLTypedEntity*>(imported->Add());
    field->SetName(u"Code");
    field->SetDataType(u"WideString");
    SmallLibrary::Param(s.Operation(u"Op"), u"aValue", u"TImported");
    std::unique_ptr<TRODLToWSDL> converter = HostConverter();
    converter->ExternalTypesAsReferences = true;
    const String wsdl = Convert(s.Library, *converter);
    EXPECT_TRUE(Contains(wsdl, u"xmlns:ns0=\"urn:other\""));
    EXPECT_TRUE(Contains(wsdl, u"<xs:import namespace=\"urn:other\" "
                               u"schemaLocation=\"http://localhost:8099/SOAP?xsd=types.xsd\" />"));
    EXPECT_TRUE(Contains(wsdl, u"type=\"ns0:TImported\""));
    EXPECT_FALSE(Contains(wsdl, u"<xs:complexType name=\"TImported\">"));

    // The imported schema on its own.
    converter->TargetXsd = u"types.xsd";
    const String xsd = Convert(s.Library, *converter);
    EXPECT_TRUE(Contains(xsd, u"<xs:schema xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" xmlns=\"urn:other\""));
    EXPECT_TRUE(Contains(xsd, u"<xs:complexType name=\"TImported\">"));
    EXPECT_FALSE(Contains(xsd, u"wsdl:"));
    const std::string path = ScratchDir() + "/types.xsd";
    WriteFile(path, converter->AsBytes());
    EXPECT_TRUE(Xmllint("--noout '" + path + "'"));

    converter->TargetXsd = u"nothing.xsd";
    try {
        converter->Convert(&s.Library);
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), u"No xsd by that name");
    }
    converter->TargetXsd.clear();
    try {
        converter->Convert(&s.Library, u"Nobody");
        ADD_FAILURE() << "no error";
    } catch (const EROException& e) {
        EXPECT_EQ(e.Message(), u"Invalid TargetEntity \"Nobody\"");
    }
    // A private service asked for by name gives an empty document.
    s.Service->isPrivate = true;
    EXPECT_EQ(Convert(s.Library, *converter, u"Svc"), u"");
}

} // namespace vgl::srvtest
