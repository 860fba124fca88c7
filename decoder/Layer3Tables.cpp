// Layer III tables: band boundaries, pre-emphasis, scale-factor lengths and
// the Huffman lookup tables built from the standard's codes.
#include <algorithm>
#include <cstring>
#include <vector>

#include "decoder/Layer3.h"

struct HuffmanCode {
    std::int32_t Table, X, Y, Length;
    std::uint32_t Code;
};

// The band boundaries are declared in the header (external); the code lists
// stay private to this file.
#include "decoder/Layer3Tables.inc"

namespace {

// Lookup levels. An entry is either a leaf, (length within the level << 16) |
// (x << 8) | y, or a link, 0x80000000 | (width << 24) | offset of the next
// level from the start of the table.
constexpr std::uint32_t LinkFlag = 0x80000000u;

// Fills the level of `width` bits at `base` with the codes whose first
// `consumed` bits equal `prefix`.
void BuildLevel(std::vector<std::uint32_t>& table, std::size_t base, int width, const std::vector<HuffmanCode>& codes,
                std::uint32_t prefix, int consumed)
{
    // Codes that end within this level.
    for (const HuffmanCode& c : codes) {
        if (c.Length <= consumed || (c.Code >> (c.Length - consumed)) != prefix)
            continue;
        const int rest = c.Length - consumed;
        if (rest > width)
            continue;
        const std::uint32_t bits = c.Code & ((1u << rest) - 1);
        const std::uint32_t first = bits << (width - rest);
        for (std::uint32_t i = 0; i < (1u << (width - rest)); ++i)
            table[base + first + i] = (static_cast<std::uint32_t>(rest) << 16) |
                                      (static_cast<std::uint32_t>(c.X) << 8) | static_cast<std::uint32_t>(c.Y);
    }
    // Codes longer than this level: the longest rest under each leading
    // `width` bits (one pass over the codes), then one link per such bits.
    std::vector<int> longest(std::size_t{1} << width, 0);
    for (const HuffmanCode& c : codes) {
        const int rest = c.Length - consumed - width;
        if (rest <= 0 || (c.Code >> (c.Length - consumed)) != prefix)
            continue;
        int& most = longest[(c.Code >> rest) & ((1u << width) - 1)];
        most = std::max(most, rest);
    }
    for (std::uint32_t index = 0; index < (1u << width); ++index) {
        if (longest[index] == 0)
            continue;
        const int nextWidth = longest[index] < 6 ? longest[index] : 6;
        const std::size_t at = table.size();
        table.resize(at + (1u << nextWidth), 0);
        table[base + index] = LinkFlag | (static_cast<std::uint32_t>(nextWidth) << 24) | static_cast<std::uint32_t>(at);
        BuildLevel(table, at, nextWidth, codes, (prefix << width) | index, consumed + width);
    }
}

std::vector<std::uint32_t> Lookup[34];
std::vector<std::uint16_t> DirectLookup[16];

// The pairs of `codes` whose code and signs fit in DirectPairBits bits, by
// every way those bits can go on.
void BuildDirect(std::vector<std::uint16_t>& direct, const std::vector<HuffmanCode>& codes)
{
    direct.assign(1u << DirectPairBits, 0);
    for (const HuffmanCode& c : codes) {
        const int xSign = c.X != 0 ? 1 : 0, ySign = c.Y != 0 ? 1 : 0;
        const int taken = c.Length + xSign + ySign;
        if (taken > DirectPairBits)
            continue;
        for (int signs = 0; signs < (1 << (xSign + ySign)); ++signs) {
            // The x sign comes first, then the y sign.
            const bool xNegative = xSign != 0 && ((signs >> ySign) & 1) != 0;
            const bool yNegative = ySign != 0 && (signs & 1) != 0;
            const int x = xNegative ? -c.X : c.X, y = yNegative ? -c.Y : c.Y;
            const std::uint32_t prefix = (c.Code << (xSign + ySign)) | static_cast<std::uint32_t>(signs);
            const std::uint32_t first = prefix << (DirectPairBits - taken);
            for (std::uint32_t i = 0; i < (1u << (DirectPairBits - taken)); ++i)
                direct[first + i] = static_cast<std::uint16_t>(((x + 15) << 10) | ((y + 15) << 5) | taken);
        }
    }
}

}  // namespace

