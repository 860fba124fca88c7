// Layer I and Layer II tables.
#pragma once

#include <cstdint>

struct Layer2ClassInfo {
    std::int32_t Levels;       // quantisation levels (0: nothing transmitted)
    std::int32_t GranuleBits;  // bits of one granule of three samples
};
// By class 0..17.
extern const Layer2ClassInfo Layer2Class[18];

struct Layer2AllocGroup {
    std::int32_t Subbands;
    std::uint8_t Classes[16];  // class by allocation code
};
struct Layer2AllocTable {
    Layer2AllocGroup Groups[4];
};
// Tables 0-3 for MPEG-1 (chosen by sample rate, bit rate and mode), 4 for
// the low sampling frequencies.
extern const Layer2AllocTable Layer2AllocTables[5];
// Width of the allocation field of each group.
extern const std::int32_t Layer2AllocWidths[4];

// The table a stream of this header uses, or -1 when its bit rate and mode
// have none.
struct FrameHeader;
int Layer2TableFor(const FrameHeader* header);

extern float ScaleFactorTable[64];
extern float Layer2LevelFactor[18];
extern float Layer1LevelFactor[16];
// The grouped classes' value triples by code, one table after the other:
// 3 levels (32 codes), 5 levels (128 codes) and 9 levels (1024 codes).
extern std::int16_t GroupValues[32 + 128 + 1024][3];
inline std::int16_t (*const GroupTable3)[3] = GroupValues;
inline std::int16_t (*const GroupTable5)[3] = GroupValues + 32;
inline std::int16_t (*const GroupTable9)[3] = GroupValues + 32 + 128;
