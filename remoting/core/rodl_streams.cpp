#include "remoting/core/rodl_streams.h"

#include "platform/rtl/resources.h"
#include "platform/rtl/streams.h"
#include "remoting/core/ro_component.h"
#include "remoting/core/ro_exceptions.h"
#include "remoting/core/ro_http_utils.h"
#include "remoting/core/ro_interfaces.h"
#include "remoting/core/ro_utils.h"
#include "remoting/core/rodl_model.h"
#include "remoting/core/rodl_to_xml.h"
#include "remoting/core/xml_to_rodl.h"

namespace vgl {

namespace {
constexpr const char16_t* kResourceName = u"RODLFILE";
constexpr const char16_t* kResourceType = u"RCDATA";
} // namespace

void WriteRODLLibraryToStream(const TRODLLibrary& aLibrary, TStream& aStream, bool aExcludePrivateServices,
                              bool aExcludeServiceGroupAttribute, const String& aServiceGroup) {
    TRODLToXML writer;
    writer.ExcludePrivateServices = aExcludePrivateServices;
    writer.ExcludeServiceGroupAttribute = aExcludeServiceGroupAttribute;
    writer.ServiceGroup = aServiceGroup;
    writer.Convert(&aLibrary);
    const std::string bytes = writer.AsBytes();
    if (!bytes.empty())
        aStream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
}

void FilterRODLStream(TStream& aSource, TStream& aDest, const String& aServiceGroup,
                      bool aExcludeServiceGroupAttribute) {
    const std::int64_t start = aDest.GetPosition();
    try {
        std::unique_ptr<TRODLLibrary> library = ReadRODLLibraryFromStream(aSource);
        WriteRODLLibraryToStream(*library, aDest, true, aExcludeServiceGroupAttribute, aServiceGroup);
    } catch (const Exception&) {
        aDest.SetSize(start);
        aDest.SetPosition(start);
        aSource.SetPosition(0);
        CopyStreamData(&aSource, &aDest, 0);
    }
}

std::unique_ptr<TStream> CreateRODLResourceStream() {
    auto bytes = FindResource(kResourceName, kResourceType);
    if (!bytes)
        throw EROException(u"Resource %s not found", {String(kResourceName)});
    return std::make_unique<TBytesStream>(*bytes);
}

String WriteRODLToStream(TStream& aDest, const std::shared_ptr<IROTransport>& aTransport, const String& aServiceGroup,
                         bool aExcludeServiceGroupAttribute, bool aAllowMissing, TROCustomRODLReader* aReader) {
    String group;
    if (auto http = std::dynamic_pointer_cast<IROHTTPTransport>(aTransport))
        group = http->GetQueryParameter(u"servicegroup");
    group += aServiceGroup;
    if (aReader) {
        aReader->ReadRODLResource(aDest, group);
    } else if (FindResource(kResourceName, kResourceType) || !aAllowMissing) {
        std::unique_ptr<TStream> resource = CreateRODLResourceStream();
        FilterRODLStream(*resource, aDest, group, aExcludeServiceGroupAttribute);
    }
    if (aTransport)
        SetHTTPTransportContentType(aTransport, RODLContentType);
    return RODLContentType;
}

std::unique_ptr<TRODLLibrary> GetRODLLibrary(TROCustomRODLReader* aReader, bool aAllowMissing,
                                             bool aExcludeServiceGroupAttribute) {
    TMemoryStream stream;
    WriteRODLToStream(stream, nullptr, String(), aExcludeServiceGroupAttribute, aAllowMissing, aReader);
    stream.SetPosition(0);
    if (aAllowMissing && stream.GetSize() == 0) {
        auto library = std::make_unique<TRODLLibrary>();
        library->SetName(String());
        return library;
    }
    return ReadRODLLibraryFromStream(stream);
}

} // namespace vgl
