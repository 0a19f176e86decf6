#include "script/engine/il_parser.h"

#include <mutex>
#include <unordered_map>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/file_utils.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "report/foundation/resource_strings.h"
#include "script/engine/language_registry.h"
#include "script/engine/script.h"
#include "script/engine/script_limits.h"

namespace vgl {

namespace {

const String kNestingTooDeep = u"Nesting too deep";

} // namespace

// One element of a grammar rule, with its attributes decoded once.
struct TfsGrammarElement {
    enum TKind {
        Rule,
        Char,
        Keyword,
        Ident,
        Number,
        StringToken,
        FRString,
        Eol,
        Sequence,
        Switch,
        OptionalSwitch,
        Loop,
        OptionalLoop,
        Optional,
        RuleRef
    };
    TKind Kind = Sequence;
    String Text;    // lower-cased: the required token, or a loop's separator
    String Node;    // lower-cased: the IL element wrapping what this element writes
    String Add;     // the IL leaf written on a match
    String AddText; // its text (empty: the token)
    bool HasErr = false;
    String ErrMsg;
    bool Term = false;
    bool SkipBlanks = true;  // skip="0" on a char: no blank skipping
    bool ClearAtEnd = false; // skip="1" on a loop
    String RefName;
    const TfsGrammarElement* Ref = nullptr; // the rule a reference names; none when undefined
    std::vector<std::unique_ptr<TfsGrammarElement>> Children;
};

struct TfsPreparedGrammar {
    std::vector<std::unique_ptr<TfsGrammarElement>> Rules;      // the root's children, in order
    std::unordered_map<String, const TfsGrammarElement*> Index; // lower-cased name → first rule
    const TfsGrammarElement* Program = nullptr;
};

namespace {

TfsGrammarElement::TKind KindOf(const String& lowerName) {
    static const std::unordered_map<String, TfsGrammarElement::TKind> kinds = {
        {u"char", TfsGrammarElement::Char},
        {u"keyword", TfsGrammarElement::Keyword},
        {u"ident", TfsGrammarElement::Ident},
        {u"number", TfsGrammarElement::Number},
        {u"string", TfsGrammarElement::StringToken},
        {u"frstring", TfsGrammarElement::FRString},
        {u"eol", TfsGrammarElement::Eol},
        {u"sequence", TfsGrammarElement::Sequence},
        {u"switch", TfsGrammarElement::Switch},
        {u"optionalswitch", TfsGrammarElement::OptionalSwitch},
        {u"loop", TfsGrammarElement::Loop},
        {u"optionalloop", TfsGrammarElement::OptionalLoop},
        {u"optional", TfsGrammarElement::Optional},
    };
    const auto it = kinds.find(lowerName);
    return it == kinds.end() ? TfsGrammarElement::RuleRef : it->second;
}

std::unique_ptr<TfsGrammarElement> PrepareElement(const TfsXMLItem& item, bool isRule, const TfsXMLItem* errors) {
    auto e = std::make_unique<TfsGrammarElement>();
    const String lowerName = LowerCase(item.Name());
    e->Kind = isRule ? TfsGrammarElement::Rule : KindOf(lowerName);
    if (e->Kind == TfsGrammarElement::RuleRef)
        e->RefName = lowerName;
    e->Text = LowerCase(item.GetProp(u"text"));
    e->Node = LowerCase(item.GetProp(u"node"));
    e->Add = item.GetProp(u"add");
    e->AddText = item.GetProp(u"addtext");
    const String err = item.GetProp(u"err");
    if (!err.empty() && errors) {
        const int at = errors->Find(err);
        e->ErrMsg = at >= 0 ? errors->Items(at)->GetProp(u"text") : String();
        e->HasErr = !e->ErrMsg.empty();
    }
    e->Term = item.GetProp(u"term") == u"1";
    const String skip = item.GetProp(u"skip");
    e->SkipBlanks = skip != u"0";
    e->ClearAtEnd = skip == u"1";
    for (int i = 0; i < item.Count(); ++i)
        e->Children.push_back(PrepareElement(*item.Items(i), false, errors));
    return e;
}

void ResolveReferences(TfsGrammarElement& e, const TfsPreparedGrammar& g) {
    if (e.Kind == TfsGrammarElement::RuleRef) {
        const auto it = g.Index.find(e.RefName);
        e.Ref = it == g.Index.end() ? nullptr : it->second;
    }
    for (auto& child : e.Children)
        ResolveReferences(*child, g);
}

std::unique_ptr<TfsPreparedGrammar> PrepareGrammar(const TfsXMLItem& root) {
    auto g = std::make_unique<TfsPreparedGrammar>();
    const TfsXMLItem* errors = nullptr;
    if (const int p = root.Find(u"parser"); p >= 0) {
        const TfsXMLItem* parser = root.Items(p);
        if (const int e = parser->Find(u"errors"); e >= 0)
            errors = parser->Items(e);
    }
    for (int i = 0; i < root.Count(); ++i) {
        g->Rules.push_back(PrepareElement(*root.Items(i), true, errors));
        g->Index.try_emplace(LowerCase(root.Items(i)->Name()), g->Rules.back().get());
    }
    for (auto& rule : g->Rules)
        ResolveReferences(*rule, *g);
    const auto program = g->Index.find(u"program");
    g->Program = program == g->Index.end() ? nullptr : program->second;
    return g;
}

[[noreturn]] void RaiseInvalidLanguage() {
    throw Exception(fsScriptMessages().SInvalidLanguage);
}

} // namespace

// ---- The walk --------------------------------------------------------------------------------

// One walk of the grammar over the source: the IL lines written so far and the first error.
struct TfsGrammarWalk {
    TfsILParser& P;
    TfsParser& Parser;
    std::vector<String> Lines;
    String ErrorMsg;
    String ErrorPos;
    bool ErrorTerm = false;
    // A failure that ends the whole walk (nesting, units); it outranks any recorded error.
    bool Aborted = false;
    String AbortMsg;
    String AbortPos;
    int Depth = 0;

