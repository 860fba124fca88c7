#include "decoder/Layer12Tables.h"

const Layer2ClassInfo Layer2Class[18] = {
    {0, 0},       {3, 5},       {5, 7},       {7, 9},       {9, 10},      {15, 12},
    {31, 15},     {63, 18},     {127, 21},    {255, 24},    {511, 27},    {1023, 30},
    {2047, 33},   {4095, 36},   {8191, 39},   {16383, 42},  {32767, 45},  {65535, 48},
};

const std::int32_t Layer2AllocWidths[4] = {4, 4, 3, 2};

namespace {

constexpr Layer2AllocGroup HighGroup0(int subbands)
{
    return {subbands, {0, 1, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}};
}
constexpr Layer2AllocGroup HighGroup1 = {8, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 17}};
constexpr Layer2AllocGroup HighGroup2 = {12, {0, 1, 2, 3, 4, 5, 6, 17}};
constexpr Layer2AllocGroup HighGroup3(int subbands)
{
    return {subbands, {0, 1, 2, 17}};
}
constexpr Layer2AllocGroup LowGroup0(int subbands)
{
    return {subbands, {0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}};
}
constexpr Layer2AllocGroup LowGroup2(int subbands)
{
    return {subbands, {0, 1, 2, 4, 5, 6, 7, 8}};
}
constexpr Layer2AllocGroup Empty = {0, {0}};

}  // namespace

const Layer2AllocTable Layer2AllocTables[5] = {
    {{HighGroup0(3), HighGroup1, HighGroup2, HighGroup3(4)}},
    {{HighGroup0(3), HighGroup1, HighGroup2, HighGroup3(7)}},
    {{LowGroup0(2), Empty, LowGroup2(6), Empty}},
    {{LowGroup0(2), Empty, LowGroup2(10), Empty}},
    {{{4, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}}, Empty, LowGroup2(7), {19, {0, 1, 2, 4}}}},
};
