#pragma once
// XSLT 1.0 transformations of TXmlDom documents.
//
// Stylesheets can neither read nor write files or network resources: xsl:import, xsl:include,
// document() and output documents fail.

#include "platform/rtl/exceptions.h"
#include "platform/rtl/ustring.h"
#include "platform/xml/xml_dom.h"

namespace vgl {

/// The stylesheet document is no XSLT stylesheet the processor accepts.
VGL_DECLARE_EXCEPTION(EXsltStylesheetError, EXmlDomError);

/// Applies `stylesheet` to `source` and returns the result as its xsl:output method writes it
/// (XML, HTML or text). Raises EXsltStylesheetError for a stylesheet that does not compile and
/// EXmlDomError, with the processor's reason, when the run fails.
String XsltTransformToText(const TXmlDom& source, const TXmlDom& stylesheet);

/// As XsltTransformToText, with the result tree replacing the content of `output` (whose XML
/// declaration stays as it is).
void XsltTransform(const TXmlDom& source, const TXmlDom& stylesheet, TXmlDom& output);

} // namespace vgl
