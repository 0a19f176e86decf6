#include "report/model/report_compression.h"

#include <mutex>

#include "platform/rtl/file_utils.h"
#include "platform/rtl/reflection_builder.h"
#include "platform/rtl/streams.h"
#include "report/foundation/utilities.h"
#include "report/model/io_transport.h"
#include "report/model/report_options.h"
#include "report/model/report_services.h"

namespace vgl {

VGL_DEFINE_CLASS(TfrxCustomCompressor) {}
VGL_DEFINE_CLASS(TfrxCustomCrypter) {}

namespace {

struct TCodecClasses {
    std::mutex Lock;
    TClass Compressor = nullptr;
    TClass Crypter = nullptr;
};

TCodecClasses& CodecClasses() {
    static TCodecClasses classes;
    return classes;
}

TClass Get(TClass TCodecClasses::*slot) {
    TCodecClasses& classes = CodecClasses();
    std::lock_guard lock(classes.Lock);
    return classes.*slot;
}

TClass Exchange(TClass TCodecClasses::*slot, TClass cls) {
    TCodecClasses& classes = CodecClasses();
    std::lock_guard lock(classes.Lock);
    std::swap(classes.*slot, cls);
    return cls;
}

} // namespace

TClass frxCompressorClass() {
    return Get(&TCodecClasses::Compressor);
}

TClass SetfrxCompressorClass(TClass cls) {
    return Exchange(&TCodecClasses::Compressor, cls);
}

TClass frxCrypterClass() {
    return Get(&TCodecClasses::Crypter);
}

TClass SetfrxCrypterClass(TClass cls) {
    return Exchange(&TCodecClasses::Crypter, cls);
}

// ---- TfrxCustomCompressor --------------------------------------------------------------------

TfrxCustomCompressor::TfrxCustomCompressor(TComponent* owner, TClass ownClass) : TComponent(owner) {
    FFilter = owner ? std::make_unique<TfrxSaveToCompressedFilter>(nullptr)
                    : std::make_unique<TfrxSaveToCompressedFilter>(TfrxNoRegister{});
    FOldCompressor = SetfrxCompressorClass(ownClass);
}

TfrxCustomCompressor::~TfrxCustomCompressor() {
    FFilter.reset();
    SetfrxCompressorClass(FOldCompressor);
    FreeStream();
}

void TfrxCustomCompressor::SetIsTemplateFile(bool value) {
    FIsTemplateFile = value;
    FFilter->SetIsTemplateFile(value);
}

void TfrxCustomCompressor::FreeStream() {
    FStream.reset();
    if (!FTempFile.empty()) {
        DeleteFile(FTempFile);
        FTempFile.clear();
    }
}

void TfrxCustomCompressor::CreateStream() {
    FreeStream();
    IfrxReportServices* report = ReportServicesOf(FReport);
    TfrxEngineOptions* options = report ? report->EngineOptions() : nullptr;
    if (FIsTemplateFile || !options || !options->UseFileCache()) {
        FStream = std::make_unique<TMemoryStream>();
        return;
    }
    FTempFile = GetTempFileNameInFolder(options->TempDir());
    try {
        FStream = std::make_unique<TFileStream>(FTempFile, fmCreate);
    } catch (...) {
        DeleteFile(FTempFile);
        FTempFile.clear();
        throw;
    }
}

// ---- TfrxCustomCrypter -----------------------------------------------------------------------

TfrxCustomCrypter::TfrxCustomCrypter(TComponent* owner, TClass ownClass) : TComponent(owner) {
    SetfrxCrypterClass(ownClass);
}

TfrxCustomCrypter::~TfrxCustomCrypter() = default;

void TfrxCustomCrypter::CreateStream() {
    FStream = std::make_unique<TMemoryStream>();
}

} // namespace vgl
