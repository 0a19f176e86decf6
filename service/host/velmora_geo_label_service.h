#pragma once
// TVelmoraGeoLabelService: the label web service. The remoting server makes one instance per
// call and calls an operation by name with the parameters read from the SOAP request.
//
// Every label and Aztec operation logs "<operation> call for parcel number <n>" first, then
// works on a label module of its own, made after the log line and freed before the operation
// returns on every path. The operations catch nothing: a failure leaves the operation, the
// documents already rendered in that call go with it, and the server answers with a SOAP fault.

#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/server/ro_remote_data_module.h"
#include "service/geo_label_types.h"

namespace vgl {

class TDMDPDLabelPrint;

class TVelmoraGeoLabelService : public TRORemoteDataModule {
    VGL_CLASS(TVelmoraGeoLabelService, TRORemoteDataModule)
    explicit TVelmoraGeoLabelService(TComponent* aOwner = nullptr) : TRORemoteDataModule(aOwner) {}

    /// The parcel label and the additional labels the request asks for, each as a PDF: the
    /// parcel label (resGeoLabel) always first, then the limited-quantity label (HazLQ), the
    /// SWAP, receipt and return labels, in this order.
    TResultArray* PrintGeoLabelAsPDF(TGeoLabelData* const& aGeoLabelData);
    /// The same documents as pictures of `aImageType`; an empty array for a value outside
    /// TImageType (after the request was mapped).
    TResultArray* PrintGeoLabelAsImage(TImageType aImageType, TGeoLabelData* const& aGeoLabelData);
    /// The parcel's Aztec symbol as a 600 x 600 BMP file, whatever `aImageType` says.
    TROBinaryMemoryStream* GetAztecAsImage(TImageType aImageType, TGeoLabelData* const& aGeoLabelData);
    /// The parcel's Aztec content: its bytes in ISO-8859-1, nothing before or after them.
    TROBinaryMemoryStream* GetAztecAsString(TGeoLabelData* const& aGeoLabelData);
    /// Logs "CloseApplication call"; in window mode the process ends about one second later, in
    /// service mode nothing more happens.
    void CloseApplication();
};

/// Copies the whole of `source` (from position 0) into a new result stream, in blocks of at
/// most 1 MiB; the result is at position 0.
std::unique_ptr<TROBinaryMemoryStream> CopyToResultStream(TStream& source);

/// The document the module printed last as a result of `type`. A print that left no document
/// is a failure of the call (Exception naming the result type), never an empty result.
std::unique_ptr<TResultInfo> PrintedResult(TDMDPDLabelPrint& module, TResultType type);

/// Registers the service class with the remoting server, so that the service search finds it.
/// Called once at start-up, after the server library and the service types started.
void InitializeGeoLabelService();

} // namespace vgl
