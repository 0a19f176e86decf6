// links: vgl_report_foundation
// Parsing and writing a report document of about 1 MB.

#include <benchmark/benchmark.h>

#include "platform/rtl/streams.h"
#include "report/foundation/xml_document.h"

namespace {

using namespace vgl;

std::string MakeDocument() {
    TfrxXMLDocument doc;
    TfrxXMLItem* root = doc.Root();
    root->SetName(u"TfrxReport");
    root->SetProp(u"Version", u"6.0");
    for (int page = 0; page < 100; ++page) {
        TfrxXMLItem* p = root->Add(u"TfrxReportPage");
        p->SetProp(u"Name", u"Page" + ToString(std::to_string(page)));
        for (int view = 0; view < 78; ++view) {
            TfrxXMLItem* v = p->Add(u"TfrxMemoView");
            v->SetProp(u"Name", u"Memo" + ToString(std::to_string(view)));
            v->SetProp(u"Left", u"10.5");
            v->SetProp(u"Top", u"20.25");
            v->SetProp(u"Text", u"Parcel <label> & \"text\" \u00e9\r\nsecond line");
        }
    }
    TMemoryStream s;
    doc.SaveToStream(s);
    return std::string(reinterpret_cast<const char*>(s.Memory()), size_t(s.GetSize()));
}

const std::string& Document() {
    static const std::string bytes = MakeDocument();
    return bytes;
}

void BM_ParseReportDocument(benchmark::State& state) {
    const std::string& bytes = Document();
    for (auto _ : state) {
        TStringStream s(bytes);
        TfrxXMLDocument doc;
        doc.LoadFromStream(s);
        benchmark::DoNotOptimize(doc.Root()->Count());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}
BENCHMARK(BM_ParseReportDocument);

void BM_WriteReportDocument(benchmark::State& state) {
    TStringStream in(Document());
    TfrxXMLDocument doc;
    doc.LoadFromStream(in);
    for (auto _ : state) {
        TMemoryStream out;
        doc.SaveToStream(out);
        benchmark::DoNotOptimize(out.GetSize());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(Document().size()));
}
BENCHMARK(BM_WriteReportDocument);

} // namespace
