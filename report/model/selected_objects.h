#pragma once
// The selection of a preview or designer: the report components selected, and beside it the
// list the property inspector shows. Only report components stay selected; any other persistent
// object added goes to the inspector list alone. Report components carry no selection flag of
// their own here: the list answers whether one is selected.

#include <vector>

#include "platform/rtl/object.h"

namespace vgl {

class TfrxReportComponent;

class TfrxSelectedObjectsList : public TObject {
public:
    String ClassName() const override { return u"TfrxSelectedObjectsList"; }

    int Count() const { return int(FItems.size()); }
    /// The item at `index`; EListError outside 0..Count-1.
    TObject* Items(int index) const;
    int IndexOf(const TObject* item) const;
    bool IsSelected(const TObject* item) const { return IndexOf(item) >= 0; }
    /// Selects a report component (already selected: nothing) and shows it in the inspector; any
    /// other persistent object is shown in the inspector but not kept selected. Sets Updated.
    /// Answers the item's index in the selection, -1 when it was not kept.
    int Add(TObject* item);
    /// Unselects the item: it leaves the inspector list, or the inspector list is emptied when
    /// nothing stays selected. Sets Updated. Answers its former index, -1 when not selected.
    int Remove(TObject* item);
    /// Remove of the item at `index`; EListError outside 0..Count-1.
    void Delete(int index);
    /// Unselects everything (the inspector list is emptied).
    void Clear();

    /// What the object inspector shows.
    const std::vector<TObject*>& InspSelectedObjects() const { return FInspSelectedObjects; }
    void ClearInspectorList() { FInspSelectedObjects.clear(); }
    /// Set by every change of the selection; the owner clears it once it has caught up.
    bool Updated() const { return FUpdated; }
    void SetUpdated(bool value) { FUpdated = value; }

private:
    std::vector<TObject*> FItems;
    std::vector<TObject*> FInspSelectedObjects;
    bool FUpdated = false;
};

} // namespace vgl
