// Service-definition XML: read into a library, written, and the written form read back and
// written again to the same bytes.
// links: vgl_remoting_core
#include "fuzz/fuzz_input.h"
#include "platform/rtl/streams.h"
#include "remoting/core/rodl_model.h"
#include "remoting/core/rodl_to_xml.h"
#include "remoting/core/xml_to_rodl.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::string first;
    fuzz::Guarded([&] {
        TBytesStream input(std::span<const std::uint8_t>(data, size));
        std::unique_ptr<TRODLLibrary> library = ReadRODLLibraryFromStream(input);
        TRODLToXML writer;
        writer.Convert(library.get());
        first = writer.AsBytes();
        TRODLMessageList messages;
        library->Validate(messages);
    });
    if (first.empty())
        return 0;
    // What the writer wrote must read back and write to the same bytes.
    TBytesStream written(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(first.data()), first.size()));
    std::unique_ptr<TRODLLibrary> again = ReadRODLLibraryFromStream(written);
    TRODLToXML writer;
    writer.Convert(again.get());
    fuzz::Require(writer.AsBytes() == first);
    return 0;
}
