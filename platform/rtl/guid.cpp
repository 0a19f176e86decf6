#include "platform/rtl/guid.h"

#include <sys/random.h>

#include <cerrno>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/format.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

TGUID CreateGUID() {
    std::uint8_t bytes[16];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EOSError(u"The host's random source failed");
        }
        got += static_cast<std::size_t>(n);
    }
    TGUID g;
    g.D1 =
        (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
    g.D2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    g.D3 = static_cast<std::uint16_t>((((bytes[6] << 8) | bytes[7]) & 0x0FFF) | 0x4000); // version 4
    for (int i = 0; i < 8; ++i)
        g.D4[i] = bytes[8 + i];
    g.D4[0] = static_cast<std::uint8_t>((g.D4[0] & 0x3F) | 0x80); // RFC 4122 variant
    return g;
}

String GUIDToString(const TGUID& guid) {
    static const char16_t hex[] = u"0123456789ABCDEF";
    String s;
    s.reserve(38);
    auto put = [&](std::uint64_t v, int digits) {
        for (int i = digits - 1; i >= 0; --i)
            s += hex[(v >> (4 * i)) & 0xF];
    };
    s += u'{';
    put(guid.D1, 8);
    s += u'-';
    put(guid.D2, 4);
    s += u'-';
    put(guid.D3, 4);
    s += u'-';
    put(guid.D4[0], 2);
    put(guid.D4[1], 2);
    s += u'-';
    for (int i = 2; i < 8; ++i)
        put(guid.D4[i], 2);
    s += u'}';
    return s;
}

bool TryStringToGUID(StringView text, TGUID& guid) {
    if (text.size() != 38 || text[0] != u'{' || text[37] != u'}')
        return false;
    std::size_t pos = 1;
    auto read = [&](int digits, std::uint64_t& out) {
        out = 0;
        for (int i = 0; i < digits; ++i, ++pos) {
            Char c = text[pos];
            const int d = HexDigitValue(c);
            if (d < 0)
                return false;
            out = out << 4 | static_cast<std::uint64_t>(d);
        }
        return true;
    };
    auto dash = [&] { return text[pos++] == u'-'; };
    std::uint64_t d1, d2, d3, d4a, d4b;
    if (!read(8, d1) || !dash() || !read(4, d2) || !dash() || !read(4, d3) || !dash() || !read(4, d4a) || !dash() ||
        !read(12, d4b))
        return false;
    guid.D1 = static_cast<std::uint32_t>(d1);
    guid.D2 = static_cast<std::uint16_t>(d2);
    guid.D3 = static_cast<std::uint16_t>(d3);
    guid.D4[0] = static_cast<std::uint8_t>(d4a >> 8);
    guid.D4[1] = static_cast<std::uint8_t>(d4a);
    for (int i = 0; i < 6; ++i)
        guid.D4[2 + i] = static_cast<std::uint8_t>(d4b >> (8 * (5 - i)));
    return true;
}

TGUID StringToGUID(StringView text) {
    TGUID g;
    if (!TryStringToGUID(text, g))
        throw EConvertError(u"'%s' is not a valid GUID value", {text});
    return g;
}

bool IsEqualGUID(const TGUID& a, const TGUID& b) {
    return a == b;
}
bool IsNullGUID(const TGUID& guid) {
    return guid == GUID_NULL;
}

} // namespace vgl
