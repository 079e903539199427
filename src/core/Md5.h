// MD5 (RFC 1321). Feed bytes in any number of pieces, finalise once, read the hexadecimal text.
#pragma once

#include <array>
#include <cstdint>
#include <string>

class Md5Digest
{
public:
    Md5Digest() noexcept;

    // Adds `length` bytes; ignored once the digest is finalised.
    void Update(const void* data, uint32_t length) noexcept;
    // Pads and closes the digest; a second call has no effect.
    void Finalize() noexcept;
    // The 16 digest bytes as 32 lowercase hexadecimal digits; empty until finalised.
    [[nodiscard]] std::string HexText() const;

private:
    void Transform(const uint8_t block[64]) noexcept;

    std::array<uint32_t, 4> state;
    uint64_t bitCount = 0;
    std::array<uint8_t, 64> buffer{};
    std::array<uint8_t, 16> digest{};
    bool finalized = false;
};
