// Picture loading of the picture view: arbitrary bytes, as a file or a data field gives them,
// with the first input byte choosing whether a valid length prefix is put in front. Every input
// must end in success or the failure code with an empty picture; nothing may escape.
// links: vgl_report_model
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "platform/rtl/streams.h"
#include "report/foundation/initialization.h"
#include "report/model/picture_view.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const bool initialized = [] {
        vgl::InitializeReportFoundation();
        return true;
    }();
    (void)initialized;
    vgl::fuzz::FuzzInput input(data, size);
    const bool prefixed = input.Byte() & 1;
    const auto rest = input.Rest();
    std::vector<std::uint8_t> bytes;
    if (prefixed) {
        const auto n = std::uint32_t(rest.size());
        bytes = {1, 0, 0, 1, std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16), std::uint8_t(n >> 24)};
    }
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    vgl::TMemoryStream stream;
    if (!bytes.empty())
        stream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
    vgl::TfrxPictureView view(nullptr);
    const std::int32_t code = view.LoadPictureFromStream(stream, true);
    if (code != 0 && !view.IsEmpty())
        std::abort();
    if (code == 0 && view.IsEmpty())
        std::abort();
    return 0;
}
