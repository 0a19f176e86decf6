#include "script/engine/script_prototype.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"
#include "script/engine/script.h"
#include "script/engine/script_parser.h"
#include "script/engine/script_text_cache.h"
#include "script/engine/script_tools.h"

namespace vgl {

// ---- Reading ---------------------------------------------------------------------------------

namespace {

// The default after '=' in a parameter group: a number, a quoted text, '-' and a number, or an
// identifier; the parser stands after what was read.
void ReadDefault(TfsParser& p, TfsPrototype::TGroup& group) {
    String s = p.GetNumber();
    if (!s.empty()) {
        group.DefaultKind = TfsPrototype::dkNumber;
        group.DefaultText = std::move(s);
        return;
    }
    s = p.GetString();
    if (!s.empty()) {
        group.DefaultKind = TfsPrototype::dkString;
        group.DefaultText = std::move(s);
        return;
    }
    p.SkipSpaces();
    const int beforeMinus = p.Position();
    if (p.GetChar() == u"-") {
        s = p.GetNumber();
        if (!s.empty()) {
            group.DefaultKind = TfsPrototype::dkNumber;
            group.DefaultText = u"-" + s;
            return;
        }
    }
    p.SetPosition(beforeMinus);
    s = p.GetIdent();
    group.DefaultKind = s.empty() ? TfsPrototype::dkNull : TfsPrototype::dkName;
    group.DefaultText = std::move(s);
}

} // namespace

std::unique_ptr<TfsPrototype> fsReadPrototype(StringView text) {
    auto proto = std::make_unique<TfsPrototype>();
    // The parser's default settings. A script's ExtendedCharset would add the characters 128 to
    // 255 to the identifier characters, but the parser takes every character from 127 on into an
    // identifier anyway, so the reading depends on the text alone.
    TfsParser p;
    p.SetText(text);

    String kind = p.GetIdent();
    if (kind.size() >= 5 && AnsiSameText(StringView(kind).substr(0, 5), u"macro")) {
        proto->IsMacro = true;
        kind.erase(0, 5);
    }
    const bool isFunc = AnsiSameText(kind, u"function");
    proto->Name = p.GetIdent();
    proto->UppercaseName = AnsiUpperCase(proto->Name);

    if (isFunc) {
        const size_t colon = text.rfind(u':');
        if (colon != StringView::npos) {
            const int resume = p.Position();
            p.SetPosition(int(colon) + 2);
            proto->TypeName = p.GetIdent();
            p.SetPosition(resume);
        }
    }

    const int size = int(text.size());
    p.SkipSpaces();
    if (p.GetChar() != u"(")
        return proto;

    // Groups "[var|const] a, b: Type [= default]" separated by ';' up to ')'. Every step either
    // moves the position or ends the list, and the end of the text ends it too.
    bool listDone = false;
    while (!listDone && p.Position() <= size) {
        TfsPrototype::TGroup& group = proto->Groups.emplace_back();
        for (;;) {
            const int before = p.Position();
            String word = p.GetIdent();
            if (AnsiSameText(word, u"var"))
                group.IsVarParam = true;
            else if (!word.empty() && !AnsiSameText(word, u"const"))
                group.Names.push_back(std::move(word));
            p.SkipSpaces();
            const int beforeChar = p.Position();
            const String c = p.GetChar();
            if (c == u":") {
                group.TypeName = p.GetIdent();
                p.SkipSpaces();
                const int beforeEq = p.Position();
                if (p.GetChar() == u"=")
                    ReadDefault(p, group);
                else
                    p.SetPosition(beforeEq);
                break;
            }
            if (c == u")") {
                p.SetPosition(beforeChar);
                break;
            }
            if (p.Position() == before || p.Position() > size) {
                listDone = true; // no progress, or the text ended inside the list
                break;
            }
        }
        proto->ParamCount += int(group.Names.size());
        if (listDone)
            break;
        p.SkipSpaces();
        const int beforeNext = p.Position();
        if (p.GetChar() == u")" || p.Position() == beforeNext)
            break;
    }
    return proto;
}

// ---- The process's readings ------------------------------------------------------------------

const TfsPrototype& fsPrototypeOf(StringView text, std::unique_ptr<TfsPrototype>& holder) {
    // The built-in modules register about four hundred texts.
    static TfsTextCache<TfsPrototype> cache(4096, 1024);
    return cache.Get(text, holder, fsReadPrototype);
}

// ---- Items from a reading --------------------------------------------------------------------

namespace {

// A number too large for a Double ("1e999") is no value: the default stays Null.
Variant NumberValue(StringView text) {
    try {
        return fsTextToValue(text);
    } catch (const EConvertError&) {
        return Null();
    }
}

Variant DefaultValue(const TfsPrototype::TGroup& group, const TfsScript* script) {
    switch (group.DefaultKind) {
    case TfsPrototype::dkNumber:
        return NumberValue(group.DefaultText);
    case TfsPrototype::dkString:
        return fsTextToValue(group.DefaultText);
    case TfsPrototype::dkName:
        if (TfsCustomVariable* item = script ? script->Find(group.DefaultText) : nullptr)
            return item->GetValue();
        return Null();
    case TfsPrototype::dkNone:
    case TfsPrototype::dkNull:
        break;
    }
    return Null();
}

} // namespace

TfsVarType fsPrototypeResultType(const TfsPrototype& proto, const TfsScript* script) {
    return fsTypeOfName(proto.TypeName, script);
}

void fsAddPrototypeParams(const TfsPrototype& proto, const TfsScript* script, TfsCustomVariable& item) {
    item.Reserve(item.Count() + proto.ParamCount);
    for (const TfsPrototype::TGroup& group : proto.Groups) {
        // The default is asked before the type, as a reading of the text meets them.
        const bool hasDefault = group.DefaultKind != TfsPrototype::dkNone;
        Variant defValue = hasDefault ? DefaultValue(group, script) : Null();
        const TfsVarType typ = fsTypeOfName(group.TypeName, script);
        for (size_t i = 0; i < group.Names.size(); ++i) {
            const bool last = i + 1 == group.Names.size();
            auto param = std::make_unique<TfsParamItem>(group.Names[i], typ, group.TypeName, last && hasDefault,
                                                        group.IsVarParam);
            if (last && hasDefault)
                param->DefValue = defValue;
            item.Add(std::move(param));
        }
    }
}

} // namespace vgl
