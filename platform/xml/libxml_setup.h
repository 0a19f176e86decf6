#pragma once
// Process-wide set-up of the XML library, shared by the sources of platform/xml only.

#include <string>

namespace vgl {

/// Initialises the XML library once per process and closes its doors to the outside: every
/// request to load an external resource (DTD, entity, stylesheet import, document()) fails.
void EnsureXmlLibrary();

/// Collects the XML library's generic error messages of this thread while it lives (and keeps
/// them from being printed); restores the previous handler afterwards.
class TXmlErrorCapture {
public:
    TXmlErrorCapture();
    ~TXmlErrorCapture();
    TXmlErrorCapture(const TXmlErrorCapture&) = delete;
    TXmlErrorCapture& operator=(const TXmlErrorCapture&) = delete;
    /// The messages reported (at most a few KiB), without trailing line breaks.
    std::string Text() const;
    void Add(const std::string& message);

private:
    std::string FText;
    TXmlErrorCapture* FPrevious;
    void* FPreviousContext;
    void* FPreviousHandler;
};

} // namespace vgl
