#pragma once
// Lists of the live output transports for choosing one, and the file-filter purpose that
// belongs to a visibility purpose.

#include "report/model/io_transport.h"

namespace vgl {

class TStrings;

/// Empties the list, then adds, in registration order, the description of every registered
/// transport whose Visibility contains `state`, with the transport as the line's object. The
/// transports are read from a copy of the registry taken under its lock; the caller makes sure
/// none of them is freed meanwhile (transports belong to the threads that made them).
void FillIOTransportsList(TStrings& list, TfrxFilterVisibleState state);

/// fvDesigner gives fvDesignerFileFilter, fvPreview fvPreviewFileFilter, fvExport
/// fvExportFileFilter, anything else fvOther.
TfrxFilterVisibleState FileFilterVisibleState(TfrxFilterVisibleState state);

} // namespace vgl
