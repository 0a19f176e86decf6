#pragma once
// The hooks for storing reports compressed or encrypted. The report does not compress or encrypt
// by itself: it makes an instance of the process-wide compressor class or crypter class, when one
// is set, for one load or save, and skips the step when none is. Making an instance of a class
// sets it as the process-wide class (a compressor puts the previous one back when it is freed).
// This system has no concrete compressor or crypter, so both settings stay empty; the bases keep
// the hooks. The settings are read and changed under a lock: instances are made on the request
// threads.

#include <memory>

#include "platform/rtl/component.h"
#include "platform/rtl/reflection.h"

namespace vgl {

class TStream;
class TfrxComponent;
class TfrxSaveToCompressedFilter;

/// The compressor class set now (none at start).
TClass frxCompressorClass();
/// Sets the compressor class (none clears it); answers the one set before.
TClass SetfrxCompressorClass(TClass cls);
/// The crypter class set now (none at start).
TClass frxCrypterClass();
/// Sets the crypter class (none clears it); answers the one set before.
TClass SetfrxCrypterClass(TClass cls);

/// The base of a compressor of stored reports and prepared pages.
class TfrxCustomCompressor : public TComponent {
    VGL_CLASS(TfrxCustomCompressor, TComponent)
    /// Remembers the compressor class set now and sets `ownClass`, the class being made, instead
    /// (a constructor cannot learn the class of the object it builds). Makes the compressor's
    /// compressed-report transport: registered in the transport registry when an owner is
    /// given, unregistered otherwise.
    TfrxCustomCompressor(TComponent* owner, TClass ownClass);
    /// Frees the transport, puts the remembered class back, frees the working stream and deletes
    /// its temporary file.
    ~TfrxCustomCompressor() override;

    /// True when the source was compressed and its content now stands in Stream; False when the
    /// source is not compressed.
    virtual bool Decompress(TStream& source) = 0;
    /// Writes Stream compressed into `dest`.
    virtual void Compress(TStream& dest) = 0;

    /// Makes the working stream: a memory stream for a template, or when the report's engine
    /// options do not use a file cache (or there is no report); otherwise a new temporary file
    /// in the engine options' TempDir (the system's folder when empty), deleted with the
    /// compressor. Raises EInOutError when no temporary file can be made.
    void CreateStream();
    /// The working stream (none before CreateStream).
    TStream* Stream() const { return FStream.get(); }
    /// The stream holds a report template rather than prepared pages.
    bool IsTemplateFile() const { return FIsTemplateFile; }
    /// Also tells the transport, which chooses its filter text by it.
    void SetIsTemplateFile(bool value);
    /// The transport that saves compressed reports.
    TfrxSaveToCompressedFilter* Filter() const { return FFilter.get(); }
    TfrxComponent* Report() const { return FReport; }
    void SetReport(TfrxComponent* value) { FReport = value; }
    /// The name of the temporary file behind the working stream (empty for memory).
    const String& TempFile() const { return FTempFile; }

private:
    void FreeStream();

    bool FIsTemplateFile = false;
    TClass FOldCompressor = nullptr;
    TfrxComponent* FReport = nullptr;
    std::unique_ptr<TStream> FStream;
    String FTempFile;
    std::unique_ptr<TfrxSaveToCompressedFilter> FFilter;
};

/// The base of an encrypter of stored reports.
class TfrxCustomCrypter : public TComponent {
    VGL_CLASS(TfrxCustomCrypter, TComponent)
    /// Sets `ownClass`, the class being made, as the crypter class (nothing is put back when it
    /// is freed).
    TfrxCustomCrypter(TComponent* owner, TClass ownClass);
    ~TfrxCustomCrypter() override;

    /// True when the content, decrypted with `key`, now stands in Stream.
    virtual bool Decrypt(TStream& source, const AnsiString& key) = 0;
    /// Writes Stream encrypted with `key` into `dest`.
    virtual void Encrypt(TStream& dest, const AnsiString& key) = 0;

    /// Makes the working stream: a new memory stream.
    void CreateStream();
    TStream* Stream() const { return FStream.get(); }

private:
    std::unique_ptr<TStream> FStream;
};

} // namespace vgl
