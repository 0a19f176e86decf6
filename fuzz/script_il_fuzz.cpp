// Intermediate code read by SetILCode. The first byte picks the language the code is built in;
// the rest is the IL document. A document that does not build must say why; one that builds
// runs under a small time budget and call depth.
// links: vgl_script_engine
#include "fuzz/fuzz_input.h"
#include "platform/rtl/streams.h"
#include "script/engine/initialization.h"
#include "script/engine/script.h"
#include "script/engine/script_limits.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    static const bool initialized = (InitializeScriptEngine(), true);
    (void)initialized;
    static const char16_t* const languages[] = {u"DoveziVorude", u"D++Evuzez", u"VadorAvarov", u"JScript"};
    fuzz::FuzzInput in(data, size);
    const std::uint8_t pick = in.Byte();
    const std::string document = in.RestAsBytes();
    fuzz::Guarded([&] {
        TfsScript script(nullptr);
        script.AddRTTI();
        script.SyntaxType = languages[pick % 4];
        script.RunTimeLimitMs = 100;
        script.MaxCallDepth = 64;
        TMemoryStream stream;
        stream.WriteBuffer(document.data(), std::int64_t(document.size()));
        stream.SetPosition(0);
        if (!script.SetILCode(stream)) {
            fuzz::Require(!script.ErrorMsg.empty());
            return;
        }
        TfsRunGuard run(&script);
        script.Statement().Execute();
    });
    return 0;
}
