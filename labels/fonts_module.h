#pragma once
// TDMFonts: the fonts module, created once at start-up before anything lays out text. It holds
// the two label faces as embedded data and registers them for the process under the family
// "Arial Narrow", so that text layout and the PDF export find that family.

#include "labels/embedded_data.h"
#include "platform/rtl/component.h"

namespace vgl {

class TDMFonts : public TComponent {
    VGL_CLASS(TDMFonts, TComponent)

    /// Creates the two data components, fills them with the faces the program carries
    /// (resources "LiberationSansNarrow-Regular" and "LiberationSansNarrow-Bold", type "FONT")
    /// and runs DataModuleCreate. Raises EInvalidOperation when the faces cannot be registered
    /// (see DataModuleCreate); start-up must stop then.
    explicit TDMFonts(TComponent* owner);

    /// Registers the data of FontArialNarrow and FontArialNarrowBold through RegisterLabelFonts
    /// (platform/graphics/label_fonts.h), the one registration path: faces registered before are
    /// not added again. Raises EInvalidOperation when a face cannot be registered or when
    /// "Arial Narrow" regular or bold then resolves only to a fallback or simulated face.
    void DataModuleCreate(TObject* sender);

    TDataEmbedded* FontArialNarrow() const { return FFontArialNarrow; }
    TDataEmbedded* FontArialNarrowBold() const { return FFontArialNarrowBold; }

private:
    TDataEmbedded* FFontArialNarrow;     // owned as a component
    TDataEmbedded* FFontArialNarrowBold; // owned as a component
};

} // namespace vgl
