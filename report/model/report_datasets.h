#pragma once
// The data-set list of a report: the data sets a template names, each entry holding its data set
// (not owned) and the name it was stored under.

#include "platform/rtl/collection.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TStringList;
class TfrxDataSet;
class TfrxReport;

class TfrxDataSetItem : public TCollectionItem {
    VGL_CLASS(TfrxDataSetItem, TCollectionItem)
    explicit TfrxDataSetItem(TCollection* collection);

    TfrxDataSet* DataSet() const { return FDataSet; }
    /// Also takes the data set's user name (empty for none).
    void SetDataSet(TfrxDataSet* value);
    /// The data set's user name, or the stored name without a data set.
    String DataSetName() const;
    /// Empty: no data set; else the owning report looks the data set up by that name (the name
    /// is kept when none is found yet).
    void SetDataSetName(const String& value);

private:
    TfrxDataSet* FDataSet = nullptr;
    String FDataSetName;
};

class TfrxReportDataSets : public TCollection {
    VGL_CLASS(TfrxReportDataSets, TCollection)
    explicit TfrxReportDataSets(TfrxReport* report);

    TfrxReport* Report() const { return FReport; }
    void Add(TfrxDataSet* dataSet);
    TfrxDataSetItem* Items(int index) const;
    /// The first entry holding the data set, or none.
    TfrxDataSetItem* Find(const TfrxDataSet* dataSet) const;
    /// The first entry whose data set's user name or component name equals `name`
    /// (case-insensitive); entries without a data set are skipped.
    TfrxDataSetItem* Find(const String& name) const;
    /// Frees the first entry whose data set's user name equals `name` (case-insensitive).
    void Delete(const String& name);
    using TCollection::Delete;
    /// Every data set gets the report as its report reference and is initialised.
    void Initialize();
    void Finalize();

private:
    TfrxReport* FReport;
};

} // namespace vgl
