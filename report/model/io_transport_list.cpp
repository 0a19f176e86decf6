#include "report/model/io_transport_list.h"

#include "platform/rtl/scope_guard.h"
#include "platform/rtl/string_list.h"

namespace vgl {

void FillIOTransportsList(TStrings& list, TfrxFilterVisibleState state) {
    list.Clear();
    list.BeginUpdate();
    const TScopeExit endUpdate([&] { list.EndUpdate(); });
    for (TfrxCustomIOTransport* transport : GetIOTransportsCollection().Items())
        if (transport->Visibility().Contains(state))
            list.AddObject(transport->GetDescription(), transport);
}

TfrxFilterVisibleState FileFilterVisibleState(TfrxFilterVisibleState state) {
    switch (state) {
    case fvDesigner:
        return fvDesignerFileFilter;
    case fvPreview:
        return fvPreviewFileFilter;
    case fvExport:
        return fvExportFileFilter;
    default:
        return fvOther;
    }
}

} // namespace vgl
