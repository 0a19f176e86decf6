#pragma once
// TROBaseConnection: the component base of the server component and of client channels, with
// the connection's stream-encryption settings. Stream encryption and the connection's own
// compression are not available here: the settings keep no state, the hooks cannot be set, and
// a connection neither compresses nor encrypts, so the HTTP layer applies its own rules.

#include <functional>
#include <memory>

#include "platform/rtl/component.h"
#include "platform/rtl/persistent.h"
#include "platform/rtl/reflection.h"

namespace vgl {

class TStream;

enum TROEncryptionMethod { tetNone, tetDES, tetBlowfish, tetTwoFish, tetRijndael };
VGL_DECLARE_ENUM(TROEncryptionMethod);

using TROCryptoKey = String;
/// Called around encrypting or decrypting a stream (never called: the hooks cannot be set).
using TROEncryptionEvent = std::function<void(TObject* sender, TStream* stream)>;
using TROBaseConnectionOperation = std::function<void(TObject* sender, TStream* stream)>;

/// Encryption settings whose getters answer the defaults and whose setters drop the value, so
/// values read from a stored form are dropped too.
class TROEncryption : public TPersistent {
    VGL_CLASS(TROEncryption, TPersistent)
    TROEncryption() = default;

    virtual void SetEncryptionRecvKey(const TROCryptoKey& value);
    virtual void SetEncryptionSendKey(const TROCryptoKey& value);
    virtual void SetEncryptionMethod(TROEncryptionMethod value);
    virtual void SetOnAfterDecryption(const TROEncryptionEvent& value);
    virtual void SetOnBeforeEncryption(const TROEncryptionEvent& value);
    virtual void SetUseCompression(bool value);
    virtual TROCryptoKey GetEncryptionRecvKey() const;
    virtual TROCryptoKey GetEncryptionSendKey() const;
    virtual TROEncryptionMethod GetEncryptionMethod() const;
    virtual TROEncryptionEvent GetOnAfterDecryption() const;
    virtual TROEncryptionEvent GetOnBeforeEncryption() const;
    virtual bool GetUseCompression() const;

    /// Nothing to copy: the settings keep no state.
    void Assign(const TPersistent* source) override;
};

class TROBaseConnection : public TComponent {
    VGL_CLASS(TROBaseConnection, TComponent)
    explicit TROBaseConnection(TComponent* owner);
    ~TROBaseConnection() override;

    TROEncryption* Encryption() const { return fEncryption.get(); }
    /// Ignored: the settings object stays the connection's own.
    void SetEncryption(TROEncryption* value);
    TROBaseConnectionOperation OnBeforeDecrypt() const { return fBeforeDecrypt; }
    /// Ignored: the hook stays unassigned.
    void SetOnBeforeDecrypt(const TROBaseConnectionOperation& value);
    TROBaseConnectionOperation OnAfterEncrypt() const { return fAfterEncrypt; }
    /// Ignored: the hook stays unassigned.
    void SetOnAfterEncrypt(const TROBaseConnectionOperation& value);

    /// Framework components assign between each other without failing; nothing is copied here.
    void Assign(const TPersistent* source) override;

    /// False: the HTTP layer compresses responses by its own rules.
    virtual bool UsesCompression() const { return false; }
    /// False: responses keep their XML content type.
    virtual bool UsesEncryption() const { return false; }
    /// Copies the whole of `plain` (from its start) into `wire`, unchanged.
    void EncryptStream(TStream& plain, TStream& wire);
    /// Copies the whole of `wire` (from its start) into `plain`, unchanged.
    void DecryptStream(TStream& wire, TStream& plain);

private:
    std::unique_ptr<TROEncryption> fEncryption;
    TROBaseConnectionOperation fBeforeDecrypt;
    TROBaseConnectionOperation fAfterEncrypt;
};

} // namespace vgl
