#pragma once
// GUIDs: creation (random, version 4) and the platform's braced text form.

#include <cstdint>

#include "platform/rtl/ustring.h"

namespace vgl {

struct TGUID {
    std::uint32_t D1 = 0;
    std::uint16_t D2 = 0;
    std::uint16_t D3 = 0;
    std::uint8_t D4[8] = {};

    friend bool operator==(const TGUID&, const TGUID&) = default;
};

/// The null GUID {00000000-0000-0000-0000-000000000000}.
constexpr TGUID GUID_NULL{};

/// A new random GUID (version 4, RFC 4122 variant) from the host's random source.
TGUID CreateGUID();
/// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal, 38 characters.
String GUIDToString(const TGUID& guid);
/// Reads the braced form (either case). Raises EConvertError "'%s' is not a valid GUID value".
TGUID StringToGUID(StringView text);
bool TryStringToGUID(StringView text, TGUID& guid);
bool IsEqualGUID(const TGUID& a, const TGUID& b);
bool IsNullGUID(const TGUID& guid);

} // namespace vgl
