#pragma once
// Message digests behind one streaming interface (TCryptoHash) and the MD5 of RFC 1321
// (TCryptoMD5). The PDF export identifies equal image data by its MD5 digest.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace vgl {

class TStream;

/// The MD5 compression function over one 64-byte block (RFC 1321); shared by every MD5 class.
void MD5Compress(std::array<std::uint32_t, 4>& state, const std::uint8_t* block);
/// The initial chaining values of RFC 1321.
std::array<std::uint32_t, 4> MD5InitialState();

class TCryptoHash {
public:
    virtual ~TCryptoHash() = default;

    /// Adds one byte, a block, or the whole of a stream (read from its start in chunk-sized
    /// pieces until a read returns nothing). Every full chunk is compressed at once.
    void Push(std::uint8_t b);
    void Push(const void* Data, std::size_t Size);
    void Push(TStream& Stream);
    /// Forgets what was pushed and restores the initial state.
    virtual void Reset();
    /// Finishes the hash and copies the digest. `Size` must equal DigestSize (EAssertionFailed
    /// otherwise). The object is not reset: a new digest needs Reset or a new object.
    void GetDigest(void* Digest, std::size_t Size);
    virtual std::size_t DigestSize() const = 0;
    std::size_t ChunkSize() const { return FChunk.size(); }

protected:
    explicit TCryptoHash(std::size_t chunkSize) : FChunk(chunkSize) {}
    virtual void Compress(const std::uint8_t* chunk) = 0;
    virtual void Finish() = 0;
    virtual void CopyDigest(std::uint8_t* digest) const = 0;
    /// Appends 0x80 and zeros until a length field of `width` bytes fills the chunk, writes the
    /// number of bits pushed (all 64 bits of it) in the given byte order and compresses.
    void Pad(std::size_t width, bool bigEndian);

    std::vector<std::uint8_t> FChunk;
    std::uint64_t FLength = 0;
};

class TCryptoMD5 : public TCryptoHash {
public:
    TCryptoMD5() : TCryptoHash(64) { Reset(); }
    void Reset() override;
    std::size_t DigestSize() const override { return 16; }

protected:
    void Compress(const std::uint8_t* chunk) override { MD5Compress(FState, chunk); }
    void Finish() override { Pad(8, false); }
    void CopyDigest(std::uint8_t* digest) const override;

private:
    std::array<std::uint32_t, 4> FState{};
};

} // namespace vgl
