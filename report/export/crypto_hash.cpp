#include "report/export/crypto_hash.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace vgl {

namespace {

constexpr std::uint32_t Rotl(std::uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

// The 64 constants: floor(|sin(i + 1)| × 2^32).
const std::array<std::uint32_t, 64>& SineTable() {
    static const std::array<std::uint32_t, 64> table = [] {
        std::array<std::uint32_t, 64> t{};
        for (int i = 0; i < 64; ++i)
            t[i] = std::uint32_t(std::floor(std::fabs(std::sin(double(i + 1))) * 4294967296.0));
        return t;
    }();
    return table;
}

} // namespace

std::array<std::uint32_t, 4> MD5InitialState() {
    return {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u};
}

namespace {

// One of the 64 steps, with everything that depends on the step number known when compiling:
// step I updates the word that plays `a` in it, and the roles move one word on per step.
template <int I> inline void MD5Step(std::uint32_t (&v)[4], const std::uint32_t* m, const std::uint32_t* k) {
    constexpr int round = I / 16;
    constexpr int shifts[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
    constexpr int g = round == 0 ? I : round == 1 ? (5 * I + 1) % 16 : round == 2 ? (3 * I + 5) % 16 : (7 * I) % 16;
    std::uint32_t& a = v[(4 - I % 4) % 4];
    const std::uint32_t b = v[(5 - I % 4) % 4], c = v[(6 - I % 4) % 4], d = v[(7 - I % 4) % 4];
    std::uint32_t f;
    if constexpr (round == 0)
        f = (b & c) | (~b & d);
    else if constexpr (round == 1)
        f = (d & b) | (~d & c);
    else if constexpr (round == 2)
        f = b ^ c ^ d;
    else
        f = c ^ (b | ~d);
    a = b + Rotl(a + f + k[I] + m[g], shifts[round][I % 4]);
}

template <std::size_t... I>
inline void MD5Steps(std::uint32_t (&v)[4], const std::uint32_t* m, const std::uint32_t* k, std::index_sequence<I...>) {
    (MD5Step<int(I)>(v, m, k), ...);
}

} // namespace

void MD5Compress(std::array<std::uint32_t, 4>& state, const std::uint8_t* block) {
    const auto& k = SineTable();
    std::uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = std::uint32_t(block[4 * i]) | (std::uint32_t(block[4 * i + 1]) << 8) |
               (std::uint32_t(block[4 * i + 2]) << 16) | (std::uint32_t(block[4 * i + 3]) << 24);
    std::uint32_t v[4] = {state[0], state[1], state[2], state[3]};
    MD5Steps(v, m, k.data(), std::make_index_sequence<64>{});
    state[0] += v[0];
    state[1] += v[1];
    state[2] += v[2];
    state[3] += v[3];
}

void TCryptoHash::Push(std::uint8_t b) {
    FChunk[FLength % FChunk.size()] = b;
    ++FLength;
    if (FLength % FChunk.size() == 0)
        Compress(FChunk.data());
}

void TCryptoHash::Push(const void* Data, std::size_t Size) {
    const auto* p = static_cast<const std::uint8_t*>(Data);
    const std::size_t chunk = FChunk.size();
    while (Size > 0) {
        const std::size_t used = FLength % chunk;
        if (used == 0 && Size >= chunk) {
            Compress(p); // whole chunks straight from the input
            p += chunk;
            Size -= chunk;
            FLength += chunk;
            continue;
        }
        const std::size_t n = std::min(Size, chunk - used);
        std::memcpy(FChunk.data() + used, p, n);
        p += n;
        Size -= n;
        FLength += n;
        if (FLength % chunk == 0)
            Compress(FChunk.data());
    }
}

void TCryptoHash::Push(TStream& Stream) {
    Stream.SetPosition(0);
    std::vector<std::uint8_t> buffer(FChunk.size());
    for (;;) {
        const std::int64_t n = Stream.Read(buffer.data(), std::int64_t(buffer.size()));
        if (n <= 0)
            break;
        Push(buffer.data(), std::size_t(n));
    }
}

void TCryptoHash::Reset() {
    FLength = 0;
    std::fill(FChunk.begin(), FChunk.end(), 0);
}

void TCryptoHash::GetDigest(void* Digest, std::size_t Size) {
    if (Size != DigestSize())
        throw EAssertionFailed(u"Digest size differs from the hash's digest size");
    Finish();
    CopyDigest(static_cast<std::uint8_t*>(Digest));
}

void TCryptoHash::Pad(std::size_t width, bool bigEndian) {
    const std::uint64_t bits = FLength * 8;
    const std::size_t chunk = FChunk.size();
    Push(std::uint8_t(0x80));
    while (FLength % chunk != chunk - width)
        Push(std::uint8_t(0));
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t shift = bigEndian ? width - 1 - i : i;
        Push(std::uint8_t(shift < 8 ? bits >> (8 * shift) : 0));
    }
}

void TCryptoMD5::Reset() {
    TCryptoHash::Reset();
    FState = MD5InitialState();
}

void TCryptoMD5::CopyDigest(std::uint8_t* digest) const {
    for (int i = 0; i < 16; ++i)
        digest[i] = std::uint8_t(FState[i / 4] >> (8 * (i % 4)));
}

} // namespace vgl
