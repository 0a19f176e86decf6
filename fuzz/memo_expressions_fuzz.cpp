// Memo text evaluation: the walk over bracketed expressions of any text with any delimiters, the
// inline formats after " #" and the display formats, without a report (every value is Null).
// links: vgl_report_model
#include <algorithm>

#include "fuzz/fuzz_input.h"
#include "report/model/memo_view.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::Guarded([&] {
        fuzz::FuzzInput in(data, size);
        const size_t delimiterLength = in.Byte() % 16;
        const std::uint8_t flags = in.Byte();
        String all = in.RestAsUtf16();
        if (all.size() > 4096)
            all.resize(4096);
        const size_t cut = std::min(delimiterLength, all.size());
        TfrxMemoView memo(nullptr);
        memo.SetExpressionDelimiters(all.substr(0, cut));
        memo.SetText(all.substr(cut));
        memo.SetHideZeros(flags & 1);
        memo.SetSuppressRepeated(flags & 2);
        if (flags & 4) {
            TfrxFormat* f = memo.DisplayFormat();
            f->Kind = TfrxFormatKind((flags >> 3) & 3);
            f->FormatStr = all.substr(cut, 8);
        }
        memo.BeforePrint();
        memo.GetData();
        // Every expression is replaced by the empty text of its Null value: never longer than
        // the text with each line end (CR, LF or U+2028) made CR LF and a final CR LF.
        const String text = all.substr(cut);
        const auto breaks =
            std::count_if(text.begin(), text.end(), [](Char c) { return c == u'\r' || c == u'\n' || c == u'\u2028'; });
        fuzz::Require(memo.Text().size() <= text.size() + size_t(breaks) + 2);
        memo.AfterPrint();
    });
    return 0;
}
