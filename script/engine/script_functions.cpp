#include "script/engine/script_functions.h"

#include <cmath>
#include <cstdint>
#include <random>

#include "platform/rtl/datetime.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/format.h"
#include "platform/rtl/mask_text.h"
#include "platform/rtl/rounding.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/utilities.h"
#include "script/engine/script_tools.h"
#include "script/engine/script_values.h"

namespace vgl {

namespace {

using Args = TfsMethodHelper*;

Variant Arg(Args caller, int i) {
    return caller->GetVParam(i);
}

// Each thread has its own generator, so concurrent requests never share a seed.
std::mt19937_64& Generator() {
    thread_local std::mt19937_64 generator{std::random_device{}()};
    return generator;
}

Variant ConvToText(TObject*, TClass, const String& name, Args c) {
    if (name == u"INTTOSTR")
        return IntToStr(Arg(c, 0).AsInt64());
    if (name == u"FLOATTOSTR")
        return FloatToStr(Arg(c, 0).AsExtended());
    if (name == u"DATETOSTR")
        return DateToStr(Arg(c, 0).AsDate());
    if (name == u"TIMETOSTR")
        return TimeToStr(Arg(c, 0).AsDate());
    if (name == u"DATETIMETOSTR")
        return DateTimeToStr(Arg(c, 0).AsDate());
    if (name == u"BOOLTOSTR")
        return String(Arg(c, 0).AsBoolean() ? u"-1" : u"0");
    return Variant();
}

Variant ConvFromText(TObject*, TClass, const String& name, Args c) {
    const String s = Arg(c, 0).AsString();
    if (name == u"STRTOINT")
        return StrToInt(s);
    if (name == u"STRTOINT64")
        return static_cast<long long>(StrToInt64(s));
    if (name == u"STRTOFLOAT")
        return StrToFloat(s);
    if (name == u"STRTODATE")
        return Variant::FromDate(StrToDate(s));
    if (name == u"STRTOTIME")
        return Variant::FromDate(StrToTime(s));
    if (name == u"STRTODATETIME")
        return Variant::FromDate(StrToDateTime(s));
    if (name == u"STRTOBOOL")
        return StrToBool(s);
    return Variant();
}

Variant FormatCall(TObject*, TClass, const String& name, Args c) {
    if (name == u"FORMAT") {
        const std::vector<TVarRec> recs = fsVariantToVarRecs(Arg(c, 1));
        return Format(Arg(c, 0).AsString(), std::span<const TVarRec>(recs));
    }
    if (name == u"FORMATFLOAT")
        return FormatFloat(Arg(c, 0).AsString(), Arg(c, 1).AsExtended());
    if (name == u"FORMATDATETIME")
        return FormatDateTime(Arg(c, 0).AsString(), Arg(c, 1).AsDate());
    if (name == u"FORMATMASKTEXT")
        return FormatMaskText(Arg(c, 0).AsString(), Arg(c, 1).AsString());
    return Variant();
}

int WordArg(Args c, int i) {
    return Arg(c, i).AsInteger();
}

Variant DateCall(TObject*, TClass, const String& name, Args c) {
    if (name == u"ENCODEDATE")
        return Variant::FromDate(EncodeDate(WordArg(c, 0), WordArg(c, 1), WordArg(c, 2)));
    if (name == u"DECODEDATE") {
        int y, m, d;
        DecodeDate(Arg(c, 0).AsDate(), y, m, d);
        c->SetVParam(1, y);
        c->SetVParam(2, m);
        c->SetVParam(3, d);
        return Variant();
    }
    if (name == u"ENCODETIME")
        return Variant::FromDate(EncodeTime(WordArg(c, 0), WordArg(c, 1), WordArg(c, 2), WordArg(c, 3)));
    if (name == u"DECODETIME") {
        int h, m, s, ms;
        DecodeTime(Arg(c, 0).AsDate(), h, m, s, ms);
        c->SetVParam(1, h);
        c->SetVParam(2, m);
        c->SetVParam(3, s);
        c->SetVParam(4, ms);
        return Variant();
    }
    if (name == u"DATE")
        return Variant::FromDate(Date());
    if (name == u"TIME")
        return Variant::FromDate(Time());
    if (name == u"NOW")
        return Variant::FromDate(Now());
    if (name == u"DAYOFWEEK")
        return DayOfWeek(Arg(c, 0).AsDate());
    if (name == u"ISLEAPYEAR")
        return IsLeapYear(Arg(c, 0).AsInteger());
    if (name == u"DAYSINMONTH") {
        static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        const int year = Arg(c, 0).AsInteger();
        const int month = Arg(c, 1).AsInteger();
        if (month < 1 || month > 12)
            throw EConvertError(Format(u"Invalid month: %d", {month}));
        return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
    }
    return Variant();
}

// The 1-based position argument of Copy, Delete and Insert, clipped to what an int holds.
int PosArg(Args c, int i) {
    const std::int64_t v = Arg(c, i).AsInt64();
    return int(std::clamp<std::int64_t>(v, INT32_MIN / 2, INT32_MAX / 2));
}

String NameCase(const String& s) {
    String r = AnsiLowerCase(s);
    for (size_t i = 0; i < r.size(); ++i) {
        if (i == 0 || r[i - 1] == u' ') {
            const String up = AnsiUpperCase(r.substr(i, 1));
            if (up.size() == 1)
                r[i] = up[0];
        }
    }
    return r;
}

Variant StringCall(TObject*, TClass, const String& name, Args c) {
    if (name == u"LENGTH") {
        const Variant v = Arg(c, 0);
        if (v.IsArray())
            return VarArrayHighBound(v, 1) - VarArrayLowBound(v, 1) + 1;
        return int(v.AsString().size());
    }
    if (name == u"COPY")
        return Copy(Arg(c, 0).AsString(), PosArg(c, 1), PosArg(c, 2));
    if (name == u"POS")
        return Pos(Arg(c, 0).AsString(), Arg(c, 1).AsString());
    if (name == u"DELETE" || name == u"DELETESTR") {
        String s = Arg(c, 0).AsString();
        const int from = PosArg(c, 1);
        const int count = PosArg(c, 2);
        if (from >= 1 && from <= int(s.size()) && count > 0)
            s.erase(size_t(from - 1), size_t(std::min(count, int(s.size()) - from + 1)));
        c->SetVParam(0, s);
        return Variant();
    }
    if (name == u"INSERT") {
        const String sub = Arg(c, 0).AsString();
        String s = Arg(c, 1).AsString();
        int pos = PosArg(c, 2);
        pos = std::clamp(pos, 1, int(s.size()) + 1);
        s.insert(size_t(pos - 1), sub);
        c->SetVParam(1, s);
        return Variant();
    }
    if (name == u"UPPERCASE")
        return AnsiUpperCase(Arg(c, 0).AsString());
    if (name == u"LOWERCASE")
        return AnsiLowerCase(Arg(c, 0).AsString());
    if (name == u"TRIM")
        return Trim(Arg(c, 0).AsString());
    if (name == u"NAMECASE")
        return NameCase(Arg(c, 0).AsString());
    if (name == u"COMPARETEXT")
        return AnsiCompareText(Arg(c, 0).AsString(), Arg(c, 1).AsString());
    if (name == u"CHR") {
        const int code = Arg(c, 0).AsInteger();
        if (code < 0 || code > 0xFFFF)
            throw EConvertError(Format(u"Character code %d out of range", {code}));
        return Variant(char16_t(code));
    }
    if (name == u"ORD") {
        const String s = Arg(c, 0).AsString();
        return s.empty() ? 0 : int(s[0]);
    }
    if (name == u"SETLENGTH") {
        Variant v = Arg(c, 0);
        const int len = Arg(c, 1).AsInteger();
        if (len < 0)
            throw ERangeError(Format(u"SetLength: negative length %d", {len}));
        if (v.IsArray()) {
            VarArrayRedim(v, len - 1);
        } else {
            String s = v.AsString();
            s.resize(size_t(len), u' '); // added characters are blanks
            v = Variant(s);
        }
        c->SetVParam(0, v);
        return Variant();
    }
    return Variant();
}

Variant MathCall(TObject*, TClass, const String& name, Args c) {
    if (name == u"PI")
        return double(3.1415926535897932385L);
    const long double e = Arg(c, 0).AsExtended();
    if (name == u"ROUND")
        return static_cast<long long>(Round(e));
    if (name == u"TRUNC") {
        if (!std::isfinite(e) || e >= 9.2233720368547758e18L || e <= -9.2233720368547758e18L)
            throw EInvalidOp(u"Invalid floating point operation");
        return static_cast<long long>(std::trunc(e));
    }
    if (name == u"INT")
        return double(std::trunc(e));
    if (name == u"FRAC")
        return double(e - std::trunc(e));
    if (name == u"SQRT")
        return double(std::sqrt(e));
    if (name == u"ABS")
        return double(std::fabs(e));
    if (name == u"SIN")
        return double(std::sin(e));
    if (name == u"COS")
        return double(std::cos(e));
    if (name == u"ARCTAN")
        return double(std::atan(e));
    if (name == u"TAN")
        return double(std::sin(e) / std::cos(e));
    if (name == u"EXP")
        return double(std::exp(e));
    if (name == u"LN")
        return double(std::log(e));
    return Variant();
}

Variant OtherCall(TObject*, TClass, const String& name, Args c) {
    if (name == u"VARTOSTR")
        return VarToStr(Arg(c, 0));
    if (name == u"INC") {
        c->SetVParam(0, fsValueAdd(Arg(c, 0), Arg(c, 1)));
        return Variant();
    }
    if (name == u"DEC") {
        c->SetVParam(0, fsValueSubtract(Arg(c, 0), Arg(c, 1)));
        return Variant();
    }
    if (name == u"RAISEEXCEPTION")
        throw Exception(Arg(c, 0).AsString());
    if (name == u"SHOWMESSAGE") {
        // No window here: the text goes to the message log.
        ErrorMessageBox(VarToStr(Arg(c, 0)));
        return Variant();
    }
    if (name == u"RANDOMIZE") {
        Generator().seed(std::random_device{}());
        return Variant();
    }
    if (name == u"RANDOM")
        return std::uniform_real_distribution<double>(0.0, 1.0)(Generator());
    if (name == u"VALIDINT") {
        int v;
        return TryStrToInt(Arg(c, 0).AsString(), v);
    }
    if (name == u"VALIDFLOAT") {
        long double v;
        return TryStrToFloat(Arg(c, 0).AsString(), v);
    }
    if (name == u"VALIDDATE") {
        const Variant a = Arg(c, 0);
        TDateTime d;
        try {
            return TryStrToDate(a.VType() == varDate ? DateToStr(a.AsDate()) : a.AsString(), d);
        } catch (const Exception&) {
            return false;
        }
    }
    if (name == u"EXTRACTFILEPATH")
        return ExtractFilePath(Arg(c, 0).AsString());
    if (name == u"CREATEOLEOBJECT")
        throw Exception(Format(u"Cannot create automation object %s: no automation server is available here",
                               {Arg(c, 0).AsString()}));
    if (name == u"VARARRAYCREATE") {
        const Variant bounds = Arg(c, 0);
        if (!bounds.IsArray())
            throw EVariantError(u"VarArrayCreate: bounds must be an array");
        std::vector<int> b;
        for (int i = VarArrayLowBound(bounds, 1); i <= VarArrayHighBound(bounds, 1); ++i)
            b.push_back(VarArrayGet(bounds, {i}).AsInteger());
        return VarArrayCreate(std::span<const int>(b), TVarType(Arg(c, 1).AsInteger()));
    }
    if (name == u"VARTYPE")
        return int(VarType(Arg(c, 0)));
    return Variant();
}

// The elementary type names.
void RegisterTypes(TfsScript& s) {
    for (const char16_t* t : {u"Byte", u"Word", u"Integer", u"Longint", u"Cardinal", u"TColor", u"TAlphaColor"})
        s.AddType(t, fvtInt);
    s.AddType(u"Int64", fvtInt64);
    s.AddType(u"Boolean", fvtBool);
    for (const char16_t* t :
         {u"Real", u"Single", u"Double", u"Extended", u"Currency", u"TDate", u"TTime", u"TDateTime"})
        s.AddType(t, fvtFloat);
    s.AddType(u"Char", fvtChar);
    s.AddType(u"String", fvtString);
    s.AddType(u"Variant", fvtVariant);
    s.AddType(u"Pointer", fvtVariant);
    s.AddType(u"Array", fvtArray);
    s.AddType(u"Constructor", fvtConstructor);
}

// The built-in functions, parsed once against a script holding the built-in type names (every
// prototype names only those), in registration order.
const std::vector<std::unique_ptr<TfsMethodHelper>>& PreparedFunctions() {
    static const std::vector<std::unique_ptr<TfsMethodHelper>> prepared = [] {
        TfsScript types(nullptr);
        RegisterTypes(types);
        std::vector<std::unique_ptr<TfsMethodHelper>> list;
        auto add = [&](const char16_t* syntax, TfsCallMethodNewEvent handler, const String& category) {
            auto m = std::make_unique<TfsMethodHelper>(syntax, &types);
            m->OnCallNew = std::move(handler);
            m->Category = category;
            m->Description = m->Name;
            list.push_back(std::move(m));
        };
        for (const char16_t* p :
             {u"function IntToStr(i: Integer): String", u"function FloatToStr(e: Extended): String",
              u"function DateToStr(e: Extended): String", u"function TimeToStr(e: Extended): String",
              u"function DateTimeToStr(e: Extended): String", u"function BoolToStr(B: Boolean): string;"})
            add(p, TfsCallMethodNewEvent(ConvToText), u"ctConv");
        add(u"function VarToStr(v: Variant): String", TfsCallMethodNewEvent(OtherCall), u"ctConv");
        for (const char16_t* p :
             {u"function StrToInt(s: String): Integer", u"function StrToInt64(s: String): Int64",
              u"function StrToFloat(s: String): Extended", u"function StrToDate(s: String): Extended",
              u"function StrToTime(s: String): Extended", u"function StrToDateTime(s: String): Extended",
              u"function StrToBool(const S: string): Boolean;"})
            add(p, TfsCallMethodNewEvent(ConvFromText), u"ctConv");

        for (const char16_t* p : {u"function Format(Fmt: String; Args: array): String",
                                  u"function FormatFloat(Fmt: String; Value: Extended): String",
                                  u"function FormatDateTime(Fmt: String; DateTime: TDateTime): String",
                                  u"function FormatMaskText(EditMask: string; Value: string): string"})
            add(p, TfsCallMethodNewEvent(FormatCall), u"ctFormat");

        for (const char16_t* p :
             {u"function EncodeDate(Year, Month, Day: Word): TDateTime",
              u"procedure DecodeDate(Date: TDateTime; var Year, Month, Day: Word)",
              u"function EncodeTime(Hour, Min, Sec, MSec: Word): TDateTime",
              u"procedure DecodeTime(Time: TDateTime; var Hour, Min, Sec, MSec: Word)", u"function Date: TDateTime",
              u"function Time: TDateTime", u"function Now: TDateTime", u"function DayOfWeek(aDate: TDateTime): Integer",
              u"function IsLeapYear(Year: Word): Boolean", u"function DaysInMonth(nYear, nMonth: Integer): Integer"})
            add(p, TfsCallMethodNewEvent(DateCall), u"ctDate");

        for (const char16_t* p :
             {u"function Length(s: Variant): Integer", u"function Copy(s: String; from, count: Integer): String",
              u"function Pos(substr, s: String): Integer", u"procedure Delete(var s: String; from, count: Integer)",
              u"procedure DeleteStr(var s: String; from, count: Integer)",
              u"procedure Insert(s: String; var s2: String; pos: Integer)", u"function Uppercase(s: String): String",
              u"function Lowercase(s: String): String", u"function Trim(s: String): String",
              u"function NameCase(s: String): String", u"function CompareText(s, s1: String): Integer",
              u"function Chr(i: Integer): Char", u"function Ord(ch: Char): Integer",
              u"procedure SetLength(var S: Variant; L: Integer)"})
            add(p, TfsCallMethodNewEvent(StringCall), u"ctString");

        for (const char16_t* p :
             {u"function Round(e: Extended): Integer", u"function Trunc(e: Extended): Integer",
              u"function Int(e: Extended): Integer", u"function Frac(X: Extended): Extended",
              u"function Sqrt(e: Extended): Extended", u"function Abs(e: Extended): Extended",
              u"function Sin(e: Extended): Extended", u"function Cos(e: Extended): Extended",
              u"function ArcTan(X: Extended): Extended", u"function Tan(X: Extended): Extended",
              u"function Exp(X: Extended): Extended", u"function Ln(X: Extended): Extended", u"function Pi: Extended"})
            add(p, TfsCallMethodNewEvent(MathCall), u"ctMath");

        for (const char16_t* p :
             {u"procedure Inc(var i: Integer; incr: Integer = 1)", u"procedure Dec(var i: Integer; decr: Integer = 1)",
              u"procedure RaiseException(Param: String)", u"procedure ShowMessage(Msg: Variant)",
              u"procedure Randomize", u"function Random: Extended", u"function ValidInt(cInt: String): Boolean",
              u"function ValidFloat(cFlt: String): Boolean", u"function ValidDate(cDate: String): Boolean",
              u"function ExtractFilePath(const FileName: string): string;",
              u"function CreateOleObject(ClassName: String): Variant",
              u"function VarArrayCreate(Bounds: Array; Typ: Integer): Variant",
              u"function VarType(V: Variant): Integer"})
            add(p, TfsCallMethodNewEvent(OtherCall), u"ctOther");

        return list;
    }();
    return prepared;
}

} // namespace

TfsSysFunctions::TfsSysFunctions(TfsScript* script) : TfsRTTIModule(script) {
    TfsScript& s = *script;
    RegisterTypes(s);

    s.AddConst(u"True", u"Boolean", true);
    s.AddConst(u"False", u"Boolean", false);
    s.AddConst(u"nil", u"Variant", 0);
    s.AddConst(u"Null", u"Variant", Null());
    s.Add(u"__StringHelper", std::make_unique<TfsStringHelper>());
    s.Add(u"__ArrayHelper", std::make_unique<TfsArrayHelper>(u"__ArrayHelper", -1, fvtVariant, u""));
    s.AddVariable(u"ExceptionClassName", u"String", String());
    s.AddVariable(u"ExceptionMessage", u"String", String());

    // The functions are parsed once per process and copied into each script.
    for (const auto& model : PreparedFunctions()) {
        auto m = std::make_unique<TfsMethodHelper>(*model);
        const String name = m->Name;
        s.Add(name, std::move(m));
    }

    static const struct {
        const char16_t* Name;
        int Code;
    } codes[] = {
        {u"varEmpty", 0},    {u"varNull", 1},     {u"varSmallint", 2},    {u"varInteger", 3},  {u"varSingle", 4},
        {u"varDouble", 5},   {u"varCurrency", 6}, {u"varDate", 7},        {u"varOleStr", 8},   {u"varDispatch", 9},
        {u"varError", 10},   {u"varBoolean", 11}, {u"varVariant", 12},    {u"varUnknown", 13}, {u"varShortInt", 16},
        {u"varByte", 17},    {u"varWord", 18},    {u"varLongWord", 19},   {u"varInt64", 20},   {u"varStrArg", 72},
        {u"varString", 256}, {u"varAny", 257},    {u"varTypeMask", 4095}, {u"varArray", 8192}, {u"varByRef", 16384}};
    for (const auto& c : codes)
        s.AddConst(c.Name, u"Integer", c.Code);
}

std::unique_ptr<TfsRTTIModule> fsCreateSysFunctions(TfsScript* script) {
    return std::make_unique<TfsSysFunctions>(script);
}

} // namespace vgl