    explicit TfsGrammarWalk(TfsILParser& p) : P(p), Parser(*p.FParser) {}

    // The position of the next token at `pos`, as "line:column"; the position is kept.
    String TokenPosition(int pos) {
        const int saved = Parser.Position();
        Parser.SetPosition(pos);
        Parser.SkipSpaces();
        String result = Parser.GetXYPosition();
        Parser.SetPosition(saved);
        return result;
    }

    [[gnu::noinline]] void RecordError(const TfsGrammarElement& e, int start) {
        if (!e.HasErr || !ErrorMsg.empty())
            return;
        ErrorMsg = e.ErrMsg;
        ErrorPos = TokenPosition(start);
        ErrorTerm = e.Term;
    }

    [[gnu::noinline]] void Abort(const String& message, int start) {
        if (Aborted)
            return;
        Aborted = true;
        AbortMsg = message;
        AbortPos = TokenPosition(start);
    }

    // Compiles the unit `name` once per compile; the lines of its uses element, empty when it
    // was included already. An error in the unit ends the walk with the unit's message and
    // position and sets the script's ErrorUnit.
    [[gnu::noinline]] std::vector<String> IncludeUnit(const String& name) {
        if (P.FUsesList->IndexOf(name) >= 0)
            return {};
        P.FUsesList->Add(name);
        TfsScript* script = P.FProgram;
        String text;
        if (script->OnGetUnit) {
            script->OnGetUnit(script, name, text);
        } else {
            String fileName = name;
            const TStringList& paths = script->IncludePath();
            for (int i = 0; i < paths.Count(); ++i) {
                String path = paths.Get(i);
                for (Char& c : path)
                    if (c == u'\\')
                        c = u'/';
                if (!path.empty() && path.back() != u'/')
                    path += u'/';
                String unitName = name;
                for (Char& c : unitName)
                    if (c == u'\\')
                        c = u'/';
                fileName = path + unitName;
                if (FileExists(fileName))
                    break;
            }
            TStringList lines;
            lines.LoadFromFile(fileName);
            text = lines.Text();
        }
        TfsILParser unit(script);
        unit.FUnitName = name;
        unit.FBaseDepth = P.FBaseDepth + Depth;
        String il;
        if (!text.empty()) {
            unit.SelectLanguage(P.FLangName);
            unit.FUsesList->Assign(*P.FUsesList);
            if (!unit.MakeILScript(text)) {
                Aborted = true;
                AbortMsg = script->ErrorMsg;
                AbortPos = script->ErrorPos;
                if (script->ErrorUnit.empty())
                    script->ErrorUnit = name;
                return {};
            }
            P.FUsesList->Assign(*unit.FUsesList);
            for (auto& [unitName, unitText] : unit.FUnitTexts)
                P.FUnitTexts[unitName] = std::move(unitText);
            TMemoryStream stream;
            unit.FILScript->SaveToStream(stream);
            std::string bytes(reinterpret_cast<const char*>(stream.Memory()), size_t(stream.GetSize()));
            if (const size_t header = bytes.find("?>"); header != std::string::npos)
                bytes.erase(0, header + 2);
            il = Utf8ToString(bytes);
        }
        P.FUnitTexts[name] = text;
        return {u"<uses unit=\"" + fsXMLEscapeText(name) + u"\">", il, u"</uses>"};
    }

