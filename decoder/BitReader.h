// The decoder's bit reader: most significant bit first, bytes in stream
// order, loaded a byte at a time into a 32-bit accumulator. It never reads
// outside the buffer it was started on: past the end it loads zeros.
#pragma once

#include <cstddef>
#include <cstdint>

struct BitReader {
    const std::uint8_t* Base = nullptr;  // where reading started
    std::size_t Size = 0;                // readable bytes from Base
    std::size_t Pos = 0;                 // next byte to load
    std::uint32_t Accumulator = 0;
    int Bits = 0;                        // valid bits in the accumulator
    std::size_t Limit = 0;               // Overrun() once loading passes this

    void Start(const std::uint8_t* data, std::size_t size)
    {
        Base = data;
        Size = size;
        Pos = 0;
        Accumulator = 0;
        Bits = 0;
        Limit = size;
    }

    void Refill()
    {
        // Whole bytes until more than 24 bits are held: away from the end of
        // the buffer in one step, the same bytes as one at a time.
        const int bytes = Bits <= 24 ? (32 - Bits) / 8 : 0;
        if (bytes == 0)
            return;
        if (Pos + 4 > Size) {
            for (int i = 0; i < bytes; ++i) {
                const std::uint32_t byte = Pos < Size ? Base[Pos] : 0;
                ++Pos;
                Accumulator = (Accumulator << 8) | byte;
            }
        } else {
            const std::uint32_t next = (std::uint32_t{Base[Pos]} << 24) | (std::uint32_t{Base[Pos + 1]} << 16) |
                                       (std::uint32_t{Base[Pos + 2]} << 8) | Base[Pos + 3];
            Accumulator = bytes == 4 ? next : (Accumulator << (8 * bytes)) | (next >> (32 - 8 * bytes));
            Pos += static_cast<std::size_t>(bytes);
        }
        Bits += 8 * bytes;
    }
    void Ensure(int n)
    {
        if (Bits < n)
            Refill();
    }
    // n from 0 to 25.
    std::uint32_t GetBits(int n)
    {
        Ensure(n);
        return GetBitsNoRefill(n);
    }
    std::uint32_t GetBitsNoRefill(int n)
    {
        Bits -= n;
        return (Accumulator >> Bits) & ((std::uint32_t{1} << n) - 1);
    }
    std::uint32_t PeekBits(int n) const
    {
        return (Accumulator >> (Bits - n)) & ((std::uint32_t{1} << n) - 1);
    }
    std::uint32_t GetBit() { return GetBitsNoRefill(1); }
    void DropBits(int n) { Bits -= n; }
    void SkipBits(std::size_t n)
    {
        if (n > static_cast<std::size_t>(Bits)) {
            n -= static_cast<std::size_t>(Bits);
            Pos += n / 8;
            Accumulator = Pos < Size ? Base[Pos] : 0;
            ++Pos;
            Bits = 8;
            n %= 8;
        }
        Bits -= static_cast<int>(n);
    }
    std::size_t Consumed() const { return Pos * 8 - static_cast<std::size_t>(Bits); }
    void SetLimit(std::size_t limit) { Limit = limit; }
    bool Overrun() const { return Pos > Limit; }
};
