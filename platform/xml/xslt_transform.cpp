#include "platform/xml/xslt_transform.h"

#include <memory>
#include <string>

#include <libxml/tree.h>
#include <libxslt/security.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>

#include "platform/xml/libxml_setup.h"

namespace vgl {
namespace {

struct StylesheetDeleter {
    void operator()(xsltStylesheetPtr s) const { xsltFreeStylesheet(s); }
};
struct DocDeleter {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};
using StylesheetPtr = std::unique_ptr<xsltStylesheet, StylesheetDeleter>;
using DocPtr = std::unique_ptr<xmlDoc, DocDeleter>;

String Reason(const TXmlErrorCapture& capture) {
    const std::string text = capture.Text();
    return text.empty() ? String(u"unknown reason") : Utf8ToString(text);
}

StylesheetPtr Compile(const TXmlDom& stylesheet, const TXmlErrorCapture& capture) {
    // The processor takes the document over, so it gets a copy.
    xmlDocPtr copy = xmlCopyDoc(static_cast<xmlDocPtr>(stylesheet.Raw()), 1);
    if (!copy)
        throw EOutOfMemory(u"Out of memory");
    StylesheetPtr style(xsltParseStylesheetDoc(copy));
    if (!style) {
        xmlFreeDoc(copy);
        throw EXsltStylesheetError(Format(u"Invalid XSL stylesheet: %s", {Reason(capture)}));
    }
    return style;
}

DocPtr Run(xsltStylesheetPtr style, const TXmlDom& source, const TXmlErrorCapture& capture) {
    auto* doc = static_cast<xmlDocPtr>(source.Raw());
    xsltTransformContextPtr ctxt = xsltNewTransformContext(style, doc);
    if (!ctxt)
        throw EOutOfMemory(u"Out of memory");
    xsltSetCtxtSecurityPrefs(xsltGetDefaultSecurityPrefs(), ctxt);
    DocPtr result(xsltApplyStylesheetUser(style, doc, nullptr, nullptr, nullptr, ctxt));
    const bool failed = !result || ctxt->state == XSLT_STATE_ERROR || ctxt->state == XSLT_STATE_STOPPED;
    xsltFreeTransformContext(ctxt);
    if (failed)
        throw EXmlDomError(Format(u"The transformation failed: %s", {Reason(capture)}));
    return result;
}

} // namespace

String XsltTransformToText(const TXmlDom& source, const TXmlDom& stylesheet) {
    TXmlErrorCapture capture;
    StylesheetPtr style = Compile(stylesheet, capture);
    DocPtr result = Run(style.get(), source, capture);
    // Written without an encoder: the bytes are UTF-8 whatever the stylesheet's xsl:output says.
    xmlOutputBufferPtr out = xmlAllocOutputBuffer(nullptr);
    if (!out)
        throw EOutOfMemory(u"Out of memory");
    xsltSaveResultTo(out, result.get(), style.get());
    xmlOutputBufferFlush(out);
    std::string text(reinterpret_cast<const char*>(xmlOutputBufferGetContent(out)), xmlOutputBufferGetSize(out));
    xmlOutputBufferClose(out);
    return Utf8ToString(text);
}

void XsltTransform(const TXmlDom& source, const TXmlDom& stylesheet, TXmlDom& output) {
    TXmlErrorCapture capture;
    StylesheetPtr style = Compile(stylesheet, capture);
    DocPtr result = Run(style.get(), source, capture);
    output.Adopt(result.release());
}

} // namespace vgl
