#include "report/export/md5.h"

#include "report/export/export_helpers.h"

namespace vgl {

void TfrxMD5::Init() {
    FHash.Reset();
}

void TfrxMD5::Update(const void* chInput, std::size_t nInputLen) {
    FHash.Push(chInput, nInputLen);
}

void TfrxMD5::Finalize() {
    FHash.GetDigest(FDigest.data(), FDigest.size());
    FHash.Reset();
}

AnsiString MD5String(const RawByteString& data) {
    std::uint8_t digest[16];
    MD5Buf(data.data(), data.size(), digest);
    return BytesToHex({digest, 16}, false);
}

void MD5Buf(const void* data, std::size_t size, std::uint8_t* digest) {
    TCryptoMD5 hash;
    hash.Push(data, size);
    hash.GetDigest(digest, 16);
}

} // namespace vgl
