#include "platform/xml/libxml_setup.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxslt/security.h>
#include <libxslt/xsltutils.h>

namespace vgl {
namespace {

thread_local TXmlErrorCapture* currentCapture = nullptr;

xmlParserInputPtr RefuseExternalResource(const char*, const char*, xmlParserCtxtPtr) {
    return nullptr;
}

void CollectGenericError(void*, const char* format, ...) {
    if (!currentCapture)
        return;
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    currentCapture->Add(text);
}

} // namespace

void EnsureXmlLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseExternalResource);
        // Messages of the stylesheet processor go to the capture of the calling thread.
        xsltSetGenericErrorFunc(nullptr, CollectGenericError);
        // Stylesheets may neither read nor write files or network resources, also while they
        // are compiled (xsl:import, xsl:include).
        xsltSecurityPrefsPtr prefs = xsltNewSecurityPrefs();
        if (prefs) {
            for (xsltSecurityOption option :
                 {XSLT_SECPREF_READ_FILE, XSLT_SECPREF_WRITE_FILE, XSLT_SECPREF_CREATE_DIRECTORY,
                  XSLT_SECPREF_READ_NETWORK, XSLT_SECPREF_WRITE_NETWORK})
                xsltSetSecurityPrefs(prefs, option, xsltSecurityForbid);
            xsltSetDefaultSecurityPrefs(prefs);
        }
    });
}

TXmlErrorCapture::TXmlErrorCapture() : FPrevious(currentCapture) {
    EnsureXmlLibrary();
    FPreviousContext = xmlGenericErrorContext;
    FPreviousHandler = reinterpret_cast<void*>(xmlGenericError);
    currentCapture = this;
    xmlSetGenericErrorFunc(nullptr, CollectGenericError);
}

TXmlErrorCapture::~TXmlErrorCapture() {
    currentCapture = FPrevious;
    xmlSetGenericErrorFunc(FPreviousContext, reinterpret_cast<xmlGenericErrorFunc>(FPreviousHandler));
}

void TXmlErrorCapture::Add(const std::string& message) {
    constexpr std::size_t maxText = 4096;
    if (FText.size() < maxText)
        FText += message.substr(0, maxText - FText.size());
}

std::string TXmlErrorCapture::Text() const {
    std::string text = FText;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace vgl
