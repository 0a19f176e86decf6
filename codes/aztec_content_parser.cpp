#include "codes/aztec_content_parser.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "codes/aztec_messages.h"
#include "codes/dpd_aztec.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

namespace vgl {

namespace {

constexpr char kRS = 0x1E;
constexpr char kGS = 0x1D;
constexpr char kEOT = 0x04;
constexpr Char US = 0x1F;
constexpr std::string_view kEnvelopeStart = "[)>\x1e";

bool IsAsciiDigit(Char c) {
    return c >= u'0' && c <= u'9';
}

bool AllNumberChars(StringView s) {
    return std::all_of(s.begin(), s.end(), IsAztecNumberChar);
}

bool OneOf(StringView value, std::initializer_list<StringView> choices) {
    return std::find(choices.begin(), choices.end(), value) != choices.end();
}

String Quoted(StringView s) {
    return u"\"" + String(s) + u"\"";
}

[[noreturn]] void Fail(int id, TVarRecs args) {
    throw Exception(AztecMessage(id, args));
}

[[noreturn]] void FailWithReason(int id, TVarRecs args, StringView reason) {
    throw Exception(AztecMessageWithReason(id, args, reason));
}

// Plain decimal text: an optional sign, digits, optionally "." and more digits; at least one digit.
bool IsPlainDecimal(StringView s) {
    size_t k = 0;
    if (k < s.size() && (s[k] == u'-' || s[k] == u'+'))
        ++k;
    size_t digits = 0;
    bool point = false;
    for (; k < s.size(); ++k) {
        if (IsAsciiDigit(s[k]))
            ++digits;
        else if (s[k] == u'.' && !point)
            point = true;
        else
            return false;
    }
    return digits > 0;
}

String ZeroPadded(int value, int width) {
    String s = IntToStr(value);
    if (s.size() < static_cast<size_t>(width))
        s.insert(0, width - s.size(), u'0');
    return s;
}

} // namespace

std::vector<TAztecContentBlock> SplitAztecContent(std::string_view content) {
    if (content.size() < kEnvelopeStart.size() + 1 || !content.starts_with(kEnvelopeStart) || content.back() != kEOT)
        throw Exception(u"invalid Aztec-String: " + Latin1ToString(content));
    const std::string_view body = content.substr(kEnvelopeStart.size(), content.size() - kEnvelopeStart.size() - 1);
    std::vector<TAztecContentBlock> blocks;
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(body.find(kRS, start), body.size());
        const std::string_view block = body.substr(start, end - start);
        TAztecContentBlock items;
        size_t itemStart = 0;
        for (;;) {
            const size_t itemEnd = std::min(block.find(kGS, itemStart), block.size());
            items.push_back(Latin1ToString(block.substr(itemStart, itemEnd - itemStart)));
            if (itemEnd == block.size())
                break;
            itemStart = itemEnd + 1;
        }
        blocks.push_back(std::move(items));
        if (end == body.size())
            break;
        start = end + 1;
    }
    return blocks;
}

std::optional<long double> ReadAztecWeight(StringView value) {
    if (value.size() < 2 || !SameText(value.substr(value.size() - 2), u"KG"))
        return std::nullopt;
    // Exponent forms are refused, so a short field cannot grow into thousands of digits.
    const String number = Trim(value.substr(0, value.size() - 2));
    long double weight = 0;
    if (!IsPlainDecimal(number) || !TryStrToFloat(number, weight) || !std::isfinite(weight))
        return std::nullopt;
    return weight;
}

String FormatAztecWeight(long double weight, int maxChars) {
    const auto fits = [maxChars](const String& s) { return s.size() <= static_cast<size_t>(std::max(maxChars, 0)); };
    String text = FormatFloat(u"#0.00", weight) + u"KG";
    if (!fits(text))
        text = FormatFloat(u"#0.0", weight) + u"KG";
    if (!fits(text))
        text = FormatFloat(u"#0", weight) + u"KG";
    return text;
}

// ---- Field rules -----------------------------------------------------------------------------

