#pragma once
// TIPHTTPResponseHeaders: the head of one HTTP answer (status code, reason, version and
// "name=value" header lines) as the HTTP server collects it while a request is processed.

#include <memory>

#include "platform/rtl/string_list.h"
#include "remoting/core/ro_interfaces.h"

namespace vgl {

/// True when the text can be sent in a header value: no CR, LF or NUL.
bool IsValidHTTPHeaderText(StringView aValue);
/// True for a header name of token characters, not empty.
bool IsValidHTTPHeaderName(StringView aName);

class TIPHTTPResponseHeaders : public TObject, public IROHTTPResponse {
public:
    /// Code 200, version "HTTP/1.1", reason "OK", no header lines.
    TIPHTTPResponseHeaders();
    String ClassName() const override { return u"TIPHTTPResponseHeaders"; }

    /// Back to the state of a new object.
    void Clear();
    void Assign(const TIPHTTPResponseHeaders& aSource);
    /// "%s %d %s" of version, code and reason, CR LF, then "name: value" CR LF for every line
    /// holding "=" (name and value trimmed), then a final CR LF.
    String ToString() const;

    /// Sets the line of that name (found without regard to case); an empty value deletes it.
    /// Raises EROException for a name that is no token or a value holding CR, LF or NUL, so
    /// that nothing a request brought in can start a header line of its own.
    void SetHeader(const String& Name, const String& Value) override;
    String GetHeader(const String& Name) override;
    int GetCode() override { return FCode; }
    void SetCode(int aCode) override { FCode = aCode; }
    String GetReason() override { return FReason; }
    void SetReason(const String& aReason) override;
    /// The value of the "Content-Type" line.
    String GetContentType() override { return GetHeader(u"Content-Type"); }
    void SetContentType(const String& aContentType) override { SetHeader(u"Content-Type", aContentType); }

    const TStrings& Headers() const { return FHeaders; }
    const String& Version() const { return FVersion; }
    void SetVersion(const String& aVersion) { FVersion = aVersion; }
    int Code() const { return FCode; }
    const String& Reason() const { return FReason; }

private:
    TStringList FHeaders;
    int FCode = 200;
    String FVersion = u"HTTP/1.1";
    String FReason = u"OK";
};

} // namespace vgl
