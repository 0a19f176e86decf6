#include "platform/xml/xml_dom.h"

#include <climits>
#include <cstring>
#include <exception>
#include <functional>
#include <utility>

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include "platform/rtl/sysutils.h"
#include "platform/xml/libxml_setup.h"

namespace vgl {
namespace {

constexpr const char* XmlnsNamespace = "http://www.w3.org/2000/xmlns/";

const xmlChar* X(const std::string& s) {
    return reinterpret_cast<const xmlChar*>(s.c_str());
}

String FromXml(const xmlChar* s) {
    return s ? Utf8ToString(reinterpret_cast<const char*>(s)) : String();
}

/// Takes over a string the XML library allocated.
String TakeXml(xmlChar* s) {
    String result = FromXml(s);
    xmlFree(s);
    return result;
}

template <class T> T* Check(T* p) {
    if (!p)
        throw EOutOfMemory(u"Out of memory");
    return p;
}

bool HasChildList(xmlNodePtr n) {
    return n->type == XML_ELEMENT_NODE || n->type == XML_ATTRIBUTE_NODE || n->type == XML_DOCUMENT_NODE ||
           n->type == XML_HTML_DOCUMENT_NODE;
}

bool IsDocument(xmlNodePtr n) {
    return n->type == XML_DOCUMENT_NODE || n->type == XML_HTML_DOCUMENT_NODE;
}

/// A namespace URI that stands for "no namespace" (the URI of xmlns="").
bool IsNoNamespace(xmlNsPtr ns) {
    return !ns || !ns->href || !*ns->href;
}

/// True when no byte has its high bit set; eight bytes at a time, since the texts checked here
/// may be large.
bool IsAscii(std::string_view text) {
    std::uint64_t high = 0;
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, text.data() + i, 8);
        high |= word;
    }
    for (; i < text.size(); ++i)
        high |= std::uint8_t(text[i]);
    return (high & 0x8080808080808080ull) == 0;
}

/// Splits "p:local" into prefix and local name (no prefix: empty).
std::pair<std::string, std::string> SplitQName(const std::string& qname) {
    const auto colon = qname.find(':');
    if (colon == std::string::npos)
        return {std::string(), qname};
    return {qname.substr(0, colon), qname.substr(colon + 1)};
}

std::string QualifiedName(xmlNodePtr n) {
    std::string name = n->name ? reinterpret_cast<const char*>(n->name) : "";
    if ((n->type == XML_ELEMENT_NODE || n->type == XML_ATTRIBUTE_NODE) && n->ns && n->ns->prefix)
        return reinterpret_cast<const char*>(n->ns->prefix) + (":" + name);
    return name;
}

void CheckQName(const std::string& qname, const char16_t* what) {
    if (qname.empty() || xmlValidateQName(X(qname), 0) != 0)
        throw EXmlDomError(Format(u"Invalid %s name \"%s\"", {what, Utf8ToString(qname)}));
}

/// The element whose namespace scope applies to `n`.
xmlNodePtr ScopeElement(xmlNodePtr n) {
    while (n && n->type != XML_ELEMENT_NODE)
        n = n->parent;
    return n;
}

bool IsPlainName(StringView path) {
    if (path.empty())
        return false;
    int colons = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        const Char c = path[i];
        const bool letter = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_' || c >= 0x80;
        const bool other = (c >= u'0' && c <= u'9') || c == u'-' || c == u'.';
        if (c == u':') {
            if (++colons > 1 || i == 0 || i + 1 == path.size())
                return false;
        } else if (!letter && !(other && i > 0 && path[i - 1] != u':')) {
            return false;
        }
    }
    return true;
}

std::string EscapeAttribute(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\t':
            out += "&#9;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

struct ParseState {
    bool ProhibitDTD = false;
    bool DtdSeen = false;
    bool HasError = false;
    TXmlParseError Error;
    internalSubsetSAXFunc OriginalInternalSubset = nullptr;
};

void OnInternalSubset(void* ctx, const xmlChar* name, const xmlChar* externalId, const xmlChar* systemId) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(ctx);
    auto* state = static_cast<ParseState*>(ctxt->_private);
    if (state->ProhibitDTD) {
        state->DtdSeen = true;
        if (!state->HasError) {
            state->HasError = true;
            state->Error = {u"DTD is prohibited.", ctxt->input ? ctxt->input->line : 0,
                            ctxt->input ? ctxt->input->col : 0};
        }
        xmlStopParser(ctxt);
        return;
    }
    if (state->OriginalInternalSubset)
        state->OriginalInternalSubset(ctx, name, externalId, systemId);
}