    static String Leaf(const String& name, const String& text, const String& pos) {
        return u"<" + name + u" text=\"" + fsXMLEscapeText(text) + u"\" pos=\"" + pos + u"\"/>";
    }

    // Wraps the lines written since `firstLine` in the element `node`, or drops them when the
    // element failed. A uses clause names units, which are not supported: it ends the walk.
    [[gnu::noinline]] void ApplyNode(const TfsGrammarElement& e, bool matched, int start, size_t firstLine) {
        if (e.Node.empty())
            return;
        if (e.Node == u"uses") {
            std::vector<String> units;
            for (size_t i = Lines.size(); i-- > firstLine;) {
                const String& line = Lines[i];
                const size_t from = line.find(u"text=\"");
                if (from == String::npos)
                    continue;
                const size_t valueStart = from + 6;
                size_t valueEnd = line.find(u"\" ", valueStart);
                if (valueEnd == String::npos)
                    valueEnd = line.size();
                const String value = fsXMLUnescapeText(StringView(line).substr(valueStart, valueEnd - valueStart));
                units.push_back(value.size() >= 2 ? value.substr(1, value.size() - 2) : String());
            }
            Lines.resize(firstLine);
            if (!matched)
                return;
            // Units come out in the reverse order of the clause.
            size_t at = firstLine;
            for (const String& unit : units) {
                std::vector<String> block = IncludeUnit(unit);
                if (Aborted)
                    return;
                for (String& line : block)
                    Lines.insert(Lines.begin() + std::ptrdiff_t(at++), std::move(line));
            }
            return;
        }
        if (!matched) {
            Lines.resize(firstLine);
            return;
        }
        String open = u"<" + e.Node + u" pos=\"" + TokenPosition(start) + u"\"";
        if (e.Node == u"expr")
            open += u" pos1=\"" + Parser.GetXYPosition() + u"\"";
        open += u">";
        Lines.insert(Lines.begin() + std::ptrdiff_t(firstLine), std::move(open));
        Lines.push_back(u"</" + e.Node + u">");
    }

    // Walk recurses once per grammar step, so its own frame stays small: the work that needs
    // temporaries lives in these helpers, out of line.
    [[gnu::noinline]] String WalkFRString() {
        // A report expression becomes a call of Get with the expression text as a string.
        String token = Parser.GetFRString();
        const String pos = Parser.GetXYPosition();
        Lines.push_back(u"<dsgn pos=\"" + pos + u"\">");
        Lines.push_back(Leaf(u"node", u"Get", pos));
        Lines.push_back(u"<expr pos=\"" + pos + u"\">");
        Lines.push_back(u"<string text=\"'" + fsXMLEscapeText(token) + u"'\" pos=\"" + pos + u"\"/>");
        Lines.push_back(u"</expr>");
        Lines.push_back(u"</dsgn>");
        return token;
    }

