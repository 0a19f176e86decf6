#include "platform/rtl/format_settings.h"

namespace vgl {

const TFormatSettings& FormatSettings() {
    static const TFormatSettings settings;
    return settings;
}

TFormatSettings TFormatSettings::Create() {
    return FormatSettings();
}

} // namespace vgl
