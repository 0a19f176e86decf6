#include "script/bindings/barcode_bindings.h"

#include "report/model/barcode_view.h"

namespace vgl::fs_barcode {

TFunctions::TFunctions(TfsScript* script) : TfsBindingModule(script) {
    script->AddEnum(u"TfrxBarcodeType",
                    u"bcCode_2_5_interleaved, bcCode_2_5_industrial,bcCode_2_5_matrix, bcCode_ITF_14, bcCode39, "
                    u"bcCode39Extended, bcCode128, bcCode128A, bcCode128B,bcCode128C, bcCode93, bcCode93Extended, "
                    u"bcCodeMSI, bcCodePostNet,bcCodeCodabar, bcCodeEAN8, bcCodeEAN13, bcCodeUPC_A, bcCodeUPC_E0,"
                    u"bcCodeUPC_E1, bcCodeUPC_Supp2, bcCodeUPC_Supp5, bcCodeEAN128, bcCodeEAN128A,bcCodeEAN128B, "
                    u"bcCodeEAN128C, bcCodeUSPSIntelligentMail, bcCodePlessey, bcGS1Code128, bcPharmacode,"
                    u"bcDeutsche_Post_Identcode, bcDeutsche_Post_Leitcode");
    script->AddClass(&TfrxBarCodeView::StaticClassInfo(), u"TfrxView");
}

std::unique_ptr<TfsRTTIModule> Make(TfsScript* script) {
    return std::make_unique<TFunctions>(script);
}

} // namespace vgl::fs_barcode