    // Reads the token element `e` asks for and checks it; when it matches, writes the element's
    // node and leaf.
    [[gnu::noinline]] bool WalkToken(const TfsGrammarElement& e, int start, size_t firstLine) {
        String token;
        switch (e.Kind) {
        case TfsGrammarElement::Char:
            if (e.SkipBlanks)
                Parser.SkipSpaces();
            token = Parser.GetChar();
            break;
        case TfsGrammarElement::Keyword:
            token = Parser.GetWord();
            break;
        case TfsGrammarElement::Ident:
            token = Parser.GetIdent();
            break;
        case TfsGrammarElement::Number:
            token = Parser.GetNumber();
            break;
        case TfsGrammarElement::StringToken:
            token = Parser.GetString();
            break;
        default:
            token = WalkFRString();
            break;
        }
        const bool matched = !token.empty() &&
                             (e.Text.empty() || (Parser.CaseSensitive ? token == e.Text : AnsiSameText(token, e.Text)));
        if (matched) {
            ApplyNode(e, true, start, firstLine);
            if (!e.Add.empty())
                AddLeaf(e, token);
        }
        return matched;
    }

    [[gnu::noinline]] void AddLeaf(const TfsGrammarElement& e, const String& token) {
        Lines.push_back(Leaf(e.Add, e.AddText.empty() ? token : e.AddText, Parser.GetXYPosition()));
    }

    bool WalkLoop(const TfsGrammarElement& e, int start) {
        int iterations = 0;
        bool lastMatched = false;
        int lastEnd = start;
        for (;;) {
            ++iterations;
            const int iterationStart = Parser.Position();
            lastMatched = true;
            for (const auto& child : e.Children) {
                if (!Walk(*child)) {
                    lastMatched = false;
                    break;
                }
            }
            lastEnd = Parser.Position();
            if (Aborted)
                return false;
            bool stop = !lastMatched;
            if (lastMatched && !e.Text.empty()) {
                const int beforeSeparator = Parser.Position();
                Parser.SkipSpaces();
                if (Parser.GetChar() != e.Text) {
                    Parser.SetPosition(beforeSeparator);
                    stop = true;
                }
            }
            if (stop || Parser.Position() == iterationStart)
                break;
        }
        bool matched;
        if (iterations > 1) {
            Parser.SetPosition(lastEnd);
            matched = true;
            if (e.ClearAtEnd || ErrorTerm) {
                ErrorMsg.clear();
                ErrorPos.clear();
                ErrorTerm = false;
            }
        } else {
            matched = lastMatched;
        }
        if (e.Kind == TfsGrammarElement::OptionalLoop) {
            if (iterations == 1 && !lastMatched)
                Parser.SetPosition(start);
            matched = true;
        }
        return matched;
    }