/// Keeps the first error of a parse and keeps every message from being printed.
void OnParseError(void* userData, xmlErrorPtr error) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    auto* state = static_cast<ParseState*>(ctxt->_private);
    if (!error || error->level < XML_ERR_ERROR || state->HasError)
        return;
    state->HasError = true;
    std::string message = error->message ? error->message : "Unknown error";
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    state->Error = {Utf8ToString(message), error->line, error->int2};
}

void IgnoreStructuredError(void*, xmlErrorPtr) {}

using TTextSink = std::function<void(std::string_view)>;

/// An output buffer of the XML library that hands every chunk it fills to a caller's function,
/// so that a large document is never held as a whole a second time. An exception of the
/// function is kept and raised again by Close, after the library has let go of the buffer.
/// The library reports a failed write on this thread's error handler, which prints it unless
/// one is set: the failure is raised to the caller instead.
class TSinkOutput {
public:
    explicit TSinkOutput(const TTextSink& sink)
        : FSink(sink), FPreviousHandler(xmlStructuredError), FPreviousContext(xmlStructuredErrorContext) {
        xmlSetStructuredErrorFunc(nullptr, IgnoreStructuredError);
        FOut = xmlOutputBufferCreateIO(&TSinkOutput::Write, nullptr, this, nullptr);
        if (!FOut) {
            xmlSetStructuredErrorFunc(FPreviousContext, FPreviousHandler);
            throw EOutOfMemory(u"Out of memory");
        }
    }
    ~TSinkOutput() {
        if (FOut)
            xmlOutputBufferClose(FOut);
        xmlSetStructuredErrorFunc(FPreviousContext, FPreviousHandler);
    }
    TSinkOutput(const TSinkOutput&) = delete;
    TSinkOutput& operator=(const TSinkOutput&) = delete;

    xmlOutputBufferPtr Buffer() const { return FOut; }

    /// Flushes what is left and frees the buffer; raises the sink's exception or, for a failure
    /// of the library, EXmlDomError.
    void Close() {
        xmlOutputBufferPtr out = std::exchange(FOut, nullptr);
        const bool failed = xmlOutputBufferClose(out) < 0 || FError;
        if (FError)
            std::rethrow_exception(FError);
        if (failed)
            throw EXmlDomError(u"The document cannot be written");
    }

private:
    static int Write(void* context, const char* buffer, int length) {
        auto* self = static_cast<TSinkOutput*>(context);
        try {
            self->FSink(std::string_view(buffer, size_t(length)));
            return length;
        } catch (...) {
            self->FError = std::current_exception();
            return -1;
        }
    }

    const TTextSink& FSink;
    xmlStructuredErrorFunc FPreviousHandler;
    void* FPreviousContext;
    xmlOutputBufferPtr FOut = nullptr;
    std::exception_ptr FError;
};

/// Writes the XML text of one node as written into a document, without indentation.
void DumpNodeTo(xmlOutputBufferPtr out, xmlDocPtr doc, xmlNodePtr node) {
    xmlNodeDumpOutput(out, doc, node, 0, 0, "UTF-8");
}

/// The XML text of one node as written into a document.
std::string DumpNode(xmlDocPtr doc, xmlNodePtr node) {
    std::string text;
    const TTextSink append = [&](std::string_view chunk) { text.append(chunk); };
    TSinkOutput out(append);
    DumpNodeTo(out.Buffer(), doc, node);
    out.Close();
    return text;
}

} // namespace

struct TXmlDom::Impl {
    xmlDocPtr Doc = nullptr;
    /// Nodes taken out of the tree and earlier trees: freed with the TXmlDom, so that handles
    /// to them stay valid. Nodes go before documents (they may use a document's dictionary).
    std::vector<xmlNodePtr> Detached;
    std::vector<xmlDocPtr> Retired;
    bool HasDeclaration = false;
    std::string Version, Encoding;
    int Standalone = -2; // 1 yes, 0 no, otherwise not stated

    ~Impl() {
        for (xmlNodePtr n : Detached)
            xmlFreeNode(n);
        for (xmlDocPtr d : Retired)
            xmlFreeDoc(d);
        xmlFreeDoc(Doc);
    }

    void Detach(xmlNodePtr n) {
        Detached.reserve(Detached.size() + 1);
        xmlUnlinkNode(n);
        Detached.push_back(n);
    }

    void DetachChildren(xmlNodePtr n) {
        while (n->children)
            Detach(n->children);
    }

