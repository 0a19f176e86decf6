// The script engine's XML reader (grammars, compiled programs), attribute lookup and reading back
// what its writer makes of a loaded tree.
// links: vgl_script_engine
#include "fuzz/fuzz_input.h"
#include "platform/rtl/streams.h"
#include "script/engine/script_xml.h"

using namespace vgl;

namespace {

void ReadProps(const TfsXMLItem& item) {
    const String& text = item.Text();
    size_t start = 0;
    while (start < text.size()) {
        size_t eq = text.find(u'=', start);
        if (eq == String::npos)
            break;
        size_t nameStart = text.rfind(u' ', eq);
        nameStart = nameStart == String::npos || nameStart < start ? start : nameStart + 1;
        fuzz::Guarded([&] { item.GetProp(StringView(text).substr(nameStart, eq - nameStart)); });
        start = eq + 1;
    }
    for (const char16_t* name : {u"text", u"", u"\""})
        fuzz::Guarded([&] { item.GetProp(name); });
    for (int i = 0; i < item.Count(); ++i)
        ReadProps(*item.Items(i));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    fuzz::Guarded([&] {
        TfsXMLDocument doc;
        TBytesStream stream(std::span<const std::uint8_t>(data, size));
        doc.LoadFromStream(stream);
        ReadProps(*doc.Root());
        fuzz::Guarded([&] { fsXMLUnescapeText(doc.Root()->Text()); });

        // A loaded tree must survive being written and read again, with and without indentation.
        for (bool indent : {false, true}) {
            doc.SetAutoIndent(indent);
            TMemoryStream saved;
            doc.SaveToStream(saved);
            saved.SetPosition(0);
            TfsXMLDocument again;
            try {
                again.LoadFromStream(saved);
            } catch (const Exception&) {
                fuzz::Require(false); // the writer produced something its reader refuses
            }
        }
    });
    return 0;
}
