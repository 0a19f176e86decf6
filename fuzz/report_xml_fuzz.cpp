// The report engine's XML reader: whole and partial loading, loading unloaded nodes on demand,
// attribute lookup, and reading back what the writer makes of a loaded tree.
// links: vgl_report_foundation
#include <functional>
#include <memory>

#include "fuzz/fuzz_input.h"
#include "platform/rtl/streams.h"
#include "report/foundation/xml_document.h"

using namespace vgl;

namespace {

// The attribute names in an item's raw attribute text, plus a few the engine asks for.
void ReadProps(const TfrxXMLItem& item) {
    const String& text = item.Text();
    size_t start = 0;
    while (start < text.size()) {
        size_t eq = text.find(u'=', start);
        if (eq == String::npos)
            break;
        size_t nameStart = text.rfind(u' ', eq);
        nameStart = nameStart == String::npos || nameStart < start ? start : nameStart + 1;
        fuzz::Guarded([&] { item.GetProp(text.substr(nameStart, eq - nameStart)); });
        start = eq + 1;
    }
    for (const char16_t* name : {u"Name", u"ld", u"", u"\""})
        fuzz::Guarded([&] { item.GetProp(name); });
}

void Visit(TfrxXMLDocument& doc, TfrxXMLItem& item, bool unload) {
    if (!item.Loaded()) {
        doc.LoadItem(item);
        if (unload && item.Unloadable()) {
            doc.UnloadItem(item); // moves the children to the temporary file and back
            doc.LoadItem(item);
        }
    }
    ReadProps(item);
    for (int i = 0; i < item.Count(); ++i)
        Visit(doc, *item.Items(i), unload);
}

std::unique_ptr<TStream> StreamOf(const std::uint8_t* data, size_t size) {
    return std::make_unique<TBytesStream>(std::span<const std::uint8_t>(data, size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    // Whole load; a tree that loaded must survive being written and read again.
    fuzz::Guarded([&] {
        TfrxXMLDocument doc;
        auto stream = StreamOf(data, size);
        doc.LoadFromStream(*stream);
        Visit(doc, *doc.Root(), false);
        TMemoryStream saved;
        doc.SaveToStream(saved);
        saved.SetPosition(0);
        TfrxXMLDocument again;
        try {
            again.LoadFromStream(saved);
        } catch (const Exception&) {
            fuzz::Require(false); // the writer produced something its reader refuses
        }
    });
    // Partial load: unloaded nodes are read from the taken-over stream on demand.
    fuzz::Guarded([&] {
        TfrxXMLDocument doc;
        doc.AutoIndent = true;
        doc.LoadFromStream(StreamOf(data, size), true);
        Visit(doc, *doc.Root(), true);
        TMemoryStream saved;
        doc.SaveToStream(saved);
    });
    return 0;
}
