#pragma once
// Data sets: the record sources a report reads through. TfrxDialogComponent is the base of the
// non-visual objects of a data page; TfrxDataSet adds a cursor with a record range, the user
// name reports refer to it by and the notification events; TfrxUserDataSet takes its fields
// and values entirely from event handlers. Every data set of the process is in one global list
// from its construction to its destruction, guarded by a reader-writer lock: look-ups by name
// share it, joining and leaving take it alone.

#include <functional>
#include <memory>
#include <vector>

#include "platform/rtl/variant.h"
#include "report/model/report_component.h"

namespace vgl {

class TStringList;

enum TfrxRangeBegin { rbFirst, rbCurrent };
VGL_DECLARE_ENUM(TfrxRangeBegin);
enum TfrxRangeEnd { reLast, reCurrent, reCount };
VGL_DECLARE_ENUM(TfrxRangeEnd);
enum TfrxFieldType { fftNumeric, fftString, fftBoolean, fftDateTime };
VGL_DECLARE_ENUM(TfrxFieldType);

using TfrxDataSetNotifyEvent = std::function<void(TObject* sender)>;
using TfrxCheckEOFEvent = std::function<void(TObject* sender, bool& eof)>;
using TfrxUserDataSetGetValueEvent = std::function<void(const String& varName, Variant& value)>;
using TfrxUserDataSetNewGetValueEvent = std::function<void(TObject* sender, const String& varName, Variant& value)>;
using TfrxGetBlobValueEvent = std::function<void(TObject* sender, const String& fieldName, TObject* obj)>;
using TfrxIsBlobFieldEvent = std::function<bool(TObject* sender, const String& fieldName)>;

/// A non-visual object of a data or dialog page: not shown in previews, 28 × 28 (its icon).
class TfrxDialogComponent : public TfrxReportComponent {
    VGL_CLASS(TfrxDialogComponent, TfrxReportComponent)
    explicit TfrxDialogComponent(TComponent* owner);
    ~TfrxDialogComponent() override;

    /// The platform component the object wraps (owned), or none.
    TComponent* Component() const { return FComponent.get(); }
    void SetComponent(std::unique_ptr<TComponent> value) { FComponent = std::move(value); }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value) { FImageIndex = value; }
    /// Nothing is drawn outside a designer.
    void Draw(TCanvas&, long double, long double, long double, long double) override {}

private:
    std::unique_ptr<TComponent> FComponent;
    int FImageIndex = 0;
};

/// A record source with a cursor and a record range.
class TfrxDataSet : public TfrxDialogComponent {
    VGL_CLASS(TfrxDataSet, TfrxDialogComponent)
    /// Joins the global data-set list.
    explicit TfrxDataSet(TComponent* owner);
    /// Leaves the global list first, so no look-up finds a data set being destroyed.
    ~TfrxDataSet() override;

    /// The base rename; a data set without a user name takes the new name as its user name.
    void SetName(const String& value) override;

    virtual String GetDisplayText(const String&) { return {}; }
    virtual int GetDisplayWidth(const String&) { return 10; }
    virtual TfrxFieldType GetFieldType(const String&) { return fftNumeric; }
    virtual Variant GetValue(const String&) { return Null(); }
    virtual void Initialize() {}
    virtual void Finalize() {}
    virtual void Open();
    virtual void Close();
    /// RecNo 0, the end flag cleared, OnFirst.
    virtual void First();
    /// One record on; with a record count the last step sets the end flag instead of OnNext.
    virtual void Next();
    virtual void Prior();
    /// The end by the record count or the end flag, then OnCheckEOF's final answer.
    virtual bool Eof();
    virtual int FieldsCount() { return 0; }
    virtual bool IsBlobField(const String&) { return false; }
    virtual bool IsWideMemoBlobField(const String&) { return false; }
    virtual bool IsMemoBlobField(const String&) { return false; }
    virtual bool IsHasMaster() { return false; }
    /// RangeEndCount from the first record with a record count; 0 otherwise.
    virtual int RecordCount();
    virtual void AssignBlobTo(const String&, TObject*) {}
    /// Clears the list in the base.
    virtual void GetFieldList(TStringList& list);
    /// Whether GetFieldList names the field (case-insensitive).
    bool HasField(const String& fieldName);

