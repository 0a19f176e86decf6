// Reading the label request record and the result array from outside XML through the XML
// serializer. The first byte chooses the options; the rest is the document, whose root holds the
// elements "Request" and "Result" (or a Body with references). Only the project's exceptions may
// come out, and no object may be left alive afterwards.
// links: vgl_remoting_server
#include "fuzz/fuzz_input.h"
#include "remoting/core/xml_document.h"
#include "remoting/server/ro_xml_serializer.h"
// The service-shaped fixture types, compiled into this target.
#include "tests/remoting/server/ro_server_test_types.cpp"

using namespace vgl;
using namespace vgl::srvtest;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const bool registered = (RegisterServerTestTypes(), true);
    (void)registered;
    fuzz::FuzzInput in(data, size);
    const std::uint8_t mode = in.Byte();
    fuzz::Guarded([&] {
        auto doc = CreateROXmlDocument();
        doc->SetXML(in.RestAsLatin1());
        IXMLNodePtr root = doc->GetDocumentNode();
        TROXMLSerializationOptions options = DefaultXMLSerializationOptions();
        if (mode & 1)
            options.Exclude(xsoSendUntyped).Exclude(xsoDocument);
        if (mode & 2)
            options.Include(xsoIgnoreStructureType);
        TROXMLSerializer s(root);
        s.SetSerializationOptions(options);
        std::unique_ptr<TObject> request, result;
        try {
            s.ReadStruct(u"Request", &TGeoLabelData::StaticClassInfo(), request, -1);
        } catch (const Exception&) {
            fuzz::Require(!request);
        }
        fuzz::Require(s.CurrentNode() == root);
        s.ReadArray(u"Result", &TResultArray::StaticClassInfo(), result, -1);
        fuzz::Require(s.CurrentNode() == root);
    });
    fuzz::Require(LiveFixtureObjects() == 0);
    return 0;
}