const std::int32_t Pretab[2][22] = {
    {0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0},
};

const std::int32_t Slen[16][2] = {{0, 0}, {0, 1}, {0, 2}, {0, 3}, {3, 0}, {1, 1}, {1, 2}, {1, 3},
                                  {2, 1}, {2, 2}, {2, 3}, {3, 1}, {3, 2}, {3, 3}, {4, 2}, {4, 3}};

// By row and block kind (long, short, mixed); short counts in bands, the
// mixed kind starting with its six long bands.
const std::int32_t LsfBandCounts[6][3][4] = {
    {{6, 5, 5, 5}, {3, 3, 3, 3}, {6, 3, 3, 3}},
    {{6, 5, 7, 3}, {3, 3, 4, 2}, {6, 3, 4, 2}},
    {{11, 10, 0, 0}, {6, 6, 0, 0}, {6, 3, 6, 0}},
    {{7, 7, 7, 0}, {4, 4, 4, 0}, {6, 5, 4, 0}},
    {{6, 6, 6, 3}, {4, 3, 3, 2}, {6, 4, 3, 2}},
    {{8, 8, 5, 0}, {5, 4, 3, 0}, {6, 6, 3, 0}},
};

HuffmanDescriptor HuffmanTables[32];
std::uint8_t Count1TableA[64];
std::uint16_t Count1Direct[2][1024];

void BuildLayer3Tables()
{
    // Root widths by code table.
    static const int rootWidth[25] = {0, 3, 6, 6, 0, 8, 7, 6, 8, 6, 8, 8, 7, 6, 0, 8, 8, 0, 0, 0, 0, 0, 0, 0, 9};
    for (int t = 1; t <= 24; ++t) {
        if (rootWidth[t] == 0)
            continue;
        std::vector<HuffmanCode> codes;
        for (const HuffmanCode& c : HuffmanPairCodes) {
            if (c.Table == t)
                codes.push_back(c);
        }
        std::vector<std::uint32_t>& table = Lookup[t];
        table.assign(1u << rootWidth[t], 0);
        BuildLevel(table, 0, rootWidth[t], codes, 0, 0);
        // The root level's own width heads the table's first entry slot.
        table.insert(table.begin(), static_cast<std::uint32_t>(rootWidth[t]));
        for (std::size_t i = 1; i < table.size(); ++i) {
            if (table[i] & LinkFlag)
                table[i] += 1;  // offsets now count the head
        }
        if (t < 16)
            BuildDirect(DirectLookup[t], codes);
    }
    static const int linbits[32] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    1, 2, 3, 4, 6, 8, 10, 13, 4, 5, 6, 7, 8, 9, 11, 13};
    for (int s = 0; s < 32; ++s) {
        const int t = s < 16 ? s : s < 24 ? 16 : 24;
        HuffmanTables[s].Table = Lookup[t].empty() ? nullptr : Lookup[t].data();
        HuffmanTables[s].Linbits = linbits[s];
        HuffmanTables[s].Direct = linbits[s] == 0 && !DirectLookup[t].empty() ? DirectLookup[t].data() : nullptr;
    }
    for (const HuffmanCode& c : HuffmanQuadCodes) {
        if (c.Table != 0)
            continue;
        const std::uint32_t first = c.Code << (6 - c.Length);
        for (std::uint32_t i = 0; i < (1u << (6 - c.Length)); ++i)
            Count1TableA[first + i] = static_cast<std::uint8_t>((c.Length << 4) | c.X);
    }
    for (int table = 0; table < 2; ++table) {
        const int width = table == 0 ? 10 : 8;
        for (int index = 0; index < (1 << width); ++index) {
            int taken, flags;
            if (table == 0) {
                const std::uint8_t e = Count1TableA[index >> 4];
                taken = e >> 4;
                flags = e & 15;
            } else {
                taken = 4;
                flags = (index >> 4) ^ 15;
            }
            int entry = flags << 12;
            for (int i = 0; i < 4; ++i) {
                int v = (flags >> (3 - i)) & 1;
                if (v != 0 && ((index >> (width - 1 - taken++)) & 1) != 0)
                    v = -1;
                entry |= (v + 1) << (4 + 2 * i);
            }
            Count1Direct[table][index] = static_cast<std::uint16_t>(entry | taken);
        }
    }
    BuildLayer3ReconstructionTables();
}
