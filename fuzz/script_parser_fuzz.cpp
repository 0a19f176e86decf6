// The script tokenizer. The first byte picks the lexical settings of a language family, the next
// four bytes a cycle of readers to call; the rest is the source text.
// links: vgl_script_engine
#include "fuzz/fuzz_input.h"
#include "platform/rtl/string_list.h"
#include "script/engine/script_parser.h"

using namespace vgl;

namespace {

void ApplySettings(TfsParser& p, std::uint8_t flags) {
    switch (flags & 3) {
    case 0: // the defaults: Pascal-like
        p.SetCommentBlock1(u"{,}");
        p.SetCommentBlock2(u"(*,*)");
        break;
    case 1: // C-like
        p.SetCommentBlock1(u"/*,*/");
        p.StringQuotes = u"\"";
        p.HexSequence = u"0x";
        p.SpecStrChar = true;
        break;
    case 2: // Basic-like
        p.CommentLine1 = u"'";
        p.CommentLine2 = u"rem";
        p.SkiPChar = u"_";
        p.SkipEOL = false;
        p.StringQuotes = u"\"";
        p.HexSequence = u"&H";
        break;
    case 3: // odd settings: one-sided comment blocks, empty delimiters
        p.SetCommentBlock1(u"<<");
        p.SetCommentBlock2(u",");
        p.CommentLine1 = u"";
        p.StringQuotes = u"";
        p.HexSequence = u"";
        p.ConstructCharset(u"_abcXYZ019\u00e9");
        break;
    }
    p.CaseSensitive = flags & 4;
    p.SkipSpace = !(flags & 8);
    p.UseY = !(flags & 16);
    p.Keywords().Add(u"begin");
    p.Keywords().Add(u"end");
}

// Calls the reader that `op` selects.
void CallReader(TfsParser& p, std::uint8_t op) {
    switch (op % 10) {
    case 0:
        p.SkipSpaces();
        break;
    case 1:
        p.GetEOL();
        break;
    case 2:
        p.GetWord();
        break;
    case 3:
        p.IsKeyWord(p.GetIdent());
        break;
    case 4:
        p.GetChar();
        break;
    case 5:
        p.GetString();
        break;
    case 6:
        p.GetNumber();
        break;
    case 7:
        p.GetFRString();
        break;
    case 8:
        p.GetXYPosition();
        break;
    case 9:
        p.GetPlainPosition({op / 10 % 5, op / 50 + 1});
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const std::uint8_t flags = in.Byte();
    const std::uint8_t ops[4] = {in.Byte(), in.Byte(), in.Byte(), in.Byte()};
    fuzz::Guarded([&] {
        TfsParser p;
        ApplySettings(p, flags);
        p.SetText(flags & 32 ? in.RestAsUtf16() : in.RestAsLatin1());
        const int length = int(p.Text().size());
        // Readers may stand still on text they do not accept; the walker then moves on by one
        // character, as the grammar walker's alternatives eventually do.
        for (int round = 0; round <= 2 * length + 2; ++round) {
            const int before = p.Position();
            for (std::uint8_t op : ops)
                fuzz::Guarded([&] { CallReader(p, op); });
            if (p.Position() > length)
                break;
            if (p.Position() == before)
                p.SetPosition(before + 1);
        }
    });
    return 0;
}
