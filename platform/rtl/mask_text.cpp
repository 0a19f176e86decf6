#include "platform/rtl/mask_text.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

bool IsLetter(char16_t c) {
    return AnsiUpperCase(String(1, c)) != AnsiLowerCase(String(1, c));
}

bool IsDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Whether `c` may stand at a position of mask character `m`.
bool Fits(char16_t m, char16_t c) {
    switch (m) {
    case u'L':
    case u'l':
        return IsLetter(c);
    case u'A':
    case u'a':
        return IsLetter(c) || IsDigit(c);
    case u'C':
    case u'c':
        return true;
    case u'0':
    case u'9':
        return IsDigit(c);
    case u'#':
        return IsDigit(c) || c == u'+' || c == u'-';
    default:
        return false;
    }
}

bool IsInputChar(char16_t m) {
    return Fits(m, u'0') || m == u'L' || m == u'l' || m == u'C' || m == u'c';
}

} // namespace

String FormatMaskText(StringView editMask, StringView value) {
    // Split the fields: mask ; literals saved ; blank character. A ';' after a backslash belongs
    // to the mask.
    String mask;
    String fields[2];
    int field = 0;
    for (size_t i = 0; i < editMask.size(); ++i) {
        const char16_t c = editMask[i];
        if (field == 0) {
            if (c == u'\\' && i + 1 < editMask.size()) {
                mask += c;
                mask += editMask[++i];
            } else if (c == u';') {
                field = 1;
            } else {
                mask += c;
            }
        } else if (c == u';' && field == 1) {
            field = 2;
        } else {
            fields[field - 1] += c;
        }
    }
    const bool saveLiterals = !(field >= 1 && Trim(fields[0]) == u"0");
    const char16_t blank = field == 2 && !fields[1].empty() ? fields[1][0] : u'_';

    String out;
    size_t v = 0;
    int caseMode = 0; // 1 upper, -1 lower
    for (size_t i = 0; i < mask.size(); ++i) {
        const char16_t m = mask[i];
        if (m == u'>') {
            if (i + 1 < mask.size() && mask[i + 1] == u'<') {
                ++i;
                caseMode = 0;
            } else {
                caseMode = 1;
            }
            continue;
        }
        if (m == u'<') {
            if (i + 1 < mask.size() && mask[i + 1] == u'>') {
                ++i;
                caseMode = 0;
            } else {
                caseMode = -1;
            }
            continue;
        }
        if (m == u'!')
            continue;
        if (IsInputChar(m)) {
            char16_t c = blank;
            if (v < value.size()) {
                const char16_t got = value[v++];
                if (Fits(m, got)) {
                    c = got;
                    if (caseMode != 0) {
                        const String s = caseMode > 0 ? AnsiUpperCase(String(1, got)) : AnsiLowerCase(String(1, got));
                        if (s.size() == 1)
                            c = s[0];
                    }
                }
            }
            out += c;
            continue;
        }
        char16_t literal = m;
        if (m == u'\\') {
            if (i + 1 >= mask.size())
                throw EConvertError(u"Edit mask ends in a lone backslash");
            literal = mask[++i];
        } else if (m == u'_') {
            literal = u' ';
        }
        out += literal;
        // A value that holds the literals has this one (or something in its place) here.
        if (saveLiterals && v < value.size())
            ++v;
    }
    return out;
}

} // namespace vgl