    /// Makes `doc` the document; the old one is kept until destruction.
    void Replace(xmlDocPtr doc) {
        Retired.reserve(Retired.size() + 1);
        if (Doc)
            Retired.push_back(Doc);
        Doc = doc;
        // With an encoding set, attribute values keep non-ASCII characters as they are.
        if (Doc->encoding)
            xmlFree(const_cast<xmlChar*>(Doc->encoding));
        Doc->encoding = xmlStrdup(BAD_CAST "UTF-8");
        Doc->type = XML_DOCUMENT_NODE;
    }

    std::string Declaration(bool forSaving) const {
        if (!HasDeclaration)
            return {};
        std::string encoding = Encoding;
        if (forSaving && !encoding.empty() && !SameText(Utf8ToString(encoding), u"utf-16") &&
            !SameText(Utf8ToString(encoding), u"utf-8"))
            encoding = "utf-8";
        std::string text = "<?xml version=\"" + Version + "\"";
        if (!encoding.empty())
            text += " encoding=\"" + encoding + "\"";
        if (Standalone == 0 || Standalone == 1)
            text += Standalone ? " standalone=\"yes\"" : " standalone=\"no\"";
        return text + "?>\r\n";
    }

    /// The declaration, then every child of the document node followed by CR LF, handed to
    /// `sink` piece by piece.
    void WriteDocument(bool forSaving, const TTextSink& sink) const {
        if (const std::string declaration = Declaration(forSaving); !declaration.empty())
            sink(declaration);
        TSinkOutput out(sink);
        for (xmlNodePtr n = Doc->children; n; n = n->next) {
            DumpNodeTo(out.Buffer(), Doc, n);
            xmlOutputBufferWrite(out.Buffer(), 2, "\r\n");
        }
        out.Close();
    }

    std::string DocumentText(bool forSaving) const {
        std::string text;
        WriteDocument(forSaving, [&](std::string_view chunk) { text.append(chunk); });
        return text;
    }
};

namespace {

xmlNodePtr N(TXmlNodeRef ref) {
    if (!ref)
        throw EXmlDomError(u"No node");
    return static_cast<xmlNodePtr>(ref.Raw());
}

} // namespace

TXmlDom::TXmlDom() : FImpl(std::make_unique<Impl>()) {
    EnsureXmlLibrary();
    FImpl->Replace(Check(xmlNewDoc(BAD_CAST "1.0")));
}

TXmlDom::~TXmlDom() = default;

void TXmlDom::ClearChildren() {
    FImpl->DetachChildren(reinterpret_cast<xmlNodePtr>(FImpl->Doc));
    FImpl->HasDeclaration = false;
}

void TXmlDom::SetDeclaration(StringView version, StringView encoding) {
    FImpl->HasDeclaration = !version.empty();
    FImpl->Version = StringToUtf8(version);
    FImpl->Encoding = StringToUtf8(encoding);
    FImpl->Standalone = -2;
}

bool TXmlDom::DeclaresUtf16() const {
    return FImpl->HasDeclaration && SameText(Utf8ToString(FImpl->Encoding), u"utf-16");
}

namespace {

std::optional<TXmlParseError> ParseInto(xmlDocPtr& result, const char* data, size_t size, bool ignoreEncoding,
                                        const TXmlParseOptions& options) {
    if (options.MaxBytes && size > options.MaxBytes)
        return TXmlParseError{Format(u"The document is larger than %d bytes.", {std::int64_t(options.MaxBytes)}), 0, 0};
    if (size > size_t(INT_MAX))
        return TXmlParseError{u"The document is too large.", 0, 0};
    if (size == 0)
        return TXmlParseError{u"Document is empty", 1, 1};
    xmlParserCtxtPtr ctxt = Check(xmlCreateMemoryParserCtxt(data, int(size)));
    ParseState state;
    state.ProhibitDTD = options.ProhibitDTD;
    ctxt->_private = &state;
    // Never XML_PARSE_NOENT, XML_PARSE_DTDLOAD or XML_PARSE_HUGE: entities stay references,
    // no external DTD is read and the library's size limits hold.
    int flags = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_BIG_LINES;
    if (ignoreEncoding)
        flags |= XML_PARSE_IGNORE_ENC;
    xmlCtxtUseOptions(ctxt, flags);
    ctxt->sax->serror = OnParseError;
    ctxt->vctxt.error = nullptr;
    ctxt->vctxt.warning = nullptr;
    state.OriginalInternalSubset = ctxt->sax->internalSubset;
    ctxt->sax->internalSubset = OnInternalSubset;

    xmlParseDocument(ctxt);
    xmlDocPtr doc = ctxt->myDoc;
    ctxt->myDoc = nullptr;
    const bool ok = ctxt->wellFormed && !state.HasError && !state.DtdSeen && doc;
    if (!ok && !state.HasError)
        state.Error = {u"The document is not well-formed.", ctxt->input ? ctxt->input->line : 0,
                       ctxt->input ? ctxt->input->col : 0};
    xmlFreeParserCtxt(ctxt);
    if (!ok) {
        xmlFreeDoc(doc);
        return state.Error;
    }
    result = doc;
    return std::nullopt;
}

} // namespace