TDPDAztecFieldCheckEvent TDPDAztec::FieldRule(TDPDAztecFieldId id) {
    // The notification rule of STD and S04: a known type, and the contacts the type needs.
    const auto notification = [this](TDPDAztecFieldId typeId, TDPDAztecFieldId mailId, TDPDAztecFieldId mobId,
                                     StringView typeName, StringView mailName, StringView mobName,
                                     StringView reasonJoin) {
        const String& type = Value(typeId);
        if (!OneOf(type, {u"", u"B", u"E", u"S", u"C"}))
            Fail(SAztecValueHasToBe, {typeName, AztecChoiceList({u"", u"B", u"E", u"S", u"C"})});
        const String reason = String(typeName) + String(reasonJoin) + Quoted(type);
        if (OneOf(type, {u"B", u"E"}) && Value(mailId).empty())
            FailWithReason(SAztecValueRequired, {mailName}, reason);
        if (OneOf(type, {u"B", u"S", u"C"}) && Value(mobId).empty())
            FailWithReason(SAztecValueRequired, {mobName}, reason);
    };
    const auto choice = [](std::initializer_list<StringView> allowed, String shown) {
        return [allowed = std::vector<StringView>(allowed), shown](TDPDAztecField& field) {
            if (std::find(allowed.begin(), allowed.end(), StringView(field.FieldValue())) == allowed.end())
                Fail(SAztecValueHasToBe, {field.FieldName(), shown});
        };
    };

    switch (id) {
    case fiISO_RangInNumber:
        return [this](TDPDAztecField& field) {
            const String& value = field.FieldValue();
            const size_t slash = value.find(u'/');
            const bool once = slash != String::npos && value.find(u'/', slash + 1) == String::npos;
            const StringView parcel = once ? StringView(value).substr(0, slash) : StringView();
            const StringView count = once ? StringView(value).substr(slash + 1) : StringView();
            const auto fail = [&] {
                Fail(SAztecWrongFormat, {field.FieldName(), u"3N/3N (MPS : Parcel X / in consignment Y)"});
            };
            if (!once || !AllNumberChars(parcel) || !AllNumberChars(count) || parcel.size() > 3 || count.size() > 3)
                fail();
            const int number = StrToInt(parcel); // an empty part fails here as a conversion error
            const int total = StrToInt(count);
            if (number > total)
                fail();
            FMPSParcelNumber = number;
            FMPSParcelCount = total;
            field.SetFieldValue(ZeroPadded(number, 3) + u"/" + ZeroPadded(total, 3));
        };
    case fiISO_DeclaredWeight:
        return [](TDPDAztecField& field) {
            const auto weight = ReadAztecWeight(field.FieldValue());
            if (!weight)
                Fail(SAztecWrongFormat, {field.FieldName(), u"nn.nnKG"});
            field.SetFieldValue(FormatFloat(u"#0.00", *weight) + u"KG");
        };
    case fiISO_CrossMatch:
        return choice({u"", u"Y", u"N"}, AztecChoiceList({u"Y", u"N"}));
    case fiISO_RecCompName1:
        return [this](TDPDAztecField& field) {
            if (field.FieldValue().empty() && Value(fiSTD_RecContact).empty())
                Fail(SAztecOneOfRequired, {u"ISO_RecCompName1 / STD_RecContact"});
        };
    case fiSTD_RecNotifMob:
        return [notification](TDPDAztecField&) {
            notification(fiSTD_NotifType, fiSTD_RecNotifEMail, fiSTD_RecNotifMob, u"STD_NotifType",
                         u"STD_RecNotifEMail", u"STD_RecNotifMob", u"");
        };
    case fiSTD_TotalWeight:
        return [this](TDPDAztecField& field) {
            if (field.FieldValue().empty()) {
                if (FMPSParcelNumber == 1 && FMPSParcelCount > 1)
                    FailWithReason(SAztecValueRequired, {field.FieldName()}, AztecMessageFormat(SAztecMps));
                return;
            }
            if (FMPSParcelNumber > 1 && FMPSParcelCount > 1)
                FailWithReason(SAztecValueHasToBe, {field.FieldName(), u""}, AztecMessageFormat(SAztecMasterPieceOnly));
            const auto weight = ReadAztecWeight(field.FieldValue());
            if (!weight)
                Fail(SAztecWrongFormat, {field.FieldName(), u"\"nnn.nnKG\",\"nnnn.nKG\",\"nnnnnnKG\""});
            field.SetFieldValue(FormatAztecWeight(*weight, field.MaxChars()));
        };
    case fiSTD_ConsType:
        return [this](TDPDAztecField& field) {
            const String& value = field.FieldValue();
            if (!OneOf(value, {u"", u"D", u"N"}))
                Fail(SAztecValueHasToBe, {field.FieldName(), AztecChoiceList({u"D", u"N"})});
            if (value == u"N" && Value(fiSTD_ContDescr).empty())
                FailWithReason(SAztecValueRequired, {u"STD_ContDescr"}, u"STD_ConsType=" + Quoted(value));
        };
    case fiS01_SendCompName:
        return [this](TDPDAztecField& field) {
            if (field.FieldValue().empty() && Value(fiS01_Contact).empty())
                Fail(SAztecOneOfRequired, {u"S01_SendCompName / S01_Contact"});
        };
    case fiS02_CollectType:
        return choice({u"", u"0", u"1", u"2"}, AztecChoiceList({u"", u"0", u"1", u"2"}));
    case fiS04_RecContact:
        return [this](TDPDAztecField& field) {
            if (Value(fiISO_RecCompName1).empty() && field.FieldValue().empty())
                Fail(SAztecOneOfRequired, {u"ISO_RecCompName1 / S04_RecContact"});
        };
    case fiS04_RecNotifMob:
        return [notification](TDPDAztecField&) {
            notification(fiS04_NotifType, fiS04_RecNotifEMail, fiS04_RecNotifMob, u"S04_NotifType",
                         u"S04_RecNotifEMail", u"S04_RecNotifMob", u"=");
        };
    case fiS05_Paid:
        return [this](TDPDAztecField& field) {
            const String& value = field.FieldValue();
            if (!OneOf(value, {u"", u"Y", u"N", u"B"}))
                Fail(SAztecValueHasToBe, {field.FieldName(), AztecChoiceList({u"Y", u"N", u"B"})});
            if (value == u"B" && Value(fiISO_CustAccNumber).empty())
                FailWithReason(SAztecValueRequired, {u"ISO_CustAccNumber"}, u"S05_Paid=" + Quoted(value));
        };
    case fiS05_Size:
        return choice({u"", u"XL", u"L", u"M", u"S", u"XS"}, AztecChoiceList({u"XL", u"L", u"M", u"S", u"XS"}));
    case fiS07_DeliveryDateFrom:
        return [this](TDPDAztecField&) {
            if (Value(fiS07_DeliveryDateFrom).empty() && Value(fiS07_DeliveryDateTo).empty())
                Fail(SAztecOneOfRequired, {u"S07_DeliveryDateTo / S07_DeliveryDateFrom"});
            if (Value(fiS07_DeliveryTimeFrom).empty() && Value(fiS07_DeliveryTimeTo).empty())
                Fail(SAztecOneOfRequired, {u"S07_DeliveryTimeTo / S07_DeliveryTimeFrom"});
        };
    case fiS08_Quality:
        return choice({u"", u"0", u"1", u"2", u"3", u"9"}, AztecChoiceList({u"0", u"1", u"2", u"3", u"9"}));
    case fiS08_DataOrigin:
        return choice({u"", u"G"}, AztecChoiceList({u"G"}));
    case fiS01_FormatID:
    case fiS02_FormatID:
    case fiS03_FormatID:
    case fiS04_FormatID:
    case fiS05_FormatID:
    case fiS06_FormatID:
    case fiS07_FormatID:
    case fiS08_FormatID:
        return [](TDPDAztecField& field) {
            const String block = field.FieldName().substr(0, 3);
            if (field.FieldValue().size() < 4 || !field.FieldValue().starts_with(block))
                Fail(SAztecWrongFormat, {field.FieldName(), block + u"X"});
        };
    default:
        return {};
    }
}

