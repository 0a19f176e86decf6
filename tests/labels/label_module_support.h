#pragma once
// What the label-module tests share: the libraries started once, the label faces registered, and
// a realistic parcel as the service fills it (its flags, a BIC3 routing code, text lists and Aztec
// fields).

#include <memory>
#include <mutex>
#include <vector>

#include "labels/dpd_label_print.h"
#include "labels/fonts_module.h"
#include "report/export/initialization.h"
#include "report/foundation/initialization.h"
#include "report/model/report_model_init.h"
#include "script/engine/initialization.h"

namespace vgl::test {

/// Starts the report, script and export libraries once for the process.
inline void StartLabelLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        InitializeReportFoundation();
        InitializeScriptEngine();
        InitializeReportModel();
        InitializeReportExport();
    });
}

/// The routing code of the fixture parcel: zip code 0075001, parcel 01234567890123, service 101,
/// country 250, percent form (the check character is computed).
inline const char* const FixtureBic3 = "%007500101234567890123101250";

/// Every text-list line of the fixture parcel, by list name.
struct TFixtureLines {
    const char16_t* List;
    std::vector<String> Lines;
};

inline const std::vector<TFixtureLines>& FixtureLines() {
    static const std::vector<TFixtureLines> lines = {
        {u"txtHeader", {u"CLASSIC"}},
        {u"txtDestName", {u"Marie Lefèvre"}},
        {u"txtDestAddress", {u"Marie Lefèvre", u"Atelier Côté Jardin", u"12 Rue de la Paix", u"FR-75001 Paris"}},
        {u"txtDestContact", {u"Mme Lefèvre"}},
        {u"txtDestPhone", {u"+33 1 42 60 00 00"}},
        {u"txtDestInfo", {u"Porte 4521"}},
        {u"txtDestMPSID", {u"MPS 01234567890123"}},
        {u"txtSenderAccount", {u"Acc. 4711/0815"}},
        {u"txtSenderAddress", {u"Muster Versand GmbH", u"Hauptstraße 5", u"DE-63741 Aschaffenburg"}},
        {u"txtSenderPhone", {u"+49 6021 12345"}},
        {u"txtBUAddress", {u"Depot Aschaffenburg"}},
        {u"txtBUTel", {u"+49 6021 9900"}},
        {u"txtBUDepot", {u"0163"}},
        {u"txtPackages", {u"1/1"}},
        {u"txtWeight", {u"2,50 kg"}},
        {u"txtOptProductText", {u"Parcel"}},
        {u"txtOptParcelRef1", {u"Order 55-1234"}},
        {u"txtOptCODAmount", {u"49,90 EUR"}},
        {u"txtOptCODPurpose", {u"Invoice 2026-117"}},
        {u"txtRoutServiceText", {u"CLASSIC"}},
        {u"txtRoutServiceMarker", {u"D"}},
        {u"txtRoutdDepotCountry", {u"FR"}},
        {u"txtRoutbuAlphaStr", {u"-"}},
        {u"txtRoutdDepotStr", {u"0754"}},
        {u"txtRoutSSort", {u"A12"}},
        {u"txtRoutOSort", {u"R5"}},
        {u"txtRoutDSort", {u"D31"}},
        {u"txtRoutServiceCodeAndDest", {u"101-FR-75001"}},
        {u"txtRoutOriginVersion", {u"DE-0163-20261210"}},
        {u"txtParcelNumber", {u"01234567890123"}},
    };
    return lines;
}

/// Fills a cleared module with the fixture parcel and the service's flags (IsDestExport, the
/// rest False).
inline void FillFixtureParcel(TDMDPDLabelPrint& module) {
    module.Clear();
    module.IsDestExport = true;
    module.Bic3BarcodeTxt = FixtureBic3;
    module.ForEachTextList([](const String& name, TWideStringList& list) {
        for (const TFixtureLines& entry : FixtureLines())
            if (name == entry.List)
                for (const String& line : entry.Lines)
                    list.Add(line);
    });
    TDPDAztec& aztec = module.Aztec;
    aztec.ISO_DestZipCode()->SetFieldValue(u"75001");
    aztec.ISO_DestCountryCode()->SetFieldValue(u"250");
    aztec.ISO_SOCode()->SetFieldValue(u"101");
    aztec.ISO_CustAccNumber()->SetFieldValue(u"4711");
    aztec.ISO_DeclaredWeight()->SetFieldValue(u"250");
    aztec.ISO_RecStreet()->SetFieldValue(u"12 Rue de la Paix");
    aztec.ISO_RecTown()->SetFieldValue(u"Paris");
    aztec.ISO_RecCompName1()->SetFieldValue(u"Marie Lefèvre");
    aztec.STD_RecContact()->SetFieldValue(u"Mme Lefèvre");
    aztec.STD_RecContactPho1()->SetFieldValue(u"+33142600000");
}

/// The label faces, registered for the test's lifetime (registration is once per process; a
/// test that clears the font registry needs them again).
class TLabelFonts {
public:
    TLabelFonts() : FFonts(std::make_unique<TDMFonts>(nullptr)) {}

private:
    std::unique_ptr<TDMFonts> FFonts;
};

} // namespace vgl::test
