// links: vgl_report_foundation
// Reading 1,000, 10,000 and 100,000 sibling components from report XML into one owner, and
// freeing them. Building a tree must cost time linear in its size: the time per component
// ("per_component", in seconds) of the three sizes should stay within a factor of 2.

#include <benchmark/benchmark.h>

#include <string>

#include "platform/rtl/component.h"
#include "platform/rtl/streams.h"
#include "report/foundation/xml_document.h"
#include "report/foundation/xml_serializer.h"

namespace {

using namespace vgl;

std::string MakeDocument(int count) {
    TfrxXMLDocument doc;
    TfrxXMLItem* root = doc.Root();
    root->SetName(u"TComponent");
    for (int i = 0; i < count; ++i) {
        TfrxXMLItem* item = root->Add(u"TComponent");
        item->SetText(u"Name=\"Component" + ToString(std::to_string(i)) + u"\" Tag=\"" +
                      ToString(std::to_string(i % 7)) + u"\"");
    }
    TMemoryStream s;
    doc.SaveToStream(s);
    return std::string(reinterpret_cast<const char*>(s.Memory()), size_t(s.GetSize()));
}

void BM_ReadSiblingComponents(benchmark::State& state) {
    RegisterClass(&TComponent::StaticClassInfo());
    const int count = int(state.range(0));
    const std::string bytes = MakeDocument(count);
    for (auto _ : state) {
        TComponent root(nullptr);
        TStringStream in(bytes);
        TfrxXMLSerializer serializer(&in);
        serializer.ReadRootComponent(&root);
        if (root.ComponentCount() != count || serializer.Errors().Count() != 0)
            state.SkipWithError("the tree was not read whole");
        benchmark::DoNotOptimize(root.Components(count - 1));
    } // the owner frees its components here: part of the measured time
    state.SetItemsProcessed(std::int64_t(state.iterations()) * count);
    // Seconds per component (printed with an SI prefix: "2.1u" is 2.1 µs).
    state.counters["per_component"] = benchmark::Counter(double(state.iterations()) * count,
                                                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadSiblingComponents)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