// ---- Checks ----------------------------------------------------------------------------------

void TDPDAztec::CheckValues() {
    // The parcel flags are declared before the fields, so they are tested first.
    FParcelInfo->CheckAllValuesSet();
    for (auto& field : FFields)
        if (field)
            field->CheckFieldValue();
}

void TDPDAztec::Validations() {
    const TDPDParcelInfo& info = *FParcelInfo;
    const bool followingPiece = FMPSParcelNumber > 1 && FMPSParcelCount > 1;
    if (info.IsCustom() == u'1') {
        if (!FIsDefined[3])
            FailWithReason(SAztecBlockRequired, {u"S03 Custom format block"}, u"Parcelinfo.IsCustom=\"1\"");
        if (followingPiece)
            FailWithReason(SAztecBlockForbidden, {u"S03 Custom format"}, AztecMessageFormat(SAztecMasterPieceOnly));
        if (!FIsDefined[1])
            FailWithReason(SAztecBlockRequired, {u"S01 Sender Information"}, u"S03_IsDefined");
        if (Value(fiISO_ConsCustRef1).empty())
            FailWithReason(SAztecValueRequired, {u"ISO_ConsCustRef1"}, u"S03_IsDefined");
    }
    if (info.IsReceiverInEU() == u'0' && !FIsDefined[3])
        FailWithReason(SAztecBlockRequired, {u"S03 Sender Information"}, u"ParcelInfo.IsEU=\"0\"");
    if ((info.IsSenderInEU() == u'0' || info.IsReceiverInEU() == u'0') && Value(fiSTD_ConsType).empty())
        FailWithReason(SAztecValueRequired, {u"STD_ConsType"}, u"ParcelInfo.IsSenderInEU or IsReceiverInEU = \"0\"");
    if (info.IsPredict() == u'1') {
        if (Value(fiSTD_NotifType).empty())
            FailWithReason(SAztecValueRequired, {u"STD_NotifType"}, u"Parcelinfo.IsPredict=\"1\"");
        if (FIsDefined[4] && Value(fiS04_NotifType).empty())
            FailWithReason(SAztecValueRequired, {u"S04_NotifType"}, u"Parcelinfo.IsPredict=\"1\"");
    }
    if (info.IsCOD() == u'1' && !FIsDefined[2])
        FailWithReason(SAztecBlockRequired, {u"S02 COD format block"}, u"Parcelinfo.IsCOD=\"1\"");
}

