// One-dimensional barcode encoding from arbitrary text: every built symbology and the GS1
// conversion give a pattern or the project's exception, never a read outside a table.
// links: vgl_report_model
#include "fuzz/fuzz_input.h"
#include "report/model/barcode_encoder.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    // The first byte picks the options, the rest is the text.
    const bool checksum = (data[0] & 1) != 0;
    const auto method = (data[0] & 2) != 0 ? csmModulo10 : csmNone;
    const AnsiString text(data + 1, data + size);
    for (int type = 0; type < BarcodeTypeCount; ++type)
        fuzz::Guarded([&] {
            const TBarcodeEncoding e = EncodeBarcode(TfrxBarcodeType(type), text, checksum, method);
            BarcodePatternWidth(e.Pattern, BarcodeModules(1, 2.0));
        });
    fuzz::Guarded([&] { GS1ToCode128(text); });
    fuzz::Guarded([&] { Code128Pattern(Code128Values(text)); });
    return 0;
}
