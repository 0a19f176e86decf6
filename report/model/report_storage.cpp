// The report's XML storage, its data-set list and the checks made after loading.

#include <filesystem>
#include <memory>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/format.h"
#include "platform/rtl/scope_guard.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/ustring.h"
#include "report/foundation/resource_strings.h"
#include "report/foundation/utilities.h"
#include "report/foundation/xml_document.h"
#include "report/foundation/xml_item.h"
#include "report/model/data_page.h"
#include "report/model/data_set.h"
#include "report/model/report.h"
#include "report/model/report_commands.h"
#include "report/model/report_compression.h"

namespace vgl {

namespace {

String ResourceText(const String& name) {
    return frxResourcesInstance().Get(name);
}

/// The stored form of a password: every code unit lowered by 10. A form the XML writer cannot
/// keep (a NUL, or surrogates no longer paired) would make a template that never opens again.
String LowerPassword(const String& password) {
    String result(password.size(), u'\0');
    for (size_t i = 0; i < password.size(); ++i)
        result[i] = Char(char16_t(password[i] - 10));
    for (size_t i = 0; i < result.size(); ++i) {
        const char16_t c = result[i];
        bool bad = c == 0;
        if (IsHighSurrogate(c))
            bad = i + 1 >= result.size() || !IsLowSurrogate(result[i + 1]) || (++i, false);
        else if (IsLowSurrogate(c))
            bad = true;
        if (bad)
            throw Exception(u"The report password cannot be stored: one of its characters has no stored form");
    }
    return result;
}

/// An instance of the registered compressor or crypter class, or none while none is registered.
template <class T> std::unique_ptr<T> MakeCodec(TClass cls) {
    if (!cls || !cls->CanCreate())
        return nullptr;
    std::unique_ptr<TObject> made = cls->Create();
    auto* codec = dynamic_cast<T*>(made.get());
    if (!codec)
        return nullptr;
    made.release();
    return std::unique_ptr<T>(codec);
}

String RaisePassword(const String& stored) {
    String result(stored);
    for (Char& c : result)
        c = Char(char16_t(c + 10));
    return result;
}

} // namespace

// ---- Data sets --------------------------------------------------------------------------------

TfrxDataSet* TfrxReport::FindDataSet(TfrxDataSet* dataSet, const String& name) const {
    if (name.empty())
        return nullptr;
    if (FEngineOptions->UseGlobalDataSetList())
        return FindGlobalDataSet(dataSet, name, const_cast<TfrxReport*>(this));
    const TfrxDataSetItem* item = FEnabledDataSets->Find(name);
    return item ? item->DataSet() : nullptr;
}

TfrxDataSet* TfrxReport::GetDataset(const String& alias) const {
    const TfrxDataSetItem* item = FDataSets->Find(alias);
    return item ? item->DataSet() : nullptr;
}

String TfrxReport::GetAlias(const TfrxDataSet* dataSet) const {
    if (!dataSet)
        return {};
    if (FDataSets->Find(dataSet))
        return dataSet->UserName();
    return ResourceText(u"clDSNotIncl");
}

void TfrxReport::GetDatasetAndField(const String& complexName, TfrxDataSet*& dataSet, String& field) const {
    dataSet = nullptr;
    field.clear();
    const size_t at = complexName.find(u".\"");
    if (at == String::npos)
        return;
    dataSet = GetDataset(complexName.substr(0, at));
    field = complexName.substr(at + 2);
    if (!field.empty())
        field.pop_back();
}

void TfrxReport::GetDataSetList(TStringList& list, bool onlyDB) const {
    list.Clear();
    for (int i = 0; i < FDataSets->Count(); ++i) {
        TfrxDataSet* ds = FDataSets->Items(i)->DataSet();
        if (!ds || (onlyDB && dynamic_cast<TfrxUserDataSet*>(ds)))
            continue;
        list.AddObject(ds->UserName(), ds);
    }
}

void TfrxReport::GetActiveDataSetList(TStringList& list) const {
    if (FEngineOptions->UseGlobalDataSetList()) {
        GetGlobalDataSetList(list);
        return;
    }
    list.Clear();
    for (int i = 0; i < FEnabledDataSets->Count(); ++i)
        if (TfrxDataSet* ds = FEnabledDataSets->Items(i)->DataSet())
            list.AddObject(ds->UserName(), ds);
}

TComponent* TfrxReport::FindObject(StringView name) const {
    if (TComponent* found = TfrxComponent::FindObject(String(name)))
        return found;
    if (!IsLoading() || FEngineOptions->UseGlobalDataSetList() || FEnabledDataSets->Count() == 0)
        return nullptr;
    const size_t dot = name.rfind(u'.');
    const String dataSetName(dot == StringView::npos ? name : name.substr(dot + 1));
    const TfrxDataSetItem* item = FEnabledDataSets->Find(dataSetName);
    return item ? item->DataSet() : nullptr;
}

void TfrxReport::RepairDataSets() {
    // The stored entries name their data sets like references: now that the tree is read, a data
    // set of the template itself answers first, then the one the report looks up by that name.
    for (int i = 0; i < FDataSets->Count(); ++i) {
        TfrxDataSetItem* item = FDataSets->Items(i);
        const String name = item->DataSetName();
        if (name.empty())
            continue;
        TfrxDataSet* found = nullptr;
        for (TfrxComponent* object : AllObjects())
            if (auto* ds = dynamic_cast<TfrxDataSet*>(object); ds && AnsiSameText(ds->UserName(), name)) {
                found = ds;
                break;
            }
        if (!found)
            found = FindDataSet(nullptr, name);
        if (found)
            item->SetDataSet(found);
    }
    if (FEngineOptions->UseGlobalDataSetList())
        return;
    std::vector<TfrxDataSet*> kept;
    for (int i = 0; i < FDataSets->Count(); ++i) {
        TfrxDataSet* ds = FDataSets->Items(i)->DataSet();
        if (!ds)
            continue;
        const TfrxDataSetItem* enabled = FEnabledDataSets->Find(ds->UserName());
        if (enabled && enabled->DataSet()->Enabled())
            kept.push_back(enabled->DataSet());
        else if (!ds->Owner() || InheritsFromClassName(ds->Owner(), u"TfrxComponent"))
            kept.push_back(ds);
    }
    FDataSets->Clear();
    for (TfrxDataSet* ds : kept)
        FDataSets->Add(ds);
}

// ---- Nested items -----------------------------------------------------------------------------

void TfrxReport::WriteNestedProperties(TfrxXMLItem& item, TPersistent*) {
    if (FDataSets->Count() > 0) {
        TfrxXMLItem& list = *item.Add(u"Datasets");
        TfrxXMLSerializer serializer;
        for (int i = 0; i < FDataSets->Count(); ++i)
            list.Add(u"item")->SetText(serializer.ObjToXML(FDataSets->Items(i)));
    }
    if (FVariables.Count() > 0)
        FVariables.SaveToXMLItem(*item.Add(u"Variables"));
    if (FStyles->Count() > 0) {
        TfrxXMLItem& styles = *item.Add();
        FStyles->SaveToXMLItem(styles);
        styles.SetName(u"Styles");
    }
}

bool TfrxReport::ReadNestedProperty(TfrxXMLItem& item) {
    const bool oldFormat = FXMLSerializer && FXMLSerializer->OldFormat;
    if (SameText(item.Name(), u"Datasets")) {
        FDataSets->Clear();
        TfrxXMLSerializer serializer;
        serializer.OldFormat = oldFormat;
        for (int i = 0; i < item.Count(); ++i) {
            TfrxXMLItem& child = *item.Items(i);
            if (SameText(child.Name(), u"item"))
                serializer.XMLToObj(child.Text(), *FDataSets->TCollection::Add());
        }
        for (int i = 0; i < serializer.Errors().Count(); ++i)
            FErrors.Add(serializer.Errors().Get(i));
        return true;
    }
    if (SameText(item.Name(), u"Variables")) {
        FVariables.LoadFromXMLItem(item, oldFormat);
        return true;
    }
    if (SameText(item.Name(), u"Styles")) {
        FStyles->LoadFromXMLItem(item, oldFormat);
        return true;
    }
    return false;
}

// ---- Loading and saving -----------------------------------------------------------------------

void TfrxReport::LoadFromStream(TStream& stream) {
    if (IsReportActionRunning()) {
        FCommandManager->AddCommand(std::make_shared<TfrxLoadFromStreamCommand>(this, stream));
        return;
    }
    FErrors.Clear();
    const auto reportErrors = [this] {
        ReportErrorMessage(FEngineOptions->NewSilentMode(), ResourceText(u"clErrors") + u"\r\n" + FErrors.Text());
    };

    // A registered compressor or crypter reads the stream first; each says whether the stream
    // was compressed or encrypted at all.
    TStream* source = &stream;
    std::unique_ptr<TfrxCustomCompressor> compressor = MakeCodec<TfrxCustomCompressor>(frxCompressorClass());
    if (compressor) {
        compressor->SetReport(this);
        compressor->SetIsTemplateFile(true);
        try {
            if (compressor->Decompress(*source)) {
                source = compressor->Stream();
                source->SetPosition(0);
            }
        } catch (const Exception&) {
            FErrors.Add(ResourceText(u"clDecompressError"));
            reportErrors();
            return;
        }
    }
    FReportOptions->SetPassword(FReportOptions->HiddenPassword());
    bool decrypted = false;
    std::unique_ptr<TfrxCustomCrypter> crypter = MakeCodec<TfrxCustomCrypter>(frxCrypterClass());
    if (crypter) {
        try {
            decrypted = crypter->Decrypt(*source, StringToAnsi(FReportOptions->Password()));
        } catch (const Exception&) {
            FErrors.Add(ResourceText(u"clDecryptError"));
            reportErrors();
            return;
        }
        if (decrypted) {
            source = crypter->Stream();
            source->SetPosition(0);
        }
    }

    // What belongs to the program rather than to the template.
    TfrxEngineOptions engine;
    FEngineOptions->SetPrintIfEmpty(true);
    engine.Assign(FEngineOptions.get());
    engine.AssignThreadProps(FEngineOptions.get());
    TfrxPreviewOptions preview;
    preview.Assign(FPreviewOptions.get());
    const String iniFile = FIniFile;
    TfrxCustomPreview* attached = FPreview;
    const bool oldStyleProgress = FOldStyleProgress, showProgress = FShowProgress, storeInDFM = FStoreInDFM;

    const auto restoreOptions = [&] {
        const bool convertNulls = FEngineOptions->ConvertNulls(), ignoreDevByZero = FEngineOptions->IgnoreDevByZero(),
                   ignoreExprError = FEngineOptions->IgnoreExprError(), doublePass = FEngineOptions->DoublePass(),
                   printIfEmpty = FEngineOptions->PrintIfEmpty();
        FEngineOptions->Assign(&engine);
        FEngineOptions->AssignThreadProps(&engine);
        FEngineOptions->SetConvertNulls(convertNulls);
        FEngineOptions->SetIgnoreDevByZero(ignoreDevByZero);
        FEngineOptions->SetIgnoreExprError(ignoreExprError);
        FEngineOptions->SetDoublePass(doublePass);
        FEngineOptions->SetPrintIfEmpty(printIfEmpty);
        const bool outlineVisible = FPreviewOptions->OutlineVisible(), outlineExpand = FPreviewOptions->OutlineExpand(),
                   thumbnailVisible = FPreviewOptions->ThumbnailVisible();
        const int outlineWidth = FPreviewOptions->OutlineWidth(), pagesInCache = FPreviewOptions->PagesInCache();
        FPreviewOptions->Assign(&preview);
        FPreviewOptions->SetOutlineVisible(outlineVisible);
        FPreviewOptions->SetOutlineExpand(outlineExpand);
        FPreviewOptions->SetThumbnailVisible(thumbnailVisible);
        FPreviewOptions->SetOutlineWidth(outlineWidth);
        FPreviewOptions->SetPagesInCache(pagesInCache);
        FIniFile = iniFile;
        FPreview = attached;
        FOldStyleProgress = oldStyleProgress;
        FShowProgress = showProgress;
        FStoreInDFM = storeInDFM;
    };

    FStreamLoaded = true;
    try {
        TfrxComponent::LoadFromStream(*source);
    } catch (const Exception& e) {
        FStreamLoaded = false;
        // Text that is no XML after a decryption means the key was wrong.
        FErrors.Add(decrypted && dynamic_cast<const TfrxInvalidXMLException*>(&e) ? ResourceText(u"Invalid password")
                                                                                  : e.Message());
    }
    crypter.reset();
    compressor.reset();
    CheckDataPage();
    RepairDataSets();
    restoreOptions();
    if (!decrypted)
        FReportOptions->SetPassword(RaisePassword(FReportOptions->Password()));

    if (!FReportOptions->Info() && (FReloading || FEngineOptions->EnableThreadSafe() || decrypted || CheckPassword())) {
        if (FErrors.Count() > 0)
            reportErrors();
    } else {
        Clear();
    }
}

void TfrxReport::SaveToStream(TStream& stream, bool saveChildren, bool saveDefaultValues, bool streaming) {
    const String password = FReportOptions->Password();
    std::unique_ptr<TfrxCustomCompressor> compressor;
    if (FReportOptions->Compressed())
        compressor = MakeCodec<TfrxCustomCompressor>(frxCompressorClass());
    std::unique_ptr<TfrxCustomCrypter> crypter;
    if (!password.empty())
        crypter = MakeCodec<TfrxCustomCrypter>(frxCrypterClass());
    TStream* target = &stream;
    if (compressor) {
        compressor->SetReport(this);
        compressor->SetIsTemplateFile(true);
        compressor->CreateStream();
        target = compressor->Stream();
    }
    if (crypter) {
        crypter->CreateStream();
        target = crypter->Stream();
    }

    FReportOptions->SetPrevPassword(password);
    // Without a crypter the password is kept in the template in its lowered form.
    if (!crypter)
        FReportOptions->SetPassword(LowerPassword(password));
    {
        const TScopeExit restorePassword([&] { FReportOptions->SetPassword(password); });
        TfrxCustomPreview* attached = FPreview;
        FPreview = nullptr;
        const TScopeExit reattach([&] { FPreview = attached; });
        TfrxComponent::SaveToStream(*target, saveChildren, saveDefaultValues, streaming);
    }
    if (crypter) {
        crypter->Stream()->SetPosition(0);
        crypter->Encrypt(compressor ? *compressor->Stream() : stream, StringToAnsi(password));
    }
    if (compressor) {
        compressor->Stream()->SetPosition(0);
        compressor->Compress(stream);
    }
}

void TfrxReport::CheckDataPage() {
    for (TfrxComponent* child : Objects().Items())
        if (dynamic_cast<TfrxDataPage*>(child))
            return;
    auto page = std::make_unique<TfrxDataPage>(this);
    if (TfrxComponent::FindObject(String(u"Data")))
        page->CreateUniqueName(this);
    else
        page->SetName(u"Data");
    TfrxDataPage* dataPage = page.release();
    dataPage->SetParent(this);
    // The data page leads the pages.
    TfrxObjectsNotifyList& list = const_cast<TfrxObjectsNotifyList&>(Objects());
    if (list.IndexOf(dataPage) > 0) {
        list.Extract(dataPage);
        list.Insert(0, dataPage);
    }
    long double left = 60;
    for (TfrxComponent* object : std::vector<TfrxComponent*>(AllObjects()))
        if (dynamic_cast<TfrxDialogComponent*>(object) && object->Parent() != dataPage) {
            object->SetParent(dataPage);
            object->SetLeft(left);
            object->SetTop(20);
            left += 64;
        }
}

bool TfrxReport::CheckPassword() {
    const String& password = FReportOptions->Password();
    if (password.empty() || password == FReportOptions->PrevPassword() || password == FReportOptions->HiddenPassword())
        return true;
    FErrors.Add(ResourceText(u"Invalid password"));
    ReportErrorMessage(FEngineOptions->NewSilentMode(), ResourceText(u"clErrors") + u"\r\n" + FErrors.Text());
    return false;
}

// ---- Files and transports ---------------------------------------------------------------------

namespace {

bool IsAbsoluteName(const String& name) {
    return (!name.empty() && (name[0] == u'/' || name[0] == u'\\')) || (name.size() > 1 && name[1] == u':');
}

/// `path` relative to `folder` (both taken from the current folder when relative); `path`
/// itself when no relative form exists.
String RelativeTo(const String& folder, const String& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path base = fs::absolute(fs::path(StringToUtf8(folder.empty() ? String(u".") : folder)), error);
    const fs::path target = fs::absolute(fs::path(StringToUtf8(path)), error);
    if (error)
        return path;
    const fs::path relative = target.lexically_normal().lexically_relative(base.lexically_normal());
    return relative.empty() ? path : Utf8ToString(relative.generic_string());
}

} // namespace

bool TfrxReport::LoadFromFile(const String& fileName, bool exceptionIfNotFound) {
    if (IsReportActionRunning()) {
        FCommandManager->AddCommand(std::make_shared<TfrxLoadFromFileCommand>(this, fileName, exceptionIfNotFound));
        return false;
    }
    Clear();
    const bool exists = FileExists(fileName);
    FFileName = exists ? fileName : String();
    if (!exists && !exceptionIfNotFound)
        return false;
    TfrxIOTransportFile transport{TfrxNoRegister{}};
    transport.SetBasePath(ExtractFilePath(fileName));
    // A missing file raises the file stream's EFOpenError here.
    return ProcessIOTransport(&transport, fileName, faRead) && exists;
}

void TfrxReport::SaveToFile(const String& fileName) {
    const String folder = ExtractFilePath(fileName);
    if (IsAbsoluteName(FParentReport))
        FParentReport = RelativeTo(folder, FParentReport);
    // The parent is named from the target's folder now: the report is taken as coming from there.
    FFileName = fileName;
    TfrxIOTransportFile transport{TfrxNoRegister{}};
    transport.SetBasePath(folder);
    ProcessIOTransport(&transport, fileName, faWrite);
}

bool TfrxReport::LoadFromFilter(TfrxCustomIOTransport* filter, const String& fileName) {
    if (!filter)
        throw EArgumentException(u"No transport to load the report from");
    if (IsReportActionRunning()) {
        FCommandManager->AddCommand(std::make_shared<TfrxLoadFromCommand>(this, *filter, fileName));
        return false;
    }
    return ProcessIOTransport(filter, fileName, faRead);
}

bool TfrxReport::SaveToFilter(TfrxCustomIOTransport* filter, const String& fileName) {
    if (!filter)
        throw EArgumentException(u"No transport to save the report into");
    return ProcessIOTransport(filter, fileName, faWrite);
}

bool TfrxReport::ProcessIOTransport(TfrxCustomIOTransport* filter, const String& fileName, TfrxFilterAccess access) {
    if (!filter)
        throw EArgumentException(u"No transport for the report");
    filter->SetFilterAccess(access);
    if (fileName.empty() && filter->FileName().empty())
        filter->SetFileName(ExtractFileName(FFileName));
    filter->SetReport(this);
    const TScopeExit close([filter] {
        filter->CloseFilter();
        filter->SetReport(nullptr);
    });
    if (!filter->OpenFilter())
        return false;
    TStream* stream = filter->GetStream(fileName);
    if (!stream)
        return false;
    const TScopeExit freeStream([filter, stream] { filter->FreeStream(stream); });
    const String previousFolder = ExtractFilePath(FFileName);
    FFileName = fileName.empty() ? filter->FileName() : fileName;
    if (access == faWrite)
        FixRelativeParentReport(previousFolder);
    if (filter->DoFilterProcessStream(*stream, this))
        return true;
    if (access == faRead) {
        LoadFromStream(*stream);
        return FStreamLoaded;
    }
    SaveToStream(*stream);
    return true;
}

void TfrxReport::FixRelativeParentReport(const String& previousFolder) {
    // A relative parent names a file from the folder the report came from (the current folder
    // when it came from none); written elsewhere, it is named from the new folder instead.
    if (FParentReport.size() <= 2 || IsAbsoluteName(FParentReport) || FFileName.empty())
        return;
    if (FileExists(GetApplicationFolder() + FParentReport))
        return;
    const String parent =
        previousFolder.empty() ? FParentReport : IncludeTrailingPathDelimiter(previousFolder) + FParentReport;
    FParentReport = RelativeTo(ExtractFilePath(FFileName), parent);
}

} // namespace vgl