    bool Walk(const TfsGrammarElement& e) {
        if (Aborted)
            return false;
        const int start = Parser.Position();
        // The stack test keeps a deep walk on a thread with a small stack a compile error too;
        // inside a run (a compile for Evaluate) it is the run's stack limit.
        const bool stackShort = fsStackShort();
        if (stackShort && fsRunInProgress())
            fsRaiseStackLimit();
        if (Depth >= TfsILParser::MaxNesting || stackShort) {
            Abort(kNestingTooDeep, start);
            return false;
        }
        struct DepthGuard {
            int& D;
            explicit DepthGuard(int& d) : D(d) { ++D; }
            ~DepthGuard() { --D; }
        } guard(Depth);

        const size_t firstLine = Lines.size();
        const bool isRule = e.Kind == TfsGrammarElement::Rule;
        bool matched = false;
        bool ownError = false; // E's own failure (not a child's)
        bool finished = false; // no node, add or children after the dispatch
        bool tokenWritten = false;

        switch (e.Kind) {
        case TfsGrammarElement::Rule:
        case TfsGrammarElement::Sequence:
            matched = true;
            break;
        case TfsGrammarElement::Char:
        case TfsGrammarElement::Keyword:
        case TfsGrammarElement::Ident:
        case TfsGrammarElement::Number:
        case TfsGrammarElement::StringToken:
        case TfsGrammarElement::FRString:
            // A token that matched has its node and leaf written already.
            matched = WalkToken(e, start, firstLine);
            ownError = !matched;
            tokenWritten = true;
            break;
        case TfsGrammarElement::Eol:
            matched = Parser.GetEOL();
            ownError = !matched;
            break;
        case TfsGrammarElement::Switch:
        case TfsGrammarElement::OptionalSwitch:
            for (const auto& child : e.Children) {
                if (Walk(*child)) {
                    matched = true;
                    break;
                }
                if (Aborted)
                    return false;
            }
            if (!matched && e.Kind == TfsGrammarElement::OptionalSwitch)
                matched = true;
            ownError = !matched;
            finished = true;
            break;
        case TfsGrammarElement::Loop:
        case TfsGrammarElement::OptionalLoop:
            matched = WalkLoop(e, start);
            finished = true;
            break;
        case TfsGrammarElement::Optional:
            for (const auto& child : e.Children) {
                if (!Walk(*child)) {
                    Parser.SetPosition(start);
                    break;
                }
            }
            matched = true;
            finished = true;
            break;
        case TfsGrammarElement::RuleRef:
            if (!e.Ref)
                RaiseInvalidLanguage();
            matched = Walk(*e.Ref);
            ownError = !matched;
            break;
        }
        if (Aborted)
            return false;

        if (matched && !finished) {
            if (!isRule && !tokenWritten)
                ApplyNode(e, true, start, firstLine);
            if (!e.Add.empty() && !tokenWritten)
                AddLeaf(e, String());
            for (const auto& child : e.Children) {
                if (!Walk(*child)) {
                    matched = false;
                    break;
                }
            }
            if (Aborted)
                return false;
        }

        if (!matched) {
            if (ownError)
                RecordError(e, start);
            Parser.SetPosition(start);
            if (isRule)
                ApplyNode(e, false, start, firstLine);
        } else if (isRule) {
            ApplyNode(e, true, start, firstLine);
        }
        return matched && !Aborted;
    }
};

// ---- Loaded grammars ------------------------------------------------------------------------

namespace {

// A grammar text read into its document and prepared for walking.
struct TfsLoadedGrammar {
    String Text;
    std::shared_ptr<const TfsXMLDocument> Document;
    std::shared_ptr<const TfsPreparedGrammar> Prepared;
};

// The grammar registered for `language`. Reading and preparing a grammar costs far more than
// compiling a report expression, so each grammar text is loaded once per process; a language
// registered again with another text is loaded again. The cache holds one entry per language.
std::shared_ptr<const TfsLoadedGrammar> LoadGrammar(const String& language) {
    static std::mutex lock;
    static std::unordered_map<String, std::shared_ptr<const TfsLoadedGrammar>> cache;
    String text = fsLanguageGrammar(language);
    const String key = AnsiUpperCase(language);
    {
        std::lock_guard guard(lock);
        const auto it = cache.find(key);
        if (it != cache.end() && it->second->Text == text)
            return it->second;
    }
    auto loaded = std::make_shared<TfsLoadedGrammar>();
    const std::string bytes = StringToUtf8(text);
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), std::int64_t(bytes.size()));
    stream.SetPosition(0);
    auto document = std::make_shared<TfsXMLDocument>();
    document->LoadFromStream(stream);
    loaded->Prepared = PrepareGrammar(*document->Root());
    loaded->Document = std::move(document);
    loaded->Text = std::move(text);
    std::lock_guard guard(lock);
    cache[key] = loaded;
    return loaded;
}

} // namespace

