// Parcel codes assigned from arbitrary text: validation, normalisation and the derived texts.
// links: vgl_codes
#include "codes/typed_barcode.h"
#include "fuzz/fuzz_input.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    const AnsiString text(data, data + size);
    fuzz::Guarded([&] {
        TDpdTrackingNumber number;
        number.SetBarcode(text);
        number.BarcodeText();
        number.ParcelNumber();
        // An accepted code is accepted again as it is written back.
        TDpdTrackingNumber copy;
        copy.Assign(number);
        fuzz::Require(copy.IsSameAs(&number));
    });
    fuzz::Guarded([&] {
        TBic3 bic;
        bic.SetBarcode(text);
        bic.BarcodeText();
        bic.BarcodeRaw();
        bic.ParcelNumber();
        bic.BarcodeTextFormatted();
        // The copy goes through the percent form, which recomputes the check character and
        // upper-cases the zip code: only a code given in that form must come back unchanged.
        TBic3 copy;
        copy.Assign(bic);
        if (text[0] == '%')
            fuzz::Require(copy.IsSameAs(&bic));
    });
    fuzz::Guarded([&] { TDpdBarcode::CheckDigit(std::string_view(text)); });
    return 0;
}
