#pragma once
// TfrxBaseDialogExportFilter: the base of the exports that have a settings dialog (the PDF and
// image exports). It names the dialog form that belongs to the export. No dialog is ever shown in
// this process: the service writes every export into a stream, so the settings the caller put on
// the filter are the settings used, and nothing is opened after an export.

#include "platform/rtl/ustring.h"
#include "report/model/export_filter.h"

namespace vgl {

class TfrxBaseDialogExportFilter : public TfrxCustomExportFilter {
    VGL_CLASS(TfrxBaseDialogExportFilter, TfrxCustomExportFilter)
    explicit TfrxBaseDialogExportFilter(TComponent* owner) : TfrxCustomExportFilter(owner) {}
    explicit TfrxBaseDialogExportFilter(TfrxNoRegister n) : TfrxCustomExportFilter(n) {}

    /// The class name of the settings dialog form of this export ("TfrxBaseExportDialog" here;
    /// each export with a dialog of its own answers that one's name).
    virtual String ExportDialogClass() const { return u"TfrxBaseExportDialog"; }
    /// mrOk: with `Stream` set no dialog is asked for, and without one no dialog can be shown, so
    /// the filter's settings stand as they are.
    TModalResult ShowModal() override { return mrOk; }
    /// Opens nothing: there is no shell to hand the written file to.
    void AfterFinish() override {}
};

} // namespace vgl