// ---- TfsILParser -----------------------------------------------------------------------------

TfsILParser::TfsILParser(TfsScript* program)
    : FILScript(std::make_unique<TfsXMLDocument>()), FParser(std::make_unique<TfsParser>()), FProgram(program),
      FUsesList(std::make_unique<TStringList>()), FWithList(std::make_unique<TStringList>()) {}

TfsILParser::~TfsILParser() = default;

void TfsILParser::SelectLanguage(const String& language) {
    FParser->Clear();
    // Settings that the tokenizer's Clear keeps, so that a "#language" switch starts afresh.
    FParser->CaseSensitive = false;
    FParser->CommentLine2.clear();
    FNeedDeclareVars = true;
    FLangName = language;

    const std::shared_ptr<const TfsLoadedGrammar> loaded = LoadGrammar(language);
    FGrammar = loaded->Document;
    FPrepared = loaded->Prepared;
    FRoot = FGrammar->Root();

    if (const int p = FRoot->Find(u"parser"); p >= 0) {
        const TfsXMLItem* parser = FRoot->Items(p);
        if (const int k = parser->Find(u"keywords"); k >= 0) {
            const TfsXMLItem* keywords = parser->Items(k);
            for (int i = 0; i < keywords->Count(); ++i)
                FParser->Keywords().Add(keywords->Items(i)->Name());
        }
        for (int i = 0; i < parser->Count(); ++i) {
            const TfsXMLItem* setting = parser->Items(i);
            const String name = LowerCase(setting->Name());
            const String text = setting->GetProp(u"text");
            if (name == u"identchars")
                FParser->ConstructCharset(text);
            else if (name == u"commentline1")
                FParser->CommentLine1 = text;
            else if (name == u"commentline2")
                FParser->CommentLine2 = text;
            else if (name == u"commentblock1")
                FParser->SetCommentBlock1(text);
            else if (name == u"commentblock2")
                FParser->SetCommentBlock2(text);
            else if (name == u"stringquotes")
                FParser->StringQuotes = text;
            else if (name == u"hexsequence")
                FParser->HexSequence = text;
            else if (name == u"specstrchar")
                FParser->SpecStrChar = text == u"1";
            else if (name == u"declarevars")
                FNeedDeclareVars = text != u"0";
            else if (name == u"skipeol")
                FParser->SkipEOL = text != u"0";
            else if (name == u"skipchar")
                FParser->SkiPChar = text;
            else if (name == u"casesensitive")
                FParser->CaseSensitive = text == u"1";
        }
    }
    if (FProgram && FProgram->ExtendedCharset) {
        for (int c = 128; c <= 255; ++c)
            FParser->IdentifierCharset.set(size_t(c));
    }
}

namespace {

// The end of the line that holds `from` (0-based index of its line break, or the text's
// length) and the length of that break: CR LF, CR, LF or none at the end of the text.
std::pair<size_t, size_t> LineEnd(StringView text, size_t from) {
    const size_t end = text.find_first_of(u"\r\n", from);
    if (end == StringView::npos)
        return {text.size(), 0};
    const size_t breakLength = text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? 2 : 1;
    return {end, breakLength};
}

// Whether the start rule ends in an explicit end mark (a final token such as a closing '.'
// or brace) rather than in a loop over statements: its last element, followed through rule
// references, is no loop.
bool EndsInEndMark(const TfsGrammarElement& program) {
    const TfsGrammarElement* last = &program;
    for (int steps = 0; steps < 64; ++steps) {
        if (last->Kind == TfsGrammarElement::RuleRef) {
            if (!last->Ref)
                return true;
            last = last->Ref;
            continue;
        }
        if ((last->Kind == TfsGrammarElement::Rule || last->Kind == TfsGrammarElement::Sequence) &&
            !last->Children.empty()) {
            last = last->Children.back().get();
            continue;
        }
        break;
    }
    return last->Kind != TfsGrammarElement::Loop && last->Kind != TfsGrammarElement::OptionalLoop;
}

// The text of the grammar's error `name`; "Statement expected" when the grammar has none.
String GrammarErrorText(const TfsXMLItem* root, const String& name) {
    if (const int p = root ? root->Find(u"parser") : -1; p >= 0) {
        const TfsXMLItem* parser = root->Items(p);
        if (const int e = parser->Find(u"errors"); e >= 0) {
            const TfsXMLItem* errors = parser->Items(e);
            if (const int at = errors->Find(name); at >= 0)
                return errors->Items(at)->GetProp(u"text");
        }
    }
    return u"Statement expected";
}

// Skips blanks, comments and line ends from `from`; whether that reaches the end of the text.
// The parser is left at the first other character.
bool OnlyFillerFrom(TfsParser& parser, int from, size_t textSize) {
    parser.SetPosition(from);
    while (parser.GetEOL()) {
    }
    parser.SkipSpaces();
    return parser.Position() > int(textSize);
}

} // namespace

