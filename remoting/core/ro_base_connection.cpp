#include "remoting/core/ro_base_connection.h"

#include "platform/rtl/reflection_builder.h"
#include "remoting/core/ro_utils.h"

namespace vgl {

VGL_DEFINE_ENUM(TROEncryptionMethod, u"tetNone", u"tetDES", u"tetBlowfish", u"tetTwoFish", u"tetRijndael")

namespace {

const TypeInfo& CryptoKeyTypeInfo() {
    static const TypeInfo info = AliasTypeInfo(TypeInfoFor(TypeTag<String>{}), u"TROCryptoKey");
    return info;
}

const TypeInfo& EncryptionEventTypeInfo() {
    static const TypeInfo info = EventTypeInfo<TROEncryptionEvent>(u"TROEncryptionEvent");
    return info;
}

const TypeInfo& ConnectionOperationTypeInfo() {
    static const TypeInfo info = EventTypeInfo<TROBaseConnectionOperation>(u"TROBaseConnectionOperation");
    return info;
}

} // namespace

// ---- TROEncryption ------------------------------------------------------------------------

VGL_DEFINE_CLASS(TROEncryption) {
    b.Property(u"EncryptionMethod", &TROEncryption::GetEncryptionMethod, &TROEncryption::SetEncryptionMethod)
        .Default(tetNone);
    b.Property(u"EncryptionSendKey", &TROEncryption::GetEncryptionSendKey, &TROEncryption::SetEncryptionSendKey)
        .Type(CryptoKeyTypeInfo());
    b.Property(u"EncryptionRecvKey", &TROEncryption::GetEncryptionRecvKey, &TROEncryption::SetEncryptionRecvKey)
        .Type(CryptoKeyTypeInfo());
    b.Property(u"UseCompression", &TROEncryption::GetUseCompression, &TROEncryption::SetUseCompression).Default(false);
    b.Property(u"OnBeforeEncryption", &TROEncryption::GetOnBeforeEncryption, &TROEncryption::SetOnBeforeEncryption)
        .Type(EncryptionEventTypeInfo());
    b.Property(u"OnAfterDecryption", &TROEncryption::GetOnAfterDecryption, &TROEncryption::SetOnAfterDecryption)
        .Type(EncryptionEventTypeInfo());
}

void TROEncryption::SetEncryptionRecvKey(const TROCryptoKey&) {}
void TROEncryption::SetEncryptionSendKey(const TROCryptoKey&) {}
void TROEncryption::SetEncryptionMethod(TROEncryptionMethod) {}
void TROEncryption::SetOnAfterDecryption(const TROEncryptionEvent&) {}
void TROEncryption::SetOnBeforeEncryption(const TROEncryptionEvent&) {}
void TROEncryption::SetUseCompression(bool) {}
TROCryptoKey TROEncryption::GetEncryptionRecvKey() const {
    return {};
}
TROCryptoKey TROEncryption::GetEncryptionSendKey() const {
    return {};
}
TROEncryptionMethod TROEncryption::GetEncryptionMethod() const {
    return tetNone;
}
TROEncryptionEvent TROEncryption::GetOnAfterDecryption() const {
    return {};
}
TROEncryptionEvent TROEncryption::GetOnBeforeEncryption() const {
    return {};
}
bool TROEncryption::GetUseCompression() const {
    return false;
}

void TROEncryption::Assign(const TPersistent*) {}

// ---- TROBaseConnection --------------------------------------------------------------------

VGL_DEFINE_CLASS(TROBaseConnection) {
    b.Property(u"Encryption", &TROBaseConnection::Encryption, &TROBaseConnection::SetEncryption);
    b.Property(u"OnBeforeDecrypt", &TROBaseConnection::OnBeforeDecrypt, &TROBaseConnection::SetOnBeforeDecrypt)
        .Type(ConnectionOperationTypeInfo());
    b.Property(u"OnAfterEncrypt", &TROBaseConnection::OnAfterEncrypt, &TROBaseConnection::SetOnAfterEncrypt)
        .Type(ConnectionOperationTypeInfo());
}

TROBaseConnection::TROBaseConnection(TComponent* owner)
    : TComponent(owner), fEncryption(std::make_unique<TROEncryption>()) {}

TROBaseConnection::~TROBaseConnection() = default;

void TROBaseConnection::SetEncryption(TROEncryption*) {}
void TROBaseConnection::SetOnBeforeDecrypt(const TROBaseConnectionOperation&) {}
void TROBaseConnection::SetOnAfterEncrypt(const TROBaseConnectionOperation&) {}

void TROBaseConnection::Assign(const TPersistent*) {}

void TROBaseConnection::EncryptStream(TStream& plain, TStream& wire) {
    CopyStreamData(&plain, &wire, 0);
}

void TROBaseConnection::DecryptStream(TStream& wire, TStream& plain) {
    CopyStreamData(&wire, &plain, 0);
}

} // namespace vgl
