#include "report/model/report_model_init.h"

#include <memory>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/reflection.h"
#include "report/foundation/gui_thread.h"
#include "report/foundation/report_variables.h"
#include "report/foundation/resource_strings.h"
#include "report/model/bands.h"
#include "report/model/barcode_view.h"
#include "report/model/data_page.h"
#include "report/model/data_set.h"
#include "report/model/engine.h"
#include "report/model/fills.h"
#include "report/model/io_transport.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/outline.h"
#include "report/model/picture_view.h"
#include "report/model/preview_pages.h"
#include "report/model/report.h"
#include "report/model/report_page.h"
#include "report/model/shape_view.h"
#include "report/model/styles.h"
#include "report/model/view.h"

namespace vgl {

namespace {

std::unique_ptr<TfrxVariables>& GlobalVariables() {
    static std::unique_ptr<TfrxVariables> variables;
    return variables;
}

bool& Initialized() {
    static bool initialized = false;
    return initialized;
}

// The report classes read by name from stored templates; later classes join this list.
const std::vector<TClass>& ReportClasses() {
    static const std::vector<TClass> classes = [] {
        std::vector<TClass> list = {&TfrxReport::StaticClassInfo()};
        list.push_back(&TfrxReportPage::StaticClassInfo());
        list.push_back(&TfrxDialogPage::StaticClassInfo());
        for (TClass band : BandClasses())
            list.push_back(band);
        list.push_back(&TfrxSubreport::StaticClassInfo());
        list.push_back(&TfrxPictureView::StaticClassInfo());
        list.push_back(&TfrxDigitalSignatureView::StaticClassInfo());
        list.push_back(&TfrxCustomLineView::StaticClassInfo());
        list.push_back(&TfrxLineView::StaticClassInfo());
        list.push_back(&TfrxDataPage::StaticClassInfo());
        list.push_back(&TfrxUserDataSet::StaticClassInfo());
        list.push_back(&TfrxCustomMemoView::StaticClassInfo());
        list.push_back(&TfrxMemoView::StaticClassInfo());
        list.push_back(&TfrxSysMemoView::StaticClassInfo());
        list.push_back(&TfrxShapeView::StaticClassInfo());
        list.push_back(&TfrxStyleItem::StaticClassInfo());
        list.push_back(&TfrxFrame::StaticClassInfo());
        list.push_back(&TfrxHighlight::StaticClassInfo());
        return list;
    }();
    return classes;
}

} // namespace

std::shared_mutex& frxGlobalVariablesMutex() {
    static std::shared_mutex mutex;
    return mutex;
}

TfrxGlobalVariablesLock::TfrxGlobalVariablesLock()
    : FLock(frxGlobalVariablesMutex()), FVariables(GlobalVariables().get()) {}

bool frxGetGlobalVariable(const String& name, Variant& value) {
    std::shared_lock lock(frxGlobalVariablesMutex());
    const TfrxVariables* variables = GlobalVariables().get();
    if (!variables)
        return false;
    const int index = variables->IndexOf(name);
    if (index < 0)
        return false;
    value = variables->Items(index)->Value();
    return true;
}

void frxSetGlobalVariable(const String& name, const Variant& value) {
    TfrxGlobalVariablesLock lock;
    if (!lock.Variables())
        throw EInvalidOperation(u"The global report variables do not exist before the report model starts");
    lock.Variables()->SetVariable(name, value);
}

void InitializeReportModel() {
    if (Initialized())
        return;
    SetMainGuiThread();
    // Exports write files unless another unit chose a transport before.
    SetTransportClassesAtStartUp();
    // Reports keep their prepared pages in the store and its outline unless another unit chose.
    if (auto previous = SetPreviewPagesClass(CreateTfrxPreviewPages))
        SetPreviewPagesClass(std::move(previous));
    if (auto previous = SetOutlineClass([](TfrxCustomPreviewPages* pages) -> std::unique_ptr<TfrxCustomOutline> {
            return std::make_unique<TfrxOutline>(pages);
        }))
        SetOutlineClass(std::move(previous));
    // Reports lay out their pages with the layout engine unless another unit chose.
    if (auto previous = SetEngineClass([](TfrxComponent* report) -> std::unique_ptr<TfrxCustomEngine> {
            return std::make_unique<TfrxEngine>(report);
        }))
        SetEngineClass(std::move(previous));
    {
        std::unique_lock lock(frxGlobalVariablesMutex());
        GlobalVariables() = std::make_unique<TfrxVariables>();
    }
    for (TClass cls : ReportClasses())
        RegisterClass(cls);
    RegisterBarcodeView();
    frxResourcesInstance().UpdateFSResources();
    Initialized() = true;
}

void FinalizeReportModel() {
    if (!Initialized())
        return;
    {
        std::unique_lock lock(frxGlobalVariablesMutex());
        GlobalVariables().reset();
    }
    for (TClass cls : ReportClasses())
        if (GetClass(cls->Name()) == cls)
            UnRegisterClass(cls);
    UnregisterBarcodeView();
    if (GetClass(u"TfrxBarCodeView") == &TfrxBarCodeView::StaticClassInfo())
        UnRegisterClass(&TfrxBarCodeView::StaticClassInfo());
    Initialized() = false;
}

} // namespace vgl