// ---- Parser ----------------------------------------------------------------------------------

void TDPDAztec::SetAsString(std::string_view value) {
    Clear();
    for (const TAztecContentBlock& items : SplitAztecContent(value)) {
        if (items.size() < 2)
            continue;
        // Items from `firstItem` on go to the fields first..last; false when the block ends early
        // (the items before the end are kept).
        const auto readItems = [&](size_t firstItem, int first, int last) {
            for (int id = first; id <= last; ++id) {
                const size_t index = firstItem + (id - first);
                if (index >= items.size())
                    return false;
                FFields[id]->SetFieldValue(items[index]);
            }
            return true;
        };
        // A compound item split at US into `count` members; an empty item leaves them alone.
        const auto readCompound = [&](size_t index, int first, int count) {
            if (index >= items.size())
                return false;
            if (items[index].empty())
                return true;
            const std::vector<String> pieces = SplitString(items[index], US);
            for (int member = 0; member < count; ++member) {
                if (static_cast<size_t>(member) >= pieces.size())
                    return false;
                FFields[first + member]->SetFieldValue(pieces[member]);
            }
            return true;
        };
        const auto blockText = [&] {
            String text;
            for (size_t k = 0; k < items.size(); ++k) {
                if (k > 0)
                    text += static_cast<Char>(kGS);
                text += items[k];
            }
            return text;
        };

        const String& header = items[0];
        if (SameText(header, Value(fiISO_Header))) {
            if (items[1] != Value(fiISO_Version))
                throw Exception(u"invalid Aztec-Version: " + items[1]);
            if (!readItems(2, fiISO_DestZipCode, fiISO_RecCompName1))
                throw Exception(u"invalid ISO block: " + blockText());
            continue;
        }
        if (!SameText(header, Value(fiSTD_Header2)))
            throw Exception(u"invalid Aztec-Header: " + header);

        const String& format = items[1];
        const bool g03 = SameText(format, Value(fiSTD_FormatID));
        if (g03 || SameText(format, u"G02")) {
            // G02 has no STD_ASCode; STD_FormatID keeps its value either way.
            if (!readItems(2, fiSTD_BarcodeOF, fiSTD_RoutingNec) || !readCompound(5, fiSTD_RecComment, 10) ||
                !readItems(6, fiSTD_NotifType, fiSTD_LimitedQtyHaz) ||
                (g03 && !readItems(16, fiSTD_ASCode, fiSTD_ASCode)))
                throw Exception(u"invalid STD block: " + blockText());
            continue;
        }

        int block = 0;
        for (int n = 1; n <= DPDAztecBlockCount && block == 0; ++n)
            if (SameText(format, u"S0" + IntToStr(n) + u"0"))
                block = n;
        if (block == 0)
            continue; // a format-"07" block of another kind
        SetIsDefined(block, true);
        const int formatId = BlockStart(block) + 1;
        FFields[formatId]->SetFieldValue(format);
        bool complete = true;
        if (block == 1) {
            complete = readCompound(2, fiS01_SendCompName, 9);
        } else if (block == 3) {
            complete = readItems(2, fiS03_CompInformation, fiS03_ArticleNumber);
            for (int article = 0; complete && article < DPDAztecArticleCount; ++article)
                complete = readCompound(18 + article, fiS03_Art_Desc0 + article * 6, 6);
        } else {
            complete = readItems(2, formatId + 1, BlockStart(block + 1) - 1);
        }
        if (!complete) {
            SetIsDefined(block, false); // a short optional block is dropped; the rest is still read
            continue;
        }
        if (block == 2)
            FParcelInfo->SetIsCOD(u'1');
        if (block == 3)
            FParcelInfo->SetIsCustom(u'1');
    }
}

} // namespace vgl
