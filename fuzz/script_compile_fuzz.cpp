// Script source compiled and run. The first byte picks a language (one that is not registered
// yet falls back to DoveziVorude) and the rest, read as UTF-8, is the source. The script has the
// built-in library; a program that compiles runs under a small time budget and call depth, so
// endless loops and recursion end with the engine's limit error. The IL of a successful walk must
// read back through the script XML reader.
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
    const String text = Utf8ToString(source);
    String language = languages[pick % 4];
    fuzz::Guarded([&] {
        TfsScript script(nullptr);
        TfsILParser parser(&script);
        try {
            parser.SelectLanguage(language);
        } catch (const Exception&) {
            language = u"DoveziVorude";
            parser.SelectLanguage(language);
        }
        if (!parser.MakeILScript(text)) {
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
    fuzz::Guarded([&] {
        TfsScript script(nullptr);
        script.AddRTTI();
        script.SyntaxType = language;
        script.RunTimeLimitMs = 100;
        script.MaxCallDepth = 64;
        script.Lines().SetText(text);
        if (!script.Run())
            fuzz::Require(!script.ErrorMsg.empty());
    });
    return 0;
}
