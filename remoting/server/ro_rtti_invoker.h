#pragma once
// TRORTTIInvoker, the invoker of every service found through run-time type information: it reads
// the parameters of the operation by name through the message's serializer, calls the operation
// through its reflected method and writes "Result" and the var and out values into the response;
// TROObjectDisposer frees every object the call made.

#include <memory>
#include <vector>

#include "remoting/server/ro_class_factories.h"

namespace vgl {

class TRORTTIInvoker : public TROInvoker {
public:
    TRORTTIInvoker() = default;

    /// Reads the parameters, calls the operation, writes the response and frees the objects of
    /// the call, on every path. The operation is looked up under the message's interface name,
    /// then under "T" + that name; none raises EROUnknownServiceMethod. A structure, array or
    /// binary parameter the request carries no value for raises "Error reading parameter %s:
    /// %s" before the operation runs. The response options are left as they are.
    void RTTIInvoke(const TROServiceInstance& anInstance, const std::shared_ptr<IROMessage>& aMessage,
                    const std::shared_ptr<IROTransport>& aTransport, TROResponseOptions& oResponseOptions);

protected:
    /// "RTTIInvoke" for an operation the server cache knows, else the base's name.
    String GetInvokeMethodName(const std::shared_ptr<IROMessage>& aMessage) override;
    TMessageInvokeMethod MethodAddress(const String& aName) const override;
};

/// Frees the objects of one call. When the service keeps objects (IROObjectRetainer) the held
/// objects are visited last to first and those it does not retain are freed; otherwise all are
/// freed first to last.
class TROObjectDisposer {
public:
    explicit TROObjectDisposer(TROServiceInstance aService) : fService(std::move(aService)) {}
    ~TROObjectDisposer();
    TROObjectDisposer(const TROObjectDisposer&) = delete;
    TROObjectDisposer& operator=(const TROObjectDisposer&) = delete;

    /// Takes the object over unless it is held already (none is held like any other entry).
    void Add(TObject* aObject);
    int Count() const { return int(fObjects.size()); }

private:
    TROServiceInstance fService;
    std::vector<TObject*> fObjects;
};

} // namespace vgl
