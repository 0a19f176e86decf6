#include "script/bindings/report_bindings.h"

#include <algorithm>
#include <mutex>

#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/graphic_formats.h"
#include "report/foundation/report_variables.h"
#include "report/foundation/wide_strings.h"
#include "report/model/bands.h"
#include "report/model/data_link.h"
#include "report/model/data_page.h"
#include "report/model/data_set.h"
#include "report/model/engine.h"
#include "report/model/fills.h"
#include "report/model/hyperlink.h"
#include "report/model/line_view.h"
#include "report/model/memo_view.h"
#include "report/model/outline.h"
#include "report/model/page_base.h"
#include "report/model/picture_view.h"
#include "report/model/preview_pages.h"
#include "report/model/report.h"
#include "report/model/report_component.h"
#include "report/model/report_model_init.h"
#include "report/model/report_options.h"
#include "report/model/report_page.h"
#include "report/model/report_services.h"
#include "report/model/shape_view.h"
#include "report/model/styles.h"
#include "report/model/view.h"
#include "script/bindings/classes_bindings.h"
#include "script/engine/script_tools.h"

namespace vgl::fs_report {

VGL_DEFINE_CLASS(TWideStringList) {}

namespace {

template <class T> TClass Cls() {
    return &T::StaticClassInfo();
}

// A constant that keeps the kind of the value it was given: the report engine's integer
// measurement constants reach scripts as integers although their type name is "Extended".
class TExactConstant : public TfsVariable {
public:
    using TfsVariable::TfsVariable;
    void SetValue(const Variant& value) override { TfsCustomVariable::SetValue(value); }
};

void AddIntegerConstant(TfsScript& s, const String& name, const String& typeName, int value) {
    if (s.Find(name))
        return;
    auto constant = std::make_unique<TExactConstant>(name, fsTypeOfName(typeName, &s), typeName);
    constant->SetValue(value);
    constant->IsReadOnly = true;
    s.Add(name, std::move(constant));
}

// The classes of the picture formats known to the format registry; a format that names no class
// is passed over.
void AddPictureClasses(TfsScript& s) {
    TfrxGraphicFormats& formats = frxGraphicFormatsInstance();
    for (int i = 0; i < formats.Count(); ++i) {
        TClass graphic = nullptr;
        try {
            graphic = formats.GetItem(i)->GetGraphicClass();
        } catch (const EAbstractGraphicFormatException&) {
            continue;
        }
        if (graphic)
            s.AddClass(graphic, u"TGraphic");
    }
}

// The day, month or year of a date as the formats "d", "m" and "yyyy" give them.
Variant DatePart(const Variant& date, StringView format) {
    return StrToInt(FormatDateTime(format, date.AsDate()));
}

// A template file read into the report: false, without an error, when the file does not exist.
bool LoadReportFile(TfrxReport& report, const String& fileName) {
    if (!FileExists(fileName))
        return false;
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    report.LoadFromStream(stream);
    report.SetFileName(fileName);
    return true;
}

// A picture file read into a picture view; a file that holds no picture this system reads raises.
void LoadPictureFile(TfrxPictureView& view, const String& fileName) {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    if (view.LoadPictureFromStream(stream, true) != 0)
        throw EInvalidGraphic(u"%s holds no picture that can be read", {fileName});
}

// The members of a data set that act on its current record or list its fields.
Variant CallDataSetMethod(TfrxDataSet& ds, const String& name, TfsMethodHelper* caller) {
    auto arg = [caller](int i) { return caller->GetVParam(i); };
    Variant result = 0;
    if (name == u"OPEN")
        ds.Open();
    else if (name == u"CLOSE")
        ds.Close();
    else if (name == u"FIRST")
        ds.First();
    else if (name == u"NEXT")
        ds.Next();
    else if (name == u"PRIOR")
        ds.Prior();
    else if (name == u"EOF")
        result = ds.Eof();
    else if (name == u"FIELDSCOUNT")
        result = ds.FieldsCount();
    else if (name == u"HASFIELD")
        result = ds.HasField(arg(0).AsString());
    else if (name == u"ISBLOBFIELD")
        result = ds.IsBlobField(arg(0).AsString());
    else if (name == u"RECORDCOUNT")
        result = ds.RecordCount();
    else if (name == u"GETFIELDLIST") {
        // The data set fills a string list; the script may pass any list of strings.
        TStrings& target = fsArgRef<TStrings>(arg(0));
        TStringList fields;
        ds.GetFieldList(fields);
        target.Assign(&fields);
    } else if (name == u"DISPLAYTEXT.GET")
        result = ds.GetDisplayText(arg(0).AsString());
    else if (name == u"DISPLAYWIDTH.GET")
        result = ds.GetDisplayWidth(arg(0).AsString());
    else if (name == u"FIELDTYPE.GET")
        result = int(ds.GetFieldType(arg(0).AsString()));
    else if (name == u"VALUE.GET")
        result = ds.GetValue(arg(0).AsString());
    return result;
}

void SaveReportFile(TfrxReport& report, const String& fileName) {
    TFileStream stream(fileName, fmCreate);
    report.SaveToStream(stream);
}

// The object check of the handlers; the members of TWideStrings serve any list of strings.
void CheckInstance(const TObject* instance, TClass classType) {
    fsCheckInstance(instance, classType == Cls<TWideStrings>() ? Cls<TStrings>() : classType);
}

// The engine's prepared pages, where anchors live; none when the engine has no such store.
TfrxPreviewPages* EngineStore(const TfrxCustomEngine& engine) {
    return dynamic_cast<TfrxPreviewPages*>(engine.PreviewPages());
}

} // namespace

TFunctions::TFunctions(TfsScript* script) : TfsBindingModule(script) {
    TfsScript& s = *script;
    auto method = [this](TObject* i, TClass c, const String& n, TfsMethodHelper* h) {
        return MethodHandler(i, c, n, h);
    };
    auto getter = [this](TObject* i, TClass c, const String& n) { return PropertyGetter(i, c, n); };
    auto setter = [this](TObject* i, TClass c, const String& n, const Variant& v) { PropertySetter(i, c, n, v); };

    {
        TfrxGlobalVariablesLock lock;
        FGlobalVariables = lock.Variables();
        fsSetSharedObject(FGlobalVariables, &frxGlobalVariablesMutex());
    }

    s.AddConst(u"fr01cm", u"Extended", 3.77953);
    s.AddConst(u"fr1cm", u"Extended", 37.7953);
    s.AddConst(u"fr01in", u"Extended", 9.6);
    AddIntegerConstant(s, u"fr1in", u"Extended", 96);
    s.AddConst(u"fr1CharX", u"Extended", 9.6);
    AddIntegerConstant(s, u"fr1CharY", u"Extended", 17);
    s.AddConst(u"clTransparent", u"Integer", 536870911);
    s.AddConst(u"crHand", u"Integer", 150);
    s.AddConst(u"crZoom", u"Integer", 151);
    s.AddConst(u"crFormat", u"Integer", 152);

    s.AddEnum(u"TfrxStretchMode", u"smDontStretch, smActualHeight, smMaxHeight");
    s.AddEnum(u"TfrxShiftMode", u"smDontShift, smAlways, smWhenOverlapped");
    s.AddEnum(u"TfrxDuplexMode", u"dmNone, dmVertical, dmHorizontal, dmSimplex");
    s.AddEnum(u"TfrxAlign", u"baNone, baLeft, baRight, baCenter, baWidth, baBottom, baClient, baHidden");
    s.AddEnum(u"TfrxFrameStyle", u"fsSolid, fsDash, fsDot, fsDashDot, fsDashDotDot, fsDouble");
    s.AddEnumSet(u"TfrxFrameTypes", u"ftLeft, ftRight, ftTop, ftBottom");
    s.AddEnumSet(u"TfrxAnchors", u"fraLeft, fraTop, fraRight, fraBottom");
    s.AddEnum(u"TfrxHAlign", u"haLeft, haRight, haCenter, haBlock");
    s.AddEnum(u"TfrxVAlign", u"vaTop, vaBottom, vaCenter");
    s.AddEnumSet(u"TfrxRestrictions",
                 u"rfDontModify, rfDontSize, rfDontMove, rfDontDelete, rfDontEdit, rfDontEditInPreview, rfDontCopy");
    s.AddEnum(u"TfrxShapeKind",
              u"skRectangle, skRoundRectangle, skEllipse, skTriangle, skDiamond, skDiagonal1, skDiagonal2");
    s.AddEnumSet(u"TfrxPreviewButtons",
                 u"pbPrint, pbLoad, pbSave, pbExport, pbZoom, pbFind, pbOutline, pbPageSetup, pbTools, pbEdit, "
                 u"pbNavigator, pbExportQuick, pbNoClose, pbNoFullScreen, pbNoEmail, pbCopy, pbPaste, pbSelection, "
                 u"pbInplaceEdit");
    s.AddEnum(u"TfrxZoomMode", u"zmDefault, zmWholePage, zmPageWidth, zmManyPages");
    s.AddEnum(u"TfrxPrintPages", u"ppAll, ppOdd, ppEven");
    s.AddEnumSet(u"TfrxDMPFontStyles",
                 u"fsxBold, fsxItalic, fsxUnderline, fsxSuperScript, fsxSubScript, fsxCondensed, fsxWide, fsx12cpi, "
                 u"fsx15cpi");
    s.AddEnum(u"TfrxRangeBegin", u"rbFirst, rbCurrent");
    s.AddEnum(u"TfrxRangeEnd", u"reLast, reCurrent, reCount");
    s.AddEnum(u"TfrxFieldType", u"fftNumeric, fftString, fftBoolean");
    s.AddEnum(u"TfrxFormatKind", u"fkText, fkNumeric, fkDateTime, fkBoolean");
    s.AddEnum(u"TfrxFillType", u"ftBrush, ftGradient, ftGlass");
    s.AddEnum(u"TfrxPrintMode", u"pmDefault, pmSplit, pmJoin, pmScale");
    s.AddEnumSet(u"TfrxVisibilityTypes", u"vsPreview, vsExport, vsPrint");
    s.AddEnum(u"TfrxUnderlinesTextMode",
              u"ulmNone, ulmUnderlinesAll, ulmUnderlinesText, ulmUnderlinesTextAndEmptyLines");
    s.AddEnum(u"TfrxHyperlinkKind", u"hkURL, hkAnchor, hkPageNumber, hkDetailReport, hkDetailPage, hkCustom, hkNone");
    s.AddEnum(u"TfrxProcessAtMode",
              u"paDefault, paReportFinished, paReportPageFinished, paPageFinished, paColumnFinished, paDataFinished, "
              u"paGroupFinished, paCustom");
    s.AddEnum(u"TPDFSignatureKind", u"skInvisible, skVisible, skEmpty");
    s.AddEnum(u"TfrxDataLinkProcessing", u"dpString, dpExpression");
    s.AddEnumSet(u"TfrxDataLinkLoading", u"dltOnGetData, dltOnPreview");

    AddPictureClasses(s);

    s.AddClass(Cls<TfrxDataLink>(), u"TPersistent");
    s.AddClass(Cls<TfrxHyperlink>(), u"TPersistent");
    if (auto* c = s.AddClass(Cls<TfrxCustomFill>(), u"TPersistent")) {
        c->AddMethod(u"function AsBrushFill: TfrxBrushFill", method);
        c->AddMethod(u"function AsGradientFill: TfrxGradientFill", method);
        c->AddMethod(u"function AsGlassFill: TfrxGlassFill", method);
    }
    s.AddClass(Cls<TfrxBrushFill>(), u"TfrxCustomFill");
    s.AddClass(Cls<TfrxGradientFill>(), u"TfrxCustomFill");
    s.AddClass(Cls<TfrxGlassFill>(), u"TfrxCustomFill");
    s.AddClass(Cls<TfrxFillGaps>(), u"TPersistent");
    s.AddClass(Cls<TfrxObjectProcessing>(), u"TPersistent");
    if (s.FindClass(u"TPersistent")) {
        if (auto* c = s.AddClass(Cls<TWideStrings>(), u"TPersistent")) {
            c->AddConstructor(u"constructor Create", method);
            c->AddMethod(u"function Add(const S: string): Integer", method);
            c->AddMethod(u"function AddObject(const S: string; AObject: TObject): Integer", method);
            c->AddMethod(u"procedure Clear", method);
            c->AddMethod(u"procedure Delete(Index: Integer)", method);
            c->AddMethod(u"function IndexOf(const S: string): Integer", method);
            c->AddMethod(u"procedure Insert(Index: Integer; const S: string)", method);
            c->AddMethod(u"procedure LoadFromFile(const FileName: string)", method);
            c->AddMethod(u"procedure LoadFromStream(Stream: TStream)", method);
            c->AddMethod(u"procedure SaveToFile(const FileName: string)", method);
            c->AddMethod(u"procedure SaveToStream(Stream: TStream)", method);
            c->AddProperty(u"Count", u"Integer", getter);
            c->AddIndexProperty(u"Objects", u"Integer", u"TObject", method);
            c->AddDefaultProperty(u"Strings", u"Integer", u"string", method);
            c->AddProperty(u"Text", u"string", getter, setter);
        }
    }
    if (auto* c = s.AddClass(Cls<TfrxComponent>(), u"TComponent")) {
        c->AddMethod(u"procedure Clear", method);
        c->AddMethod(u"function FindObject(s: String): TfrxComponent", method);
        c->AddMethod(u"procedure LoadFromStream(Stream: TStream)", method);
        c->AddMethod(u"procedure SaveToStream(Stream: TStream; SaveChildren: Boolean = True)", method);
        c->AddMethod(u"procedure SetBounds(ALeft, ATop, AWidth, AHeight: Extended)", method);
        c->AddProperty(u"Objects", u"TList", getter);
        c->AddProperty(u"AllObjects", u"TList", getter);
        c->AddProperty(u"Parent", u"TfrxComponent", getter, setter);
        c->AddProperty(u"Page", u"TfrxPage", getter);
        c->AddProperty(u"AbsLeft", u"Extended", getter);
        c->AddProperty(u"AbsTop", u"Extended", getter);
    }
    s.AddClass(Cls<TfrxReportComponent>(), u"TfrxComponent");
    s.AddClass(Cls<TfrxDialogComponent>(), u"TfrxReportComponent");
    if (auto* c = s.AddClass(Cls<TfrxDataSet>(), u"TfrxDialogComponent")) {
        c->AddMethod(u"procedure Open", method);
        c->AddMethod(u"procedure Close", method);
        c->AddMethod(u"procedure First", method);
        c->AddMethod(u"procedure Next", method);
        c->AddMethod(u"procedure Prior", method);
        c->AddMethod(u"function Eof: Boolean", method);
        c->AddMethod(u"function FieldsCount: Integer", method);
        c->AddMethod(u"function HasField(const fName: String): Boolean", method);
        c->AddMethod(u"function IsBlobField(const fName: String): Boolean", method);
        c->AddMethod(u"function RecordCount: Integer", method);
        c->AddMethod(u"procedure GetFieldList(List: TStrings)", method);
        c->AddProperty(u"RecNo", u"Integer", getter);
        c->AddIndexProperty(u"DisplayText", u"String", u"String", method, true);
        c->AddIndexProperty(u"DisplayWidth", u"String", u"Integer", method, true);
        c->AddIndexProperty(u"FieldType", u"String", u"TfrxFieldType", method, true);
        c->AddIndexProperty(u"Value", u"String", u"Variant", method, true);
    }
    s.AddClass(Cls<TfrxUserDataSet>(), u"TfrxDataSet");
    s.AddClass(Cls<TfrxCustomDBDataSet>(), u"TfrxDataSet");
    s.AddClass(Cls<TfrxFrameLine>(), u"TPersistent");
    s.AddClass(Cls<TfrxFrame>(), u"TPersistent");
    if (auto* c = s.AddClass(Cls<TfrxView>(), u"TfrxReportComponent"))
        c->AddProperty(u"TagStr", u"String", getter, setter);
    s.AddClass(Cls<TfrxShapeView>(), u"TfrxView");
    if (auto* c = s.AddClass(Cls<TfrxStretcheable>(), u"TfrxView"))
        c->AddMethod(u"function CalcHeight: Extended", method);
    s.AddClass(Cls<TfrxHighlight>(), u"TPersistent");
    s.AddClass(Cls<TfrxFormat>(), u"TPersistent");
    if (auto* c = s.AddClass(Cls<TfrxCustomMemoView>(), u"TfrxStretcheable")) {
        c->AddMethod(u"function CalcWidth: Extended", method);
        c->AddProperty(u"Text", u"String", getter, setter);
        c->AddProperty(u"AnsiText", u"String", getter, setter);
        c->AddProperty(u"Lines", u"TWideStrings", getter, setter);
        c->AddProperty(u"Value", u"Variant", getter);
    }
    s.AddClass(Cls<TfrxMemoView>(), u"TfrxCustomMemoView");
    s.AddClass(Cls<TfrxSysMemoView>(), u"TfrxCustomMemoView");
    s.AddClass(Cls<TfrxCustomLineView>(), u"TfrxStretcheable");
    s.AddClass(Cls<TfrxLineView>(), u"TfrxCustomLineView");
    if (auto* c = s.AddClass(Cls<TfrxPictureView>(), u"TfrxView"))
        c->AddMethod(u"procedure LoadFromFile(filename: String)", method);
    s.AddClass(Cls<TfrxDigitalSignatureView>(), u"TfrxPictureView");
    s.AddClass(Cls<TfrxSubreport>(), u"TfrxView");
    if (auto* c = s.AddClass(Cls<TfrxBand>(), u"TfrxReportComponent")) {
        c->AddProperty(u"Overflow", u"Boolean", getter);
        c->AddMethod(u"procedure AlignChildren", method);
    }
    s.AddClass(Cls<TfrxDataBand>(), u"TfrxBand");
    s.AddClass(Cls<TfrxHeader>(), u"TfrxBand");
    s.AddClass(Cls<TfrxFooter>(), u"TfrxBand");
    for (TClass band : {Cls<TfrxMasterData>(), Cls<TfrxDetailData>(), Cls<TfrxSubdetailData>(), Cls<TfrxDataBand4>(),
                        Cls<TfrxDataBand5>(), Cls<TfrxDataBand6>()})
        s.AddClass(band, u"TfrxDataBand");
    for (TClass band : {Cls<TfrxPageHeader>(), Cls<TfrxPageFooter>(), Cls<TfrxColumnHeader>(), Cls<TfrxColumnFooter>(),
                        Cls<TfrxGroupHeader>(), Cls<TfrxGroupFooter>(), Cls<TfrxReportTitle>(),
                        Cls<TfrxReportSummary>(), Cls<TfrxChild>(), Cls<TfrxOverlay>()})
        s.AddClass(band, u"TfrxBand");
    s.AddClass(Cls<TfrxPage>(), u"TfrxComponent");
    if (auto* c = s.AddClass(Cls<TfrxReportPage>(), u"TfrxPage"))
        c->AddMethod(u"procedure AlignChildren", method);
    // Scripts know the preview as a control; here it is a window-less component.
    s.AddClass(Cls<TfrxCustomPreview>(), u"TCustomControl");
    s.AddClass(Cls<TfrxCustomPreviewPages>(), u"TObject");
    if (auto* c = s.AddClass(Cls<TfrxPreviewPages>(), u"TfrxCustomPreviewPages")) {
        c->AddMethod(u"procedure ModifyObject(Component: TfrxComponent)", method);
        c->AddProperty(u"Count", u"Integer", getter);
        c->AddProperty(u"CurPage", u"Integer", getter, setter);
        // Read-only: a prepared page is read back from the store, and nothing would take a page
        // written here, so the compiler refuses the assignment instead.
        c->AddIndexProperty(u"Page", u"Integer", u"TfrxReportPage", method, true);
    }
    if (auto* c = s.AddClass(Cls<TfrxDialogPage>(), u"TfrxPage")) {
        c->AddMethod(u"function ShowModal: Integer", method);
        c->AddProperty(u"ModalResult", u"Integer", getter, setter);
    }
    s.AddClass(Cls<TfrxDataPage>(), u"TfrxPage");
    if (auto* c = s.AddClass(Cls<TfrxEngineOptions>(), u"TPersistent"))
        c->AddProperty(u"DestroyForms", u"Boolean", getter, setter);
    s.AddClass(Cls<TfrxPrintOptions>(), u"TPersistent");
    s.AddClass(Cls<TfrxPreviewOptions>(), u"TPersistent");
    s.AddClass(Cls<TfrxReportOptions>(), u"TPersistent");
    s.AddClass(Cls<TfrxVariable>(), u"TCollectionItem");
    if (auto* c = s.AddClass(Cls<TfrxVariables>(), u"TCollection")) {
        c->AddConstructor(u"constructor Create", method);
        c->AddDefaultProperty(u"Variables", u"String", u"Variant", method);
    }
    s.AddClass(Cls<TfrxStyleItem>(), u"TCollectionItem");
    if (auto* c = s.AddClass(Cls<TfrxStyles>(), u"TCollection")) {
        c->AddConstructor(u"constructor Create(AReport: TfrxReport)", method);
        // Read-only, as Page above: styles are added with Add.
        c->AddDefaultProperty(u"Items", u"Integer", u"TfrxStyleItem", method, true);
        c->AddMethod(u"function Add: TfrxStyleItem", method);
        c->AddMethod(u"function Find(const Name: String): TfrxStyleItem", method);
        c->AddMethod(u"procedure Apply", method);
        c->AddMethod(u"procedure GetList(List: TStrings)", method);
        c->AddMethod(u"procedure LoadFromFile(const FileName: String)", method);
        c->AddMethod(u"procedure LoadFromStream(Stream: TStream)", method);
        c->AddMethod(u"procedure SaveToFile(const FileName: String)", method);
        c->AddMethod(u"procedure SaveToStream(Stream: TStream)", method);
    }
    if (auto* c = s.AddClass(Cls<TfrxArray>(), u"TCollection")) {
        c->AddConstructor(u"constructor Create", method);
        c->AddDefaultProperty(u"Variables", u"Variant", u"Variant", method);
    }
    if (FGlobalVariables)
        s.AddObject(u"frxGlobalVariables", FGlobalVariables);
    if (auto* c = s.AddClass(Cls<TfrxReport>(), u"TfrxComponent")) {
        c->AddMethod(u"function Calc(const Expr: String): Variant", method);
        c->AddMethod(u"function GetDataset(const Alias: String): TfrxDataset", method);
        c->AddMethod(u"function LoadFromFile(const FileName: String): Boolean", method);
        c->AddMethod(u"procedure SaveToFile(const FileName: String)", method);
        c->AddMethod(u"procedure ShowReport", method);
        c->AddMethod(u"procedure PrepareReport", method);
        c->AddMethod(u"procedure Print", method);
        c->AddProperty(u"Terminated", u"Boolean", getter, setter);
        c->AddProperty(u"Variables", u"TfrxVariables", getter);
        c->AddProperty(u"Styles", u"TfrxStyles", getter);
        c->AddProperty(u"DrillState", u"TStrings", getter);
    }
    if (auto* c = s.AddClass(Cls<TfrxCustomEngine>(), u"TPersistent")) {
        c->AddMethod(u"procedure AddAnchor(const Text: String)", method);
        c->AddMethod(u"procedure NewPage", method);
        c->AddMethod(u"procedure NewColumn", method);
        c->AddMethod(u"procedure ShowBand(Band: TfrxBand)", method);
        c->AddMethod(u"procedure StopReport", method);
        c->AddMethod(u"function FreeSpace: Extended", method);
        c->AddMethod(u"function GetAnchorPage(const Text: String): Integer", method);
        c->AddMethod(u"function GetPostProcessor: TfrxPostProcessor", method);
        c->AddMethod(u"procedure ProcessObject(ReportObject: TfrxView)", method);
    }
    s.AddClass(Cls<TfrxEngine>(), u"TfrxCustomEngine");
    if (auto* c = s.AddClass(Cls<TfrxCustomOutline>(), u"TPersistent")) {
        c->AddMethod(u"procedure AddItem(const Text: String)", method);
        c->AddMethod(u"procedure LevelRoot", method);
        c->AddMethod(u"procedure LevelUp", method);
    }
    s.AddClass(Cls<TfrxOutline>(), u"TfrxCustomOutline");

    s.AddMethod(u"function DayOf(Date: TDateTime): Integer", method, u"ctDate");
    s.AddMethod(u"function MonthOf(Date: TDateTime): Integer", method, u"ctDate");
    s.AddMethod(u"function YearOf(Date: TDateTime): Integer", method, u"ctDate");
    s.AddMethod(u"function IIF(Expr: Boolean; TrueValue, FalseValue: Variant): Variant", method, u"ctOther");
    s.AddMethod(u"function SUM(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant", method, u"ctAggregate");
    s.AddMethod(u"function AVG(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant", method, u"ctAggregate");
    s.AddMethod(u"function MIN(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant", method, u"ctAggregate");
    s.AddMethod(u"function MAX(Expr: Variant; Band: Variant = 0; Flags: Integer = 0): Variant", method, u"ctAggregate");
    s.AddMethod(u"function COUNT(Band: Variant = 0; Flags: Integer = 0): Variant", method, u"ctAggregate");
    s.AddMethod(u"function SUM(Band: TfrxComponent): Variant", method, u"ctAggregate");
    s.AddMethod(u"function AVG(Band: TfrxComponent): Variant", method, u"ctAggregate");
    s.AddMethod(u"function MIN(Band: TfrxComponent): Variant", method, u"ctAggregate");
    s.AddMethod(u"function MAX(Band: TfrxComponent): Variant", method, u"ctAggregate");
}

bool TFunctions::Protects(const TObject* obj) const {
    const auto* report = dynamic_cast<const TfrxReport*>(obj);
    return report && &report->Script() == Script();
}

TList& TFunctions::ListFor(const TfrxComponent* component, bool all) {
    std::unique_ptr<TList>& list = FLists[{component, all}];
    if (!list)
        list = std::make_unique<TList>();
    return *list;
}

Variant TFunctions::MethodHandler(TObject* instance, TClass classType, const String& name, TfsMethodHelper* caller) {
    Variant result = 0;
    CheckInstance(instance, classType);
    auto arg = [caller](int i) { return caller->GetVParam(i); };
    if (!classType) {
        if (name == u"DAYOF")
            result = DatePart(arg(0), u"d");
        else if (name == u"MONTHOF")
            result = DatePart(arg(0), u"m");
        else if (name == u"YEAROF")
            result = DatePart(arg(0), u"yyyy");
    } else if (classType == Cls<TfrxCustomFill>()) {
        if (name == u"ASBRUSHFILL")
            result = Variant::FromObject(&fsArgRef<TfrxBrushFill>(Variant::FromObject(instance)));
        else if (name == u"ASGRADIENTFILL")
            result = Variant::FromObject(&fsArgRef<TfrxGradientFill>(Variant::FromObject(instance)));
        else if (name == u"ASGLASSFILL")
            result = Variant::FromObject(&fsArgRef<TfrxGlassFill>(Variant::FromObject(instance)));
    } else if (classType == Cls<TWideStrings>()) {
        if (name == u"CREATE")
            return Variant::FromObject(Keep(std::make_unique<TWideStringList>()));
        result = fs_classes::CallStringsMethod(*static_cast<TStrings*>(instance), name, caller);
    } else if (classType == Cls<TfrxComponent>()) {
        auto* c = static_cast<TfrxComponent*>(instance);
        if (name == u"CLEAR")
            c->Clear();
        else if (name == u"FINDOBJECT")
            result = fsObjectValue(c->FindObject(arg(0).AsString()));
        else if (name == u"LOADFROMSTREAM")
            c->LoadFromStream(fsArgRef<TStream>(arg(0)));
        else if (name == u"SAVETOSTREAM")
            c->SaveToStream(fsArgRef<TStream>(arg(0)), arg(1).AsBoolean(), false, false);
        else if (name == u"SETBOUNDS")
            c->SetBounds(arg(0).AsExtended(), arg(1).AsExtended(), arg(2).AsExtended(), arg(3).AsExtended());
    } else if (classType == Cls<TfrxDataSet>()) {
        result = CallDataSetMethod(*static_cast<TfrxDataSet*>(instance), name, caller);
    } else if (classType == Cls<TfrxPictureView>()) {
        if (name == u"LOADFROMFILE")
            LoadPictureFile(*static_cast<TfrxPictureView*>(instance), arg(0).AsString());
    } else if (classType == Cls<TfrxDialogPage>()) {
        if (name == u"SHOWMODAL")
            result = static_cast<TfrxDialogPage*>(instance)->ShowModal();
    } else if (classType == Cls<TfrxCustomMemoView>()) {
        if (name == u"CALCWIDTH")
            result = static_cast<double>(static_cast<TfrxCustomMemoView*>(instance)->CalcWidth());
    } else if (classType == Cls<TfrxBand>() || classType == Cls<TfrxReportPage>()) {
        if (name == u"ALIGNCHILDREN")
            static_cast<TfrxComponent*>(instance)->AlignChildren();
    } else if (classType == Cls<TfrxStretcheable>()) {
        if (name == u"CALCHEIGHT")
            result = static_cast<double>(static_cast<TfrxStretcheable*>(instance)->CalcHeight());
    } else if (classType == Cls<TfrxVariables>()) {
        if (name == u"CREATE") {
            result = Variant::FromObject(Keep(std::make_unique<TfrxVariables>()));
        } else if (name == u"VARIABLES.GET" || name == u"VARIABLES.SET") {
            auto* v = static_cast<TfrxVariables*>(instance);
            const bool write = name == u"VARIABLES.SET";
            if (v == FGlobalVariables) {
                // Shared by every script of the process: through the lock of the list.
                if (write) {
                    frxSetGlobalVariable(arg(0).AsString(), arg(1));
                } else {
                    Variant value;
                    result = frxGetGlobalVariable(arg(0).AsString(), value) ? value : Null();
                }
            } else if (write) {
                v->SetVariable(arg(0).AsString(), arg(1));
            } else {
                result = v->GetVariable(arg(0).AsString());
            }
        }
    } else if (classType == Cls<TfrxArray>()) {
        if (name == u"CREATE") {
            result = Variant::FromObject(Keep(std::make_unique<TfrxArray>()));
        } else if (name == u"VARIABLES.GET") {
            result = static_cast<TfrxArray*>(instance)->GetVariable(arg(0));
        } else if (name == u"VARIABLES.SET") {
            static_cast<TfrxArray*>(instance)->SetVariable(arg(0), arg(1));
        }
    } else if (classType == Cls<TfrxReport>()) {
        auto* r = static_cast<TfrxReport*>(instance);
        if (name == u"CALC")
            result = r->Calc(arg(0).AsString(), true);
        else if (name == u"GETDATASET")
            result = fsObjectValue(r->GetDataset(arg(0).AsString()));
        else if (name == u"LOADFROMFILE")
            result = LoadReportFile(*r, arg(0).AsString());
        else if (name == u"SAVETOFILE")
            SaveReportFile(*r, arg(0).AsString());
        else if ((name == u"SHOWREPORT" || name == u"PREPAREREPORT") && &r->Script() == Script() && r->Preview())
            // The report whose own script asks: its preview rebuilds instead of a second run.
            r->RefreshActivePreviewedReport();
        else if (name == u"SHOWREPORT")
            r->ShowReport(true);
        else if (name == u"PREPAREREPORT")
            r->PrepareReport(true);
        else if (name == u"PRINT")
            r->Print();
    } else if (classType == Cls<TfrxPreviewPages>()) {
        auto* pp = static_cast<TfrxPreviewPages*>(instance);
        if (name == u"MODIFYOBJECT")
            pp->ModifyObject(&fsArgRef<TfrxComponent>(arg(0)));
        else if (name == u"PAGE.GET")
            result = fsObjectValue(pp->GetPage(arg(0).AsInteger()));
    } else if (classType == Cls<TfrxStyles>()) {
        if (name == u"CREATE") {
            TfrxReport* report = fsArgObject<TfrxReport>(arg(0));
            auto* styles = static_cast<TfrxStyles*>(Keep(std::make_unique<TfrxStyles>(report)));
            FStyleReports[styles] = fsObjectValue(report);
            return Variant::FromObject(styles);
        }
        auto* st = static_cast<TfrxStyles*>(instance);
        if (name == u"ITEMS.GET") {
            result = Variant::FromObject(st->Items(arg(0).AsInteger()));
        } else if (name == u"ADD") {
            result = Variant::FromObject(st->Add());
        } else if (name == u"FIND") {
            result = fsObjectValue(st->Find(arg(0).AsString()));
        } else if (name == u"APPLY") {
            // A list the script made for a report that is gone has no report to apply to.
            if (auto it = FStyleReports.find(st); it != FStyleReports.end() && Keeps(st))
                fsScriptValueToObject(it->second);
            st->Apply();
        } else if (name == u"GETLIST") {
            st->GetList(fsArgRef<TStrings>(arg(0)));
        } else if (name == u"LOADFROMFILE") {
            st->LoadFromFile(arg(0).AsString());
        } else if (name == u"LOADFROMSTREAM") {
            st->LoadFromStream(fsArgRef<TStream>(arg(0)));
        } else if (name == u"SAVETOFILE") {
            st->SaveToFile(arg(0).AsString());
        } else if (name == u"SAVETOSTREAM") {
            st->SaveToStream(fsArgRef<TStream>(arg(0)));
        }
    } else if (classType == Cls<TfrxCustomEngine>()) {
        auto* e = static_cast<TfrxCustomEngine*>(instance);
        if (name == u"ADDANCHOR") {
            TfrxPreviewPages* store = EngineStore(*e);
            if (!store)
                throw EInvalidOperation(u"The engine has no prepared pages to add an anchor to");
            store->AddAnchor(arg(0).AsString());
        } else if (name == u"NEWPAGE") {
            e->NewPage();
        } else if (name == u"NEWCOLUMN") {
            e->NewColumn();
        } else if (name == u"SHOWBAND") {
            e->ShowBand(static_cast<TfrxComponent*>(&fsArgRef<TfrxBand>(arg(0))));
        } else if (name == u"STOPREPORT") {
            e->StopReport();
        } else if (name == u"FREESPACE") {
            result = static_cast<double>(e->FreeSpace());
        } else if (name == u"GETANCHORPAGE") {
            TfrxPreviewPages* store = EngineStore(*e);
            result = store ? store->GetAnchorPage(arg(0).AsString()) : 1;
        } else if (name == u"GETPOSTPROCESSOR") {
            fsNotBuilt(classType, u"GetPostProcessor");
        } else if (name == u"PROCESSOBJECT") {
            e->ProcessObject(&fsArgRef<TfrxView>(arg(0)));
        }
    } else if (classType == Cls<TfrxCustomOutline>()) {
        auto* o = static_cast<TfrxCustomOutline*>(instance);
        if (name == u"ADDITEM") {
            // At the engine's current vertical position, in whole pixels.
            const TfrxCustomEngine* e = o->Engine();
            o->AddItem(arg(0).AsString(), e ? int(RoundHalfEven(e->CurY())) : 0);
        } else if (name == u"LEVELROOT") {
            o->LevelRoot();
        } else if (name == u"LEVELUP") {
            o->LevelUp();
        }
    }
    return result;
}

Variant TFunctions::PropertyGetter(TObject* instance, TClass classType, const String& name) {
    Variant result = 0;
    CheckInstance(instance, classType);
    if (classType == Cls<TWideStrings>()) {
        auto* l = static_cast<TStrings*>(instance);
        if (name == u"COUNT")
            result = l->Count();
        else if (name == u"TEXT")
            result = l->Text();
    } else if (classType == Cls<TfrxComponent>()) {
        auto* c = static_cast<TfrxComponent*>(instance);
        if (name == u"OBJECTS" || name == u"ALLOBJECTS") {
            const bool all = name == u"ALLOBJECTS";
            TList& list = ListFor(c, all);
            list.Clear();
            if (all) {
                for (TfrxComponent* o : c->AllObjects())
                    list.Add(o);
            } else {
                for (int i = 0; i < c->Objects().Count(); ++i)
                    list.Add(c->Objects().Get(i));
            }
            result = Variant::FromObject(&list);
        } else if (name == u"PARENT") {
            result = fsObjectValue(c->Parent());
        } else if (name == u"PAGE") {
            result = fsObjectValue(c->Page());
        } else if (name == u"ABSLEFT") {
            result = static_cast<double>(c->AbsLeft());
        } else if (name == u"ABSTOP") {
            result = static_cast<double>(c->AbsTop());
        }
    } else if (classType == Cls<TfrxDataSet>()) {
        if (name == u"RECNO")
            result = static_cast<TfrxDataSet*>(instance)->RecNo();
    } else if (classType == Cls<TfrxDialogPage>()) {
        if (name == u"MODALRESULT")
            result = static_cast<TfrxDialogPage*>(instance)->ModalResult();
    } else if (classType == Cls<TfrxView>()) {
        if (name == u"TAGSTR")
            result = static_cast<TfrxView*>(instance)->TagStr();
    } else if (classType == Cls<TfrxCustomMemoView>()) {
        auto* m = static_cast<TfrxCustomMemoView*>(instance);
        if (name == u"TEXT")
            result = m->Text();
        else if (name == u"ANSITEXT")
            result = m->AnsiText();
        else if (name == u"LINES")
            result = Variant::FromObject(&m->Lines());
        else if (name == u"VALUE")
            result = m->Value();
    } else if (classType == Cls<TfrxBand>()) {
        if (name == u"OVERFLOW")
            result = static_cast<TfrxBand*>(instance)->Overflow;
    } else if (classType == Cls<TfrxEngineOptions>()) {
        if (name == u"DESTROYFORMS")
            result = static_cast<TfrxEngineOptions*>(instance)->DestroyForms();
    } else if (classType == Cls<TfrxPreviewPages>()) {
        auto* pp = static_cast<TfrxPreviewPages*>(instance);
        if (name == u"COUNT")
            result = pp->Count();
        else if (name == u"CURPAGE")
            result = pp->CurPage();
    } else if (classType == Cls<TfrxReport>()) {
        auto* r = static_cast<TfrxReport*>(instance);
        if (name == u"TERMINATED")
            result = r->Terminated();
        else if (name == u"VARIABLES")
            result = Variant::FromObject(&r->Variables());
        else if (name == u"STYLES")
            result = fsObjectValue(r->Styles());
        else if (name == u"DRILLSTATE")
            result = Variant::FromObject(&r->DrillState());
    }
    return result;
}

void TFunctions::PropertySetter(TObject* instance, TClass classType, const String& name, const Variant& value) {
    CheckInstance(instance, classType);
    if (classType == Cls<TWideStrings>()) {
        if (name == u"TEXT")
            static_cast<TStrings*>(instance)->SetText(value.AsString());
    } else if (classType == Cls<TfrxComponent>()) {
        if (name == u"PARENT")
            static_cast<TfrxComponent*>(instance)->SetParent(fsArgObject<TfrxComponent>(value));
    } else if (classType == Cls<TfrxDialogPage>()) {
        // The page keeps its modal result to itself until dialogs can be shown.
        if (name == u"MODALRESULT")
            fsNotBuilt(classType, name);
    } else if (classType == Cls<TfrxView>()) {
        if (name == u"TAGSTR")
            static_cast<TfrxView*>(instance)->SetTagStr(value.AsString());
    } else if (classType == Cls<TfrxCustomMemoView>()) {
        auto* m = static_cast<TfrxCustomMemoView*>(instance);
        if (name == u"TEXT")
            m->SetText(value.AsString());
        else if (name == u"ANSITEXT")
            m->SetAnsiText(value.AsAnsiString());
        else if (name == u"LINES")
            m->Lines().Assign(fsArgRef<TStrings>(value));
    } else if (classType == Cls<TfrxEngineOptions>()) {
        if (name == u"DESTROYFORMS")
            static_cast<TfrxEngineOptions*>(instance)->SetDestroyForms(value.AsBoolean());
    } else if (classType == Cls<TfrxReport>()) {
        if (name == u"TERMINATED")
            static_cast<TfrxReport*>(instance)->SetTerminated(value.AsBoolean());
    } else if (classType == Cls<TfrxPreviewPages>()) {
        if (name == u"CURPAGE") {
            // A page of the store (0 while it is empty): the store and its page numbering take
            // the current page as an index.
            auto* pp = static_cast<TfrxPreviewPages*>(instance);
            const int page = value.AsInteger();
            const int last = std::max(pp->Count() - 1, 0);
            if (page < 0 || page > last)
                throw ERangeError(u"Page %d is not a prepared page (0..%d)", {page, last});
            pp->SetCurPage(page);
        }
    }
}

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script) {
    return std::make_unique<TFunctions>(script);
}

} // namespace vgl::fs_report
