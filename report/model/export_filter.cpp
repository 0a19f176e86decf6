#include "report/model/export_filter.h"

#include <algorithm>
#include <mutex>

#include "platform/graphics/geometry.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/format.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/string_list.h"
#include "report/foundation/utilities.h"
#include "report/model/report_component.h"
#include "report/model/report_services.h"

namespace vgl {

VGL_DEFINE_ENUM(TfrxShowDialogOption, u"doShowExportSettings", u"doShowSaveDialog")
VGL_DEFINE_SET(TfrxShowDialogOptions, TfrxShowDialogOption)

VGL_DEFINE_CLASS(TfrxCustomExportFilter) {
    using T = TfrxCustomExportFilter;
    b.Property(u"ExportNotPrintable", &T::ExportNotPrintable, &T::SetExportNotPrintable).Default(false);
    b.Property(u"FileName", &T::FileName, &T::SetFileName);
    b.Property(u"ShowDialogOptions", &T::ShowDialogOptions, &T::SetShowDialogOptions)
        .Default(TfrxShowDialogOptions{doShowExportSettings, doShowSaveDialog});
    b.Property(u"ShowDialog", &T::ShowDialog, &T::SetShowDialog).Stored(false);
    b.Property(u"UseFileCache", &T::UseFileCache, &T::SetUseFileCache);
    b.Property(u"DefaultPath", &T::DefaultPath, &T::SetDefaultPath);
    b.Property(u"ShowProgress", &T::ShowProgress, &T::SetShowProgress);
    b.Property(u"OverwritePrompt", &T::OverwritePrompt, &T::SetOverwritePrompt);
    b.Property(u"OnBeforeExport", &T::OnBeforeExport).Type(EventTypeInfo<TfrxExportNotifyEvent>(u"TNotifyEvent"));
    b.Property(u"OnBeginExport", &T::OnBeginExport).Type(EventTypeInfo<TfrxExportNotifyEvent>(u"TNotifyEvent"));
    b.Property(u"CreationTime", &T::CreationTime, &T::SetCreationTime).Type(DateTimeTypeInfo());
    b.Property(u"DataOnly", &T::DataOnly, &T::SetDataOnly);
    b.Property(u"IOTransport", &T::IOTransport, &T::SetIOTransport);
}

namespace {

bool IsSeparator(Char c) {
    return c == u'/' || c == u'\\';
}

/// The folder part of a name, up to and including its last "/" or "\" (empty without one).
String FolderOf(const String& name) {
    for (size_t i = name.size(); i > 0; --i)
        if (IsSeparator(name[i - 1]))
            return name.substr(0, i);
    return {};
}

} // namespace

// ---- TfrxCustomExportFilter -------------------------------------------------------------------

TfrxCustomExportFilter::TfrxCustomExportFilter(TComponent* owner) : TComponent(owner) {
    GetExportFilterCollection().Register(this);
}

TfrxCustomExportFilter::TfrxCustomExportFilter(TfrxNoRegister) : TComponent(nullptr), FNoRegister(true) {}

TfrxCustomExportFilter::~TfrxCustomExportFilter() {
    if (!FNoRegister)
        GetExportFilterCollection().Unregister(this);
    FFiles.reset();
    FDefaultIOTransport.reset();
}

void TfrxCustomExportFilter::SetShowDialog(bool value) {
    FShowDialogOptions =
        value ? TfrxShowDialogOptions{doShowExportSettings, doShowSaveDialog} : TfrxShowDialogOptions{};
}

void TfrxCustomExportFilter::SetFiles(std::unique_ptr<TStringList> value) {
    FFiles = std::move(value);
}

void TfrxCustomExportFilter::SetFileName(const String& value) {
    FName = value;
    if (FIOTransport) {
        FIOTransport->SetBasePath(FolderOf(value));
        FIOTransport->SetFileName(value);
    }
}

TfrxCustomIOTransport* TfrxCustomExportFilter::GetDefaultIOTransport() {
    if (!FDefaultIOTransport)
        return CreateDefaultIOTransport();
    return FDefaultIOTransport.get();
}

void TfrxCustomExportFilter::SetDefaultIOTransport(std::unique_ptr<TfrxCustomIOTransport> value) {
    if (FIOTransport && FIOTransport == FDefaultIOTransport.get())
        FIOTransport = nullptr;
    FDefaultIOTransport = std::move(value);
}

TfrxCustomIOTransport* TfrxCustomExportFilter::CreateDefaultIOTransport() {
    // No dialog transport class exists in this system: always the default class.
    const TfrxIOTransportClass cls = frxDefaultIOTransportClass();
    if (!cls)
        throw EInvalidOperation(u"No default transport class is set");
    FDefaultIOTransport = cls.CreateNoRegister();
    return FDefaultIOTransport.get();
}

bool TfrxCustomExportFilter::DoStart() {
    BeforeStart();
    return Start();
}

void TfrxCustomExportFilter::DoFinish() {
    Finish();
    AfterFinish();
}

void TfrxCustomExportFilter::BeforeStart() {
    if (FSlaveExport && FName.empty()) {
        IfrxReportServices* report = ReportServicesOf(FReport);
        const String reportFile = report ? report->FileName() : String();
        String name;
        if (!reportFile.empty())
            name = ChangeFileExt(GetTempFolder() + ExtractFileName(reportFile), FDefaultExt);
        else {
            // The placeholder made to reserve a fresh name is removed: the export writes the
            // name with its own extension.
            const String placeholder = GetTempFileNameInTemp();
            DeleteFile(placeholder);
            name = ChangeFileExt(placeholder, FDefaultExt);
        }
        SetFileName(name);
        if (FIOTransport)
            FIOTransport->SetBasePath(FolderOf(name));
    }
    if (!FName.empty() && FolderOf(FName).empty() && !FDefaultPath.empty())
        FName = IsSeparator(FDefaultPath.back()) ? FDefaultPath + FName : FDefaultPath + u"/" + FName;
}

// ---- The export-filter registry ---------------------------------------------------------------

void TfrxExportFilterCollection::Register(TfrxCustomExportFilter* filter) {
    if (!filter)
        return;
    std::unique_lock lock(FLock);
    if (std::find(FItems.begin(), FItems.end(), filter) == FItems.end())
        FItems.push_back(filter);
}

void TfrxExportFilterCollection::Unregister(TfrxCustomExportFilter* filter) {
    std::unique_lock lock(FLock);
    std::erase(FItems, filter);
}

int TfrxExportFilterCollection::Count() const {
    std::shared_lock lock(FLock);
    return int(FItems.size());
}

TfrxCustomExportFilter* TfrxExportFilterCollection::GetExportFilterItem(int index) const {
    std::shared_lock lock(FLock);
    if (index < 0 || index >= int(FItems.size()))
        throw EListError(Format(u"List index out of bounds (%d)", {index}));
    return FItems[std::size_t(index)];
}

std::vector<TfrxCustomExportFilter*> TfrxExportFilterCollection::Items() const {
    std::shared_lock lock(FLock);
    return FItems;
}

TfrxExportFilterCollection& GetExportFilterCollection() {
    static TfrxExportFilterCollection collection;
    return collection;
}

} // namespace vgl
