#pragma once
// The message texts of the Aztec content checks, kept in one table that the field checks and
// the content validation both read.

#include <initializer_list>

#include "platform/rtl/format.h"
#include "platform/rtl/ustring.h"

namespace vgl {

/// Resource ids of the content-check messages. The first %s of a format is a field name or a
/// block label.
enum TAztecMessageId : int {
    SAztecMps = 64720,                ///< "MPS"
    SAztecMasterPieceOnly = 64721,    ///< the field is set only on the master piece of a multi-parcel shipment
    SAztecReason = 64722,             ///< CR + "Reason : %s", appended to another format
    SAztecValueTooLong = 64723,       ///< "%s : Field value is too long (max. %s)"
    SAztecNotNumeric = 64724,         ///< "%s : Field value is not numeric"
    SAztecNotDecimal = 64725,         ///< "%s : Field value is not a decimal value, ..."
    SAztecInvalidPhoneNumber = 64726, ///< "%s : The only acceptable alphabetic character is "+" ..."
    SAztecInvalidDate = 64727,        ///< "%s : Invalid date (DDMMYYYY)"
    SAztecInvalidTime = 64728,        ///< "%s : Invalid time (HH:MM)"
    SAztecValueRequired = 64729,      ///< "%s : Field value is required (mandatory)"
    SAztecWrongFormat = 64730,        ///< "%s : Field format is not "%s""
    SAztecValueHasToBe = 64731,       ///< "%s : Field value has to be %s"
    SAztecOneOfRequired = 64732,      ///< "%s : One of the field is required (mandatory)"
    SAztecBlockRequired = 64733,      ///< "%s : Block is required (mandatory)"
    SAztecBlockForbidden = 64734,     ///< "%s : Block is forbidden"
};

/// The format text of a message id. Raises EArgumentOutOfRangeException for an id outside
/// 64720-64734.
StringView AztecMessageFormat(int id);

/// The message `id` formatted with `args`.
String AztecMessage(int id, TVarRecs args);

/// The message `id` formatted with `args`, followed by the reason line (SAztecReason) holding
/// `reason`.
String AztecMessageWithReason(int id, TVarRecs args, StringView reason);

/// A list of choices as the messages write it: each choice in double quotes, joined by " or "
/// ({"0", "1"} gives "0" or "1" with its quotes).
String AztecChoiceList(std::initializer_list<StringView> choices);

} // namespace vgl
