// Script source to intermediate language. The first byte picks a language (one that is not
// registered yet falls back to DoveziVorude) and the rest, read as UTF-8, is the source. A
// successful compile must leave IL that the script XML reader reads back.
// links: vgl_script_engine
#include "fuzz/fuzz_input.h"
#include "platform/rtl/streams.h"
#include "script/engine/il_parser.h"
#include "script/engine/initialization.h"
#include "script/engine/script.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const bool initialized = (InitializeScriptEngine(), true);
    (void)initialized;
    static const char16_t* const languages[] = {u"DoveziVorude", u"D++Evuzez", u"VadorAvarov", u"JScript"};
    fuzz::FuzzInput in(data, size);
    const std::uint8_t pick = in.Byte();
    const std::string source = in.RestAsBytes();
    fuzz::Guarded([&] {
        TfsScript script(nullptr);
        TfsILParser parser(&script);
        try {
            parser.SelectLanguage(languages[pick % 4]);
        } catch (const Exception&) {
            parser.SelectLanguage(u"DoveziVorude");
        }
        if (!parser.MakeILScript(Utf8ToString(source))) {
            fuzz::Require(!script.ErrorMsg.empty());
            return;
        }
        fuzz::Require(script.ErrorMsg.empty() && script.ErrorPos.empty());
        TMemoryStream stream;
        parser.ILScript().SaveToStream(stream);
        stream.SetPosition(0);
        TfsXMLDocument back;
        try {
            back.LoadFromStream(stream);
        } catch (const Exception&) {
            fuzz::Require(false);
        }
        fuzz::Require(back.Root()->Name() == u"program");
    });
    return 0;
}
