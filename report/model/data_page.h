#pragma once
// TfrxDataPage: the page that holds a report's non-visual objects (its data sets). It prints
// nothing; the report makes one when a template has none.

#include "report/model/page_base.h"

namespace vgl {

class TfrxDataPage : public TfrxPage {
    VGL_CLASS(TfrxDataPage, TfrxPage)
    /// 1000 × 1000 pixels.
    explicit TfrxDataPage(TComponent* owner);
    /// The resource text "obDataPage".
    String GetDescription() const override;
};

} // namespace vgl
