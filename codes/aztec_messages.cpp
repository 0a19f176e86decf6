#include "codes/aztec_messages.h"

#include <iterator>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

// Indexed by id - SAztecMps.
constexpr StringView kFormats[] = {
    u"MPS",
    u"The field is set only for the master piece of MPS (ISO_RangInNumber).",
    u"\rReason : %s",
    u"%s : Field value is too long (max. %s)",
    u"%s : Field value is not numeric",
    u"%s : Field value is not a decimal value, separator = \".\" (point)",
    u"%s : The only acceptable alphabetic character is \"+\" before country code. Country code can be preceded of "
    u"\"00\" or \"+\"",
    u"%s : Invalid date (DDMMYYYY)",
    u"%s : Invalid time (HH:MM)",
    u"%s : Field value is required (mandatory)",
    u"%s : Field format is not \"%s\"",
    u"%s : Field value has to be %s",
    u"%s : One of the field is required (mandatory)",
    u"%s : Block is required (mandatory)",
    u"%s : Block is forbidden",
};

static_assert(std::size(kFormats) == SAztecBlockForbidden - SAztecMps + 1);

} // namespace

StringView AztecMessageFormat(int id) {
    if (id < SAztecMps || id > SAztecBlockForbidden)
        throw EArgumentOutOfRangeException(u"No Aztec message with the id " + IntToStr(id));
    return kFormats[id - SAztecMps];
}

String AztecMessage(int id, TVarRecs args) {
    return Format(AztecMessageFormat(id), args);
}

String AztecMessageWithReason(int id, TVarRecs args, StringView reason) {
    return AztecMessage(id, args) + Format(AztecMessageFormat(SAztecReason), {reason});
}

String AztecChoiceList(std::initializer_list<StringView> choices) {
    String result;
    for (StringView choice : choices) {
        if (!result.empty())
            result += u" or ";
        result += u'"';
        result += choice;
        result += u'"';
    }
    return result;
}

} // namespace vgl