std::optional<TXmlParseError> TXmlDom::ParseBytes(const char* data, std::size_t size, bool ignoreEncoding,
                                                  const TXmlParseOptions& options) {
    xmlDocPtr doc = nullptr;
    if (auto error = ParseInto(doc, data, size, ignoreEncoding, options))
        return error;
    // standalone -1: the text had no XML declaration.
    FImpl->HasDeclaration = doc->standalone != -1;
    FImpl->Version = doc->version ? reinterpret_cast<const char*>(doc->version) : "1.0";
    FImpl->Encoding = doc->encoding ? reinterpret_cast<const char*>(doc->encoding) : "";
    FImpl->Standalone = doc->standalone;
    FImpl->Replace(doc);
    return std::nullopt;
}

std::optional<TXmlParseError> TXmlDom::Parse(std::span<const std::uint8_t> bytes, const TXmlParseOptions& options) {
    return ParseBytes(reinterpret_cast<const char*>(bytes.data()), bytes.size(), false, options);
}

std::optional<TXmlParseError> TXmlDom::ParseText(StringView text, const TXmlParseOptions& options) {
    const std::string utf8 = StringToUtf8(text);
    return ParseBytes(utf8.data(), utf8.size(), true, options);
}

namespace {

/// UTF-8 text as UTF-16 LE with a byte-order mark.
std::vector<std::uint8_t> Utf16Bytes(const std::string& text) {
    const String wide = Utf8ToString(text);
    std::vector<std::uint8_t> bytes{0xFF, 0xFE};
    bytes.reserve(2 + wide.size() * 2);
    for (Char c : wide) {
        bytes.push_back(std::uint8_t(c & 0xFF));
        bytes.push_back(std::uint8_t(c >> 8));
    }
    return bytes;
}

} // namespace

std::vector<std::uint8_t> TXmlDom::Save() const {
    if (!DeclaresUtf16()) {
        std::vector<std::uint8_t> bytes;
        SaveTo([&](std::string_view chunk) { bytes.insert(bytes.end(), chunk.begin(), chunk.end()); });
        return bytes;
    }
    return Utf16Bytes(FImpl->DocumentText(true));
}

