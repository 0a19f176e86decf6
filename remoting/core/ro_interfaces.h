#pragma once
// The framework's interfaces between messages, services, transports and the HTTP server. Each
// is an abstract class; objects that implement them are held by std::shared_ptr, and "offers X"
// is a std::dynamic_pointer_cast to X. Transport interfaces extend their bases virtually, so an
// object may implement several of them through one base.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/rtl/guid.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TObject;
class TStream;
class TROCustomRODLReader;

/// Tag of service objects (no operations).
class IROService {
public:
    virtual ~IROService() = default;
};

// ---- Transports ---------------------------------------------------------------------------

class IROTransport {
public:
    virtual ~IROTransport() = default;
    /// The object behind the transport.
    virtual TObject* GetTransportObject() = 0;
};

class IROTCPTransport : public virtual IROTransport {
public:
    virtual String GetClientAddress() = 0;
};

/// The message's view of one HTTP exchange.
class IROHTTPTransport : public virtual IROTCPTransport {
public:
    /// A header of the answer.
    virtual void SetHeader(const String& Name, const String& Value) = 0;
    /// A header of the request; empty when absent.
    virtual String GetHeader(const String& Name) = 0;
    virtual String GetContentType() = 0;
    /// The answer's content type.
    virtual void SetContentType(const String& aContentType) = 0;
    /// The request's agent name.
    virtual String GetUserAgent() = 0;
    /// The answer's agent name (its Server header).
    virtual void SetUserAgent(const String& aUserAgent) = 0;
    virtual String GetTargetUrl() = 0;
    virtual void SetTargetUrl(const String& aTargetUrl) = 0;
    virtual void SetPathInfo(const String& aPathInfo) = 0;
    virtual String GetPathInfo() = 0;
    virtual String GetQueryString() = 0;
    /// "http://" or "https://" followed by the request's Host header.
    virtual String GetLocation() = 0;
    /// A query parameter of the request URL; empty when absent.
    virtual String GetQueryParameter(const String& Name) = 0;
};

class IROHTTPTransportEx : public virtual IROHTTPTransport {
public:
    virtual bool GetCanUseContentEncoding() = 0;
    virtual void SetCanUseContentEncoding(bool aValue) = 0;
};

// ---- The HTTP server ----------------------------------------------------------------------

class IROHTTPRequest {
public:
    virtual ~IROHTTPRequest() = default;
    virtual String GetQueryString() = 0;
    /// The Basic authentication password and user name.
    virtual String GetPassword() = 0;
    virtual String GetUserName() = 0;
    virtual String GetContentType() = 0;
    virtual String GetMethod() = 0;
    /// Overrides the request path.
    virtual void SetPathInfo(const String& aPathInfo) = 0;
    virtual String GetPathInfo() = 0;
    /// Whether authentication data came with the request.
    virtual bool GetAuthenticationPresent() = 0;
    virtual String GetLocation() = 0;
    virtual void SetHeader(const String& Name, const String& Value) = 0;
    virtual String GetHeader(const String& Name) = 0;
    virtual String GetQueryParameter(const String& Name) = 0;
};

class IROHTTPResponse {
public:
    virtual ~IROHTTPResponse() = default;
    virtual void SetHeader(const String& Name, const String& Value) = 0;
    virtual String GetHeader(const String& Name) = 0;
    virtual int GetCode() = 0;
    virtual void SetCode(int aCode) = 0;
    virtual String GetReason() = 0;
    virtual void SetReason(const String& aReason) = 0;
    virtual String GetContentType() = 0;
    virtual void SetContentType(const String& aContentType) = 0;
};

class IROHTTPDispatcher;

class IROHTTPServer {
public:
    virtual ~IROHTTPServer() = default;
    virtual void Register(const std::shared_ptr<IROHTTPDispatcher>& aDispatcher) = 0;
    virtual void Unregister(const std::shared_ptr<IROHTTPDispatcher>& aDispatcher) = 0;
    virtual TROCustomRODLReader* GetRODLReader() = 0;
};

class IROHTTPDispatcher {
public:
    virtual ~IROHTTPDispatcher() = default;
    virtual void Process(const std::shared_ptr<IROHTTPTransport>& aTransport,
                         const std::shared_ptr<IROHTTPRequest>& aRequest,
                         const std::shared_ptr<IROHTTPResponse>& aResponse, TStream& aRequestData,
                         TStream& aResponseData) = 0;
    virtual bool CanHandlePath(const String& aPath) = 0;
    virtual void Detach() = 0;
    virtual void Activate() = 0;
    virtual void Deactivate() = 0;
};

// ---- Metadata and service groups ----------------------------------------------------------

/// The metadata answers of a message format.
class IROModuleInfo {
public:
    virtual ~IROModuleInfo() = default;
    virtual void GetModuleInfo(TStream& aStream, const std::shared_ptr<IROTransport>& aTransport,
                               String& aContentType) = 0;
    virtual void GetRodlInfo(TStream& aStream, const std::shared_ptr<IROTransport>& aTransport,
                             String& aContentType) = 0;
};

constexpr TGUID IID_IRONamedModuleInfo{0xC7D24186, 0xD600, 0x465C, {0x9B, 0x09, 0x4E, 0x1E, 0x2C, 0xF8, 0x35, 0xBE}};

class IRONamedModuleInfo : public virtual IROModuleInfo {
public:
    /// The name of the format's metadata (the SOAP message answers "wsdl").
    virtual String GetModuleInfoName() = 0;
};

class IROServiceGroupSupport {
public:
    virtual ~IROServiceGroupSupport() = default;
    virtual void SetServiceGroups(const String& aServiceGroups) = 0;
};

} // namespace vgl
