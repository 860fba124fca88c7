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
        while (Bits <= 24) {
            std::uint32_t byte = Pos < Size ? Base[Pos] : 0;
            ++Pos;
            Accumulator = (Accumulator << 8) | byte;
            Bits += 8;
        }
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