void TXmlDom::SaveTo(const std::function<void(std::string_view)>& write) const {
    if (!DeclaresUtf16()) {
        FImpl->WriteDocument(true, write);
        return;
    }
    const std::vector<std::uint8_t> bytes = Utf16Bytes(FImpl->DocumentText(true));
    write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

String TXmlDom::GetXML(TXmlNodeRef node) const {
    if (!node || IsDocument(N(node)))
        return Utf8ToString(FImpl->DocumentText(false));
    if (Kind(node) == TXmlNodeKind::NamespaceDeclaration)
        return Name(node) + u"=\"" + Utf8ToString(EscapeAttribute(StringToUtf8(Text(node)))) + u"\"";
    std::string text = DumpNode(FImpl->Doc, N(node));
    if (N(node)->type == XML_ATTRIBUTE_NODE && !text.empty() && text[0] == ' ')
        text.erase(0, 1);
    return Utf8ToString(text);
}

TXmlNodeRef TXmlDom::DocumentNode() const {
    return {FImpl->Doc, nullptr};
}

TXmlNodeRef TXmlDom::DocumentElement() const {
    xmlNodePtr root = xmlDocGetRootElement(FImpl->Doc);
    return root ? TXmlNodeRef(root, nullptr) : TXmlNodeRef();
}

TXmlNodeKind TXmlDom::Kind(TXmlNodeRef node) const {
    if (node.FElement)
        return TXmlNodeKind::NamespaceDeclaration;
    switch (N(node)->type) {
    case XML_ELEMENT_NODE:
        return TXmlNodeKind::Element;
    case XML_ATTRIBUTE_NODE:
        return TXmlNodeKind::Attribute;
    case XML_TEXT_NODE:
        return TXmlNodeKind::Text;
    case XML_CDATA_SECTION_NODE:
        return TXmlNodeKind::CData;
    case XML_ENTITY_REF_NODE:
        return TXmlNodeKind::EntityReference;
    case XML_PI_NODE:
        return TXmlNodeKind::ProcessingInstruction;
    case XML_COMMENT_NODE:
        return TXmlNodeKind::Comment;
    case XML_DOCUMENT_NODE:
    case XML_HTML_DOCUMENT_NODE:
        return TXmlNodeKind::Document;
    case XML_DTD_NODE:
        return TXmlNodeKind::DocumentType;
    default:
        return TXmlNodeKind::Other;
    }
}

String TXmlDom::Name(TXmlNodeRef node) const {
    if (node.FElement) {
        auto* ns = static_cast<xmlNsPtr>(node.FNode);
        return ns->prefix ? u"xmlns:" + FromXml(ns->prefix) : String(u"xmlns");
    }
    switch (Kind(node)) {
    case TXmlNodeKind::Text:
        return u"#text";
    case TXmlNodeKind::CData:
        return u"#cdata-section";
    case TXmlNodeKind::Comment:
        return u"#comment";
    case TXmlNodeKind::Document:
        return u"#document";
    default:
        return Utf8ToString(QualifiedName(N(node)));
    }
}

String TXmlDom::LocalName(TXmlNodeRef node) const {
    if (node.FElement) {
        auto* ns = static_cast<xmlNsPtr>(node.FNode);
        return ns->prefix ? FromXml(ns->prefix) : String(u"xmlns");
    }
    xmlNodePtr n = N(node);
    if (n->type != XML_ELEMENT_NODE && n->type != XML_ATTRIBUTE_NODE && n->type != XML_PI_NODE &&
        n->type != XML_ENTITY_REF_NODE)
        return {};
    String name = FromXml(n->name);
    // A name whose prefix was never declared keeps it in the name itself.
    const auto colon = name.find(u':');
    return colon == String::npos ? name : name.substr(colon + 1);
}

String TXmlDom::NamespaceURI(TXmlNodeRef node) const {
    if (node.FElement)
        return Utf8ToString(XmlnsNamespace);
    xmlNodePtr n = N(node);
    if ((n->type == XML_ELEMENT_NODE || n->type == XML_ATTRIBUTE_NODE) && !IsNoNamespace(n->ns))
        return FromXml(n->ns->href);
    return {};
}

TXmlNodeRef TXmlDom::Parent(TXmlNodeRef node) const {
    if (node.FElement)
        return {};
    xmlNodePtr n = N(node);
    if (n->type == XML_ATTRIBUTE_NODE || !n->parent)
        return {};
    return {n->parent, nullptr};
}

TXmlNodeRef TXmlDom::FirstChild(TXmlNodeRef node) const {
    if (node.FElement)
        return {};
    xmlNodePtr n = N(node);
    return HasChildList(n) && n->children ? TXmlNodeRef(n->children, nullptr) : TXmlNodeRef();
}

TXmlNodeRef TXmlDom::NextSibling(TXmlNodeRef node) const {
    if (node.FElement)
        return {};
    xmlNodePtr n = N(node);
    return n->type != XML_ATTRIBUTE_NODE && n->next ? TXmlNodeRef(n->next, nullptr) : TXmlNodeRef();
}

int TXmlDom::ChildCount(TXmlNodeRef node) const {
    int count = 0;
    for (TXmlNodeRef c = FirstChild(node); c; c = NextSibling(c))
        ++count;
    return count;
}

TXmlNodeRef TXmlDom::Child(TXmlNodeRef node, int index) const {
    if (index < 0)
        return {};
    TXmlNodeRef c = FirstChild(node);
    for (; c && index > 0; --index)
        c = NextSibling(c);
    return c;
}

int TXmlDom::AttributeCount(TXmlNodeRef node) const {
    if (node.FElement || N(node)->type != XML_ELEMENT_NODE)
        return 0;
    int count = 0;
    for (xmlNsPtr ns = N(node)->nsDef; ns; ns = ns->next)
        ++count;
    for (xmlAttrPtr a = N(node)->properties; a; a = a->next)
        ++count;
    return count;
}

TXmlNodeRef TXmlDom::Attribute(TXmlNodeRef node, int index) const {
    if (index < 0 || node.FElement || N(node)->type != XML_ELEMENT_NODE)
        return {};
    xmlNodePtr element = N(node);
    for (xmlNsPtr ns = element->nsDef; ns; ns = ns->next)
        if (index-- == 0)
            return {ns, element};
    for (xmlAttrPtr a = element->properties; a; a = a->next)
        if (index-- == 0)
            return {a, nullptr};
    return {};
}

TXmlNodeRef TXmlDom::AttributeByName(TXmlNodeRef node, StringView name) const {
    if (node.FElement || N(node)->type != XML_ELEMENT_NODE)
        return {};
    xmlNodePtr element = N(node);
    const std::string qname = StringToUtf8(name);
    if (qname == "xmlns" || qname.starts_with("xmlns:")) {
        const std::string prefix = qname.size() > 6 ? qname.substr(6) : std::string();
        for (xmlNsPtr ns = element->nsDef; ns; ns = ns->next)
            if (ns->prefix ? prefix == reinterpret_cast<const char*>(ns->prefix) : qname == "xmlns")
                return {ns, element};
    }
    for (xmlAttrPtr a = element->properties; a; a = a->next)
        if (QualifiedName(reinterpret_cast<xmlNodePtr>(a)) == qname)
            return {a, nullptr};
    return {};
}

String TXmlDom::Text(TXmlNodeRef node) const {
    if (node.FElement)
        return FromXml(static_cast<xmlNsPtr>(node.FNode)->href);
    xmlNodePtr n = N(node);
    if (n->type == XML_DTD_NODE)
        return {};
    return TakeXml(xmlNodeGetContent(n));
}

std::vector<TXmlNodeRef> TXmlDom::Select(TXmlNodeRef node, StringView path, bool firstOnly) const {
    std::vector<TXmlNodeRef> result;
    xmlNodePtr context = node.FElement ? static_cast<xmlNodePtr>(node.FElement) : N(node);
    if (IsPlainName(path)) {
        const std::string qname = StringToUtf8(path);
        if (!node.FElement && HasChildList(context))
            for (xmlNodePtr c = context->children; c; c = c->next)
                if (c->type == XML_ELEMENT_NODE && QualifiedName(c) == qname) {
                    result.push_back({c, nullptr});
                    if (firstOnly)
                        break;
                }
        return result;
    }

    TXmlErrorCapture capture;
    xmlXPathContextPtr ctx = Check(xmlXPathNewContext(FImpl->Doc));
    ctx->node = context;
    ctx->error = IgnoreStructuredError;
    // The prefixes in scope at the node, nearest declaration first.
    for (xmlNodePtr e = ScopeElement(context); e; e = e->parent)
        if (e->type == XML_ELEMENT_NODE)
            for (xmlNsPtr ns = e->nsDef; ns; ns = ns->next)
                if (ns->prefix && !xmlXPathNsLookup(ctx, ns->prefix))
                    xmlXPathRegisterNs(ctx, ns->prefix, ns->href);
    const std::string expression = StringToUtf8(path);
    xmlXPathCompExprPtr comp = xmlXPathCtxtCompile(ctx, X(expression));
    xmlXPathObjectPtr value = comp ? xmlXPathCompiledEval(comp, ctx) : nullptr;
    std::string reason = ctx->lastError.message ? ctx->lastError.message : capture.Text();
    xmlXPathFreeCompExpr(comp);
    xmlXPathFreeContext(ctx);
    if (!value) {
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
            reason.pop_back();
        throw EXmlDomError(Format(u"Invalid path \"%s\": %s", {String(path), Utf8ToString(reason)}));
    }
    if (value->type == XPATH_NODESET && value->nodesetval) {
        for (int i = 0; i < value->nodesetval->nodeNr; ++i) {
            xmlNodePtr n = value->nodesetval->nodeTab[i];
            if (n->type == XML_NAMESPACE_DECL)
                continue;
            result.push_back({n, nullptr});
            if (firstOnly)
                break;
        }
    }
    xmlXPathFreeObject(value);
    return result;
}

TXmlNodeRef TXmlDom::AppendElement(TXmlNodeRef parent, StringView qualifiedName,
                                   const std::optional<String>& namespaceURI) {
    xmlNodePtr p = N(parent);
    if (parent.FElement || (p->type != XML_ELEMENT_NODE && !IsDocument(p)))
        throw EXmlDomError(u"This node cannot have child elements");
    if (IsDocument(p) && xmlDocGetRootElement(FImpl->Doc))
        throw EXmlDomError(u"Only one top level element is allowed in an XML document");
    const std::string qname = StringToUtf8(qualifiedName);
    CheckQName(qname, u"element");
    const auto [prefix, local] = SplitQName(qname);
    const xmlChar* prefixOrNull = prefix.empty() ? nullptr : X(prefix);
    xmlNodePtr scope = p->type == XML_ELEMENT_NODE ? p : nullptr;
    xmlNsPtr inScope = xmlSearchNs(FImpl->Doc, scope, prefixOrNull);

    xmlNodePtr element = Check(xmlNewDocNode(FImpl->Doc, nullptr, X(local), nullptr));
    std::unique_ptr<xmlNode, void (*)(xmlNodePtr)> guard(element, xmlFreeNode);
    if (namespaceURI && !namespaceURI->empty()) {
        const std::string uri = StringToUtf8(*namespaceURI);
        xmlNsPtr ns = inScope && !IsNoNamespace(inScope) && uri == reinterpret_cast<const char*>(inScope->href)
                          ? inScope
                          : xmlNewNs(element, X(uri), prefixOrNull);
        if (!ns)
            throw EXmlDomError(
                Format(u"The prefix \"%s\" cannot be bound to \"%s\"", {Utf8ToString(prefix), String(*namespaceURI)}));
        xmlSetNs(element, ns);
    } else if (!prefix.empty()) {
        if (!inScope || IsNoNamespace(inScope))
            throw EXmlDomError(Format(u"Reference to undeclared namespace prefix: \"%s\"", {Utf8ToString(prefix)}));
        xmlSetNs(element, inScope);
    } else if (!IsNoNamespace(inScope)) {
        // Without this the element would take the default namespace of its ancestors.
        Check(xmlNewNs(element, BAD_CAST "", nullptr));
    }
    guard.release();
    xmlAddChild(p, element);
    return {element, nullptr};
}

TXmlNodeRef TXmlDom::SetAttribute(TXmlNodeRef element, StringView qualifiedName, StringView value) {
    xmlNodePtr e = N(element);
    if (element.FElement || e->type != XML_ELEMENT_NODE)
        throw EXmlDomError(u"Only elements have attributes");
    const std::string qname = StringToUtf8(qualifiedName);
    const std::string text = StringToUtf8(value);
    CheckQName(qname, u"attribute");
    const auto [prefix, local] = SplitQName(qname);

    if (qname == "xmlns" || prefix == "xmlns") {
        const xmlChar* declared = prefix.empty() ? nullptr : X(local);
        if (declared && text.empty())
            throw EXmlDomError(
                Format(u"The prefix \"%s\" cannot be bound to an empty namespace", {Utf8ToString(local)}));
        for (xmlNsPtr ns = e->nsDef; ns; ns = ns->next)
            if (xmlStrEqual(ns->prefix, declared)) {
                xmlFree(const_cast<xmlChar*>(ns->href));
                ns->href = Check(xmlStrdup(X(text)));
                return {ns, e};
            }
        xmlNsPtr ns = xmlNewNs(e, X(text), declared);
        if (!ns)
            throw EXmlDomError(Format(u"The namespace declaration \"%s\" is not allowed", {String(qualifiedName)}));
        return {ns, e};
    }

    if (TXmlNodeRef existing = AttributeByName(element, qualifiedName)) {
        SetText(existing, value);
        return existing;
    }
    xmlNsPtr ns = nullptr;
    if (!prefix.empty()) {
        ns = xmlSearchNs(FImpl->Doc, e, X(prefix));
        if (IsNoNamespace(ns))
            throw EXmlDomError(Format(u"Reference to undeclared namespace prefix: \"%s\"", {Utf8ToString(prefix)}));
    }
    // xmlNewNsProp stores the value as text: "&" stays a character, no entity is read.
    xmlAttrPtr attr = Check(xmlNewNsProp(e, ns, X(local), X(text)));
    return {attr, nullptr};
}

TXmlNodeRef TXmlDom::AppendCData(TXmlNodeRef parent, StringView text) {
    xmlNodePtr p = N(parent);
    if (parent.FElement || p->type != XML_ELEMENT_NODE)
        throw EXmlDomError(u"Only elements can hold a CDATA section");
    const std::string utf8 = StringToUtf8(text);
    xmlNodePtr cdata = Check(xmlNewCDataBlock(FImpl->Doc, X(utf8), int(utf8.size())));
    xmlAddChild(p, cdata);
    return {cdata, nullptr};
}

TXmlNodeRef TXmlDom::AppendCopy(TXmlNodeRef parent, const TXmlDom& source, TXmlNodeRef node) {
    xmlNodePtr p = N(parent);
    xmlNodePtr original = N(node);
    if (parent.FElement || node.FElement || (p->type != XML_ELEMENT_NODE && !IsDocument(p)) ||
        (original->type != XML_ELEMENT_NODE && original->type != XML_TEXT_NODE &&
         original->type != XML_CDATA_SECTION_NODE && original->type != XML_COMMENT_NODE &&
         original->type != XML_PI_NODE))
        throw EXmlDomError(u"This node cannot be copied here");
    if (IsDocument(p) && original->type == XML_ELEMENT_NODE && xmlDocGetRootElement(FImpl->Doc))
        throw EXmlDomError(u"Only one top level element is allowed in an XML document");
    if (&source != this) {
        // An entity reference means nothing without the source's document type declaration.
        for (xmlNodePtr n = original; n;) {
            if (n->type == XML_ENTITY_REF_NODE)
                throw EXmlDomError(u"A node holding entity references cannot be copied into another document");
            if (n->type == XML_ELEMENT_NODE && n->children) {
                n = n->children;
                continue;
            }
            while (n != original && !n->next)
                n = n->parent;
            n = n == original ? nullptr : n->next;
        }
    }
    xmlNodePtr copy = Check(xmlDocCopyNode(original, FImpl->Doc, 1));
    if (copy->type == XML_TEXT_NODE) {
        // xmlAddChild merges adjacent text nodes; a text copy is appended as text instead.
        xmlFreeNode(copy);
        const String text = source.Text(node);
        const std::string utf8 = StringToUtf8(text);
        copy = Check(xmlNewDocText(FImpl->Doc, X(utf8)));
        if (p->last && p->last->type == XML_TEXT_NODE) {
            xmlNodeAddContent(p->last, X(utf8));
            xmlFreeNode(copy);
            return {p->last, nullptr};
        }
    }
    xmlAddChild(p, copy);
    return {copy, nullptr};
}

TXmlNodeRef TXmlDom::AppendProcessingInstruction(TXmlNodeRef parent, StringView target, StringView data) {
    xmlNodePtr p = N(parent);
    if (parent.FElement || (p->type != XML_ELEMENT_NODE && !IsDocument(p)))
        throw EXmlDomError(u"This node cannot have children");
    const std::string t = StringToUtf8(target), d = StringToUtf8(data);
    CheckQName(t, u"processing instruction");
    if (SameText(target, u"xml"))
        throw EXmlDomError(u"The processing instruction target \"xml\" is reserved");
    xmlNodePtr pi = Check(xmlNewDocPI(FImpl->Doc, X(t), X(d)));
    xmlAddChild(p, pi);
    return {pi, nullptr};
}

void TXmlDom::SetText(TXmlNodeRef node, StringView text) {
    ReplaceText(node, StringToUtf8(text));
}

void TXmlDom::SetTextUtf8(TXmlNodeRef node, std::string_view text) {
    if (!IsAscii(text) && !IsValidUtf8(text))
        throw EXmlDomError(u"The text is not valid UTF-8");
    ReplaceText(node, text);
}

void TXmlDom::ReplaceText(TXmlNodeRef node, std::string_view utf8) {
    if (node.FElement)
        throw EXmlDomError(u"A namespace declaration cannot be changed");
    xmlNodePtr n = N(node);
    if (utf8.size() > size_t(INT_MAX))
        throw EXmlDomError(u"The text is too long");
    // The library's strings end at their first 0 character, so the text does too (a text that
    // starts with one still gives an empty text node).
    const bool empty = utf8.empty();
    utf8 = utf8.substr(0, utf8.find('\0'));
    const auto* content = reinterpret_cast<const xmlChar*>(utf8.data());
    switch (n->type) {
    case XML_ELEMENT_NODE:
    case XML_ATTRIBUTE_NODE: {
        FImpl->DetachChildren(n);
        if (!empty) {
            xmlNodePtr t = Check(xmlNewDocTextLen(FImpl->Doc, content, int(utf8.size())));
            xmlAddChild(n, t);
        }
        return;
    }
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        // These hold their text as a string, not as child nodes.
        xmlNodeSetContentLen(n, content, int(utf8.size()));
        return;
    default:
        throw EXmlDomError(u"The text of this node cannot be set");
    }
}

void TXmlDom::RemoveChild(TXmlNodeRef parent, TXmlNodeRef child) {
    xmlNodePtr p = N(parent);
    xmlNodePtr c = N(child);
    if (parent.FElement || child.FElement || !HasChildList(p) || c->type == XML_ATTRIBUTE_NODE || c->parent != p)
        throw EXmlDomError(u"The node is not a child of this node");
    FImpl->Detach(c);
}

void* TXmlDom::Raw() const {
    return FImpl->Doc;
}

void TXmlDom::Adopt(void* document) {
    FImpl->Replace(static_cast<xmlDocPtr>(document));
}

} // namespace vgl
