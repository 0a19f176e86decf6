#pragma once
// The request-to-label mapping: one request record onto a cleared label module, which every
// label and Aztec operation of the service runs once before it prints or builds anything.

#include <functional>

#include "labels/dpd_label_print.h"
#include "platform/rtl/datetime.h"
#include "service/geo_label_types.h"

namespace vgl {

/// The clock the mapping reads the current local date and time from; Now() when empty.
using TGeoLabelClock = std::function<TDateTime()>;

/// Fills `module` (cleared just before) from `record`: the label flags, the text lists (one line
/// per printed line), the routing barcode text Bic3BarcodeTxt as 8-bit text in the system ANSI
/// code page, and the Aztec builder's parcel flags, fields and blocks S01 and S02. Numbers and
/// the date in the origin line ("yy/mm/dd hh:nn", from `clock`) use fixed formats with "." as
/// decimal separator, whatever the host. No value is checked or normalised: missing data gives
/// empty lines or fields, and an absent country record drops exactly the parts that need it.
///
/// Writes four defaults back into the record: MPSCount 1 when below 1, ActWorkStationID "999",
/// MiscDisclaimerText the built-in disclaimer sentence and MiscSoftwareInfoText
/// "VELMORA Labelprint" when they are empty. Raises nothing of its own; an exception of the
/// module's lists or of the Aztec builder goes to the caller.
void MapGeoLabelData(TGeoLabelData& record, TDMDPDLabelPrint& module, const TGeoLabelClock& clock = {});

} // namespace vgl