    bool CloseDataSource() const { return FCloseDataSource; }
    void SetCloseDataSource(bool value) { FCloseDataSource = value; }
    bool OpenDataSource() const { return FOpenDataSource; }
    void SetOpenDataSource(bool value) { FOpenDataSource = value; }
    bool Enabled() const;
    void SetEnabled(bool value);
    TfrxRangeBegin RangeBegin() const { return FRangeBegin; }
    void SetRangeBegin(TfrxRangeBegin value) { FRangeBegin = value; }
    TfrxRangeEnd RangeEnd() const { return FRangeEnd; }
    void SetRangeEnd(TfrxRangeEnd value) { FRangeEnd = value; }
    int RangeEndCount() const { return FRangeEndCount; }
    void SetRangeEndCount(int value) { FRangeEndCount = value; }
    int RecNo() const { return FRecNo; }
    /// The report that uses the data set (not owned).
    TfrxComponent* ReportRef() const { return FReportRef; }
    void SetReportRef(TfrxComponent* value) { FReportRef = value; }
    bool Initialized() const { return FInitialized; }
    void SetInitialized(bool value) { FInitialized = value; }
    String UserName() const;
    /// Raises Exception "prInvProp" for a value that is empty after trimming (the old name
    /// stays); stores the value untrimmed otherwise.
    virtual void SetUserName(const String& value);

    TfrxCheckEOFEvent OnCheckEOF;
    TfrxDataSetNotifyEvent OnFirst, OnNext, OnPrior, OnOpen, OnClose;

protected:
    int FRecNo = 0;
    bool FEof = false;

private:
    bool FCloseDataSource = false;
    bool FEnabled = true;
    bool FOpenDataSource = true;
    TfrxRangeBegin FRangeBegin = rbFirst;
    TfrxRangeEnd FRangeEnd = reLast;
    int FRangeEndCount = 0;
    TfrxComponent* FReportRef = nullptr;
    String FUserName;
    bool FInitialized = false;
    // The owner the data set was made with, and whether it is a report: look-ups on other threads
    // read these instead of the owner itself, which may be in the middle of its own destruction
    // (its type changing, the data set already released from it) while the data set is listed.
    TComponent* FListOwner = nullptr;
    bool FListOwnerIsReport = false;

    friend TfrxDataSet* FindGlobalDataSet(TfrxDataSet*, const String&, TComponent*);
};

/// A data set whose field names are a list and whose values come from its events.
class TfrxUserDataSet : public TfrxDataSet {
    VGL_CLASS(TfrxUserDataSet, TfrxDataSet)
    explicit TfrxUserDataSet(TComponent* owner);
    ~TfrxUserDataSet() override;

    TStringList* Fields() const { return FFields.get(); }
    /// Copies the lines (none empties the list).
    void SetFields(TStringList* value);

    /// OnGetValue's text, then OnNewGetValue's text, each from a fresh Null value.
    String GetDisplayText(const String& index) override;
    /// Null, then OnGetValue, then OnNewGetValue seeing the first handler's value.
    Variant GetValue(const String& index) override;
    int FieldsCount() override;
    bool IsBlobField(const String& fieldName) override;
    void AssignBlobTo(const String& fieldName, TObject* obj) override;
    void GetFieldList(TStringList& list) override;

    TfrxUserDataSetGetValueEvent OnGetValue;
    TfrxUserDataSetNewGetValueEvent OnNewGetValue;
    TfrxGetBlobValueEvent OnGetBlobValue;
    TfrxIsBlobFieldEvent OnIsBlobField;

private:
    std::unique_ptr<TStringList> FFields;
};

/// The base of data sets bound to a database table: field aliases, and a sorted field list for
/// the subclasses to fill. No concrete database data set exists.
class TfrxCustomDBDataSet : public TfrxDataSet {
    VGL_CLASS(TfrxCustomDBDataSet, TfrxDataSet)
    explicit TfrxCustomDBDataSet(TComponent* owner);
    ~TfrxCustomDBDataSet() override;

    /// Lines "field=alias" (published as FieldAliases).
    TStringList* FieldAliases() const { return FAliases.get(); }
    /// Copies the lines (none empties the list).
    void SetFieldAliases(TStringList* value);
    /// Sorted, duplicates ignored.
    TStringList* Fields() const { return FFields.get(); }

    /// The field whose alias is `fName` (case-insensitive); `fName` itself when no line has it.
    String ConvertAlias(const String& fName) const;
    /// The alias of the field `fName` (case-insensitive); `fName` itself when no line names it.
    String GetAlias(const String& fName) const;
    /// The number of names GetFieldList gives.
    int FieldsCount() override;

private:
    std::unique_ptr<TStringList> FAliases;
    std::unique_ptr<TStringList> FFields;
};

/// The data set a report uses for `name`: none for an empty name; `dataSet` without `owner`;
/// else the first data set of the global list whose user name equals `name` (case-insensitive),
/// skipping, when `owner` is a report, those made with another report as their owner; `dataSet`
/// when none matches.
TfrxDataSet* FindGlobalDataSet(TfrxDataSet* dataSet, const String& name, TComponent* owner);
/// Fills `list` with the user names of the enabled data sets of the global list that have one,
/// in list order, each with its data set as object.
void GetGlobalDataSetList(TStringList& list);
/// The number of data sets in the global list.
int GlobalDataSetCount();

} // namespace vgl
