#include "report/model/report_datasets.h"

#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/sysutils.h"
#include "report/model/data_set.h"
#include "report/model/report.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxDataSetItem) {
    b.Property(u"DataSetName", &TfrxDataSetItem::DataSetName, &TfrxDataSetItem::SetDataSetName);
}

VGL_DEFINE_CLASS(TfrxReportDataSets) {}

TfrxDataSetItem::TfrxDataSetItem(TCollection* collection) : TCollectionItem(collection) {}

namespace {

/// The report learns when a listed data set owned elsewhere is freed, and forgets it then.
void Watch(TCollection* collection, TfrxDataSet* dataSet) {
    if (auto* list = dynamic_cast<TfrxReportDataSets*>(collection); list && list->Report() && dataSet)
        dataSet->FreeNotification(list->Report());
}

} // namespace

void TfrxDataSetItem::SetDataSet(TfrxDataSet* value) {
    FDataSet = value;
    FDataSetName = value ? value->UserName() : String();
    Watch(Collection(), value);
}

String TfrxDataSetItem::DataSetName() const {
    return FDataSet ? FDataSet->UserName() : FDataSetName;
}

void TfrxDataSetItem::SetDataSetName(const String& value) {
    FDataSetName = value;
    FDataSet = nullptr;
    if (value.empty())
        return;
    if (auto* list = dynamic_cast<TfrxReportDataSets*>(Collection()); list && list->Report())
        FDataSet = list->Report()->FindDataSet(nullptr, value);
    Watch(Collection(), FDataSet);
}

TfrxReportDataSets::TfrxReportDataSets(TfrxReport* report)
    : TCollection(&TfrxDataSetItem::StaticClassInfo()), FReport(report) {}

void TfrxReportDataSets::Add(TfrxDataSet* dataSet) {
    static_cast<TfrxDataSetItem*>(TCollection::Add())->SetDataSet(dataSet);
}

TfrxDataSetItem* TfrxReportDataSets::Items(int index) const {
    return static_cast<TfrxDataSetItem*>(TCollection::Items(index));
}

TfrxDataSetItem* TfrxReportDataSets::Find(const TfrxDataSet* dataSet) const {
    for (int i = 0; i < Count(); ++i)
        if (Items(i)->DataSet() == dataSet)
            return Items(i);
    return nullptr;
}

TfrxDataSetItem* TfrxReportDataSets::Find(const String& name) const {
    for (int i = 0; i < Count(); ++i)
        if (const TfrxDataSet* ds = Items(i)->DataSet())
            if (AnsiSameText(ds->UserName(), name) || AnsiSameText(ds->Name(), name))
                return Items(i);
    return nullptr;
}

void TfrxReportDataSets::Delete(const String& name) {
    for (int i = 0; i < Count(); ++i)
        if (const TfrxDataSet* ds = Items(i)->DataSet(); ds && AnsiSameText(ds->UserName(), name)) {
            TCollection::Delete(i);
            return;
        }
}

void TfrxReportDataSets::Initialize() {
    for (int i = 0; i < Count(); ++i)
        if (TfrxDataSet* ds = Items(i)->DataSet()) {
            ds->SetReportRef(FReport);
            ds->Initialize();
        }
}

void TfrxReportDataSets::Finalize() {
    for (int i = 0; i < Count(); ++i)
        if (TfrxDataSet* ds = Items(i)->DataSet())
            ds->Finalize();
}

} // namespace vgl
