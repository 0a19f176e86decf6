#pragma once
// Structures and an array shaped like the label service's own types, registered with the type
// registry: the serializer tests and the service tests that follow read and write them. They
// live in their own namespace so that the service's real classes of the same names never clash
// with them; their class names are those of the service's types, as the wire shows them.

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/rtl/reflection.h"
#include "remoting/core/ro_array.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_types.h"

namespace vgl::srvtest {

enum TCODType { codUnknown, codNone, codCash, codCrossedCheque, codCreditCard };
VGL_DECLARE_ENUM(TCODType);
enum TResultType { resGeoLabel, resHazlqLabel, resSWAPLabel };
VGL_DECLARE_ENUM(TResultType);

/// Every class counts its live instances (atomically: calls run on several threads), so tests see
/// that nothing is left behind.
class TCountryInfo : public TROComplexType {
    VGL_CLASS(TCountryInfo, TROComplexType)
    TCountryInfo() { ++Live; }
    ~TCountryInfo() override { --Live; }
    static inline std::atomic<int> Live = 0;

    std::int32_t Fiso_3166n = 0;
    String Fiso_3166a2;
    String Fcountryname;
    bool FIsEU = false;
};

/// The request record: text, integer, Boolean, enumeration and double fields and three nested
/// country records that start absent.
class TGeoLabelData : public TROComplexType {
    VGL_CLASS(TGeoLabelData, TROComplexType)
    TGeoLabelData() { ++Live; }
    ~TGeoLabelData() override { --Live; }
    static inline std::atomic<int> Live = 0;

    String FParcelNumber;
    std::int32_t FParcelRank = 0;
    bool FHazLQ = false;
    String FRTown;
    std::unique_ptr<TCountryInfo> FRCountry;
    std::unique_ptr<TCountryInfo> FSCountry;
    std::unique_ptr<TCountryInfo> FSDepotCountry;
    TCODType FCODType = codUnknown;
    double FCODAmount = 0;
};

class TResultInfo : public TROComplexType {
    VGL_CLASS(TResultInfo, TROComplexType)
    TResultInfo() { ++Live; }
    ~TResultInfo() override { --Live; }
    static inline std::atomic<int> Live = 0;

    TResultType FResultType = resGeoLabel;
    std::unique_ptr<TROBinaryMemoryStream> FResultBase64;
};

class TResultArray : public TROArrayOf<TResultInfo> {
    VGL_CLASS(TResultArray, TROArrayOf<TResultInfo>)
    TResultArray() { ++Live; }
    ~TResultArray() override { --Live; }
    static inline std::atomic<int> Live = 0;
};

/// Adds the classes and enumerations to the type registry's context (once).
void RegisterServerTestTypes();

/// Sum of the live counters of all fixture classes.
inline int LiveFixtureObjects() {
    return TCountryInfo::Live + TGeoLabelData::Live + TResultInfo::Live + TResultArray::Live;
}

} // namespace vgl::srvtest
