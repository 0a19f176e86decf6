// Prototypes of host functions and methods. The first byte sets the script's extended
// character set; the rest is the prototype text, read as Latin-1. The parsed item must hold
// only what the text could give, and a method helper built from it must be consistent.
// links: vgl_script_engine
#include "fuzz/fuzz_input.h"
#include "script/engine/script.h"
#include "script/engine/script_tools.h"

using namespace vgl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::FuzzInput in(data, size);
    const std::uint8_t flags = in.Byte();
    fuzz::Guarded([&] {
        TfsScript script(nullptr);
        script.ExtendedCharset = flags & 1;
        script.AddType(u"Integer", fvtInt);
        script.AddType(u"String", fvtString);
        script.AddConst(u"Limit", u"Integer", 10);
        const String text = in.RestAsLatin1();
        std::unique_ptr<TfsCustomVariable> proto = fsParsePrototype(text, &script);
        // Every parameter has a name of at least one character taken from the text.
        fuzz::Require(size_t(proto->Count()) <= text.size());
        for (int i = 0; i < proto->Count(); ++i)
            fuzz::Require(!proto->GetParam(i)->Name.empty());
        TfsMethodHelper helper(text, &script);
        fuzz::Require(helper.Count() == proto->Count());
        fuzz::Require(helper.GetNumberOfRequiredParams() <= helper.Count());
    });
    return 0;
}