bool TfsILParser::MakeILScript(const String& text) {
    TfsGrammarWalk walk(*this);
    walk.Depth = FBaseDepth;
    bool result = false;
    try {
        FParser->SetText(text);
        int start = 1;
        if (!text.empty() && text[0] == u'#') {
            FParser->SetPosition(2);
            if (AnsiSameText(FParser->GetWord(), u"language")) {
                const size_t from = size_t(FParser->Position() - 1);
                const auto [end, breakLength] = LineEnd(text, from);
                const String language = Trim(StringView(text).substr(from, end - from));
                SelectLanguage(language);
                start = int(end + breakLength) + 1;
            }
        }
        if (!FPrepared || !FPrepared->Program)
            RaiseInvalidLanguage();
        FParser->SetPosition(start);
        bool walked = walk.Walk(*FPrepared->Program);
        // A program that is a loop over statements stops at the first text that starts no
        // statement; that text is an error rather than ignored. A start rule with an end mark
        // keeps ignoring what follows it, so notes may come after the end.
        if (!walk.Aborted && walk.ErrorMsg.empty() && !EndsInEndMark(*FPrepared->Program)) {
            if (!OnlyFillerFrom(*FParser, walked ? FParser->Position() : start, text.size())) {
                walk.ErrorMsg = GrammarErrorText(FRoot, u"err3");
                walk.ErrorPos = FParser->GetXYPosition();
                walked = false;
            } else if (!walked) {
                walk.Lines.clear();
                walked = true;
            }
        }
        if (walk.Aborted) {
            walk.ErrorMsg = walk.AbortMsg;
            walk.ErrorPos = walk.AbortPos;
        } else if (walked && walk.ErrorMsg.empty()) {
            std::string il = "<?xml version=\"1.0\"?>\r\n<program>\r\n";
            for (const String& line : walk.Lines) {
                il += StringToUtf8(line);
                il += "\r\n";
            }
            il += "</program>\r\n";
            walk.Lines.clear();
            TMemoryStream stream;
            stream.WriteBuffer(il.data(), std::int64_t(il.size()));
            stream.SetPosition(0);
            FILScript->LoadFromStream(stream);
            TfsXMLItem* types = FILScript->Root()->Add();
            if (const int t = FRoot->Find(u"types"); t >= 0)
                types->Assign(FRoot->Items(t));
            else
                types->SetName(u"types");
            walk.ErrorPos.clear();
            result = true;
        } else if (walk.ErrorMsg.empty()) {
            walk.ErrorPos.clear();
        }
    } catch (const Exception& e) {
        if (FProgram) {
            FProgram->ErrorMsg = e.Message();
            FProgram->ErrorPos = walk.ErrorPos;
        }
        throw;
    }
    if (FProgram) {
        FProgram->ErrorPos = walk.ErrorPos;
        FProgram->ErrorMsg = walk.ErrorMsg;
    }
    return result;
}

} // namespace vgl
