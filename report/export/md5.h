#pragma once
// TfrxMD5: the MD5 digest (RFC 1321) as the PDF writer's security handler and document
// identifier use it, on the MD5 core of crypto_hash.h, and its two plain routines.

#include <array>
#include <cstdint>

#include "platform/rtl/ustring.h"
#include "report/export/crypto_hash.h"

namespace vgl {

class TfrxMD5 {
public:
    TfrxMD5() { Init(); }
    /// Count 0 and the initial chaining values.
    void Init();
    void Update(const void* chInput, std::size_t nInputLen);
    /// Pads, stores the 16-byte digest and clears the count, chaining values and buffer.
    void Finalize();
    /// The 16 digest bytes (valid after Finalize).
    const std::uint8_t* Digest() const { return FDigest.data(); }

private:
    TCryptoMD5 FHash;
    std::array<std::uint8_t, 16> FDigest{};
};

/// MD5 of 8-bit data as 32 lower-case hexadecimal digits, two per digest byte in byte order.
AnsiString MD5String(const RawByteString& data);
/// MD5 of a memory block into a 16-byte buffer.
void MD5Buf(const void* data, std::size_t size, std::uint8_t* digest);

} // namespace vgl
