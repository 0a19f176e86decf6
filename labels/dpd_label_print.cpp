#include "labels/dpd_label_print.h"

#include "platform/rtl/reflection_builder.h"

namespace vgl {

VGL_DEFINE_CLASS(TDMDPDLabelPrint) {}

TDMDPDLabelPrint::TDMDPDLabelPrint(TComponent* owner) : TComponent(owner) {
    DataModuleCreate(this);
}

TDMDPDLabelPrint::~TDMDPDLabelPrint() {
    DataModuleDestroy(this);
}

void TDMDPDLabelPrint::DataModuleCreate(TObject*) {
    // The text lists and the Aztec builder are members, made with the module in their first
    // state; the table of lists cannot be empty (checked at compile time).
    StreamPrinted.reset();
}

void TDMDPDLabelPrint::DataModuleDestroy(TObject*) {
    std::unique_ptr<TStream> stream = std::move(StreamPrinted);
}

void TDMDPDLabelPrint::Clear() {
    Bic3BarcodeTxt.clear();
    Aztec.Clear();
    ForEachTextList([](const String&, TWideStringList& list) { list.Clear(); });
    ForEachFlag([](const String&, bool& flag) { flag = false; });
}

void TDMDPDLabelPrint::SetText(TStrings& list, StringView value) {
    list.SetText(value);
}

void TDMDPDLabelPrint::AddLine(TStrings& list, const String& value) {
    list.Add(value);
}

void TDMDPDLabelPrint::ForEachTextList(const std::function<void(const String& name, TWideStringList& list)>& f) {
#define VGL_DPD_LABEL_VISIT_LIST(Name) f(u"" #Name, Name);
    VGL_DPD_LABEL_TEXT_LISTS(VGL_DPD_LABEL_VISIT_LIST)
#undef VGL_DPD_LABEL_VISIT_LIST
}

void TDMDPDLabelPrint::ForEachFlag(const std::function<void(const String& name, bool& flag)>& f) {
#define VGL_DPD_LABEL_VISIT_FLAG(Name) f(u"" #Name, Name);
    VGL_DPD_LABEL_FLAGS(VGL_DPD_LABEL_VISIT_FLAG)
#undef VGL_DPD_LABEL_VISIT_FLAG
}

} // namespace vgl
