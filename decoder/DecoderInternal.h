// State and routines shared by the parts of the decoder.
#pragma once

#include <cstdint>

#include "decoder/BitReader.h"
#include "decoder/Mpeg.h"

// Sub-band samples of one frame, in units of the 16-bit output. Layers I and
// II: up to 36 slots of 64 values; Layer III: per-channel blocks of 18 x 32.
// The tail is slack that no decoder reads.
inline constexpr int SubbandValues = 2304;
extern float SubbandBuffer[SubbandValues + 128];

extern BitReader Bits;
extern DecoderOptions Options;

// samples, pcm, slot count (Layers I/II) or channel (Layer III).
using OutputRoutine = void (*)(const float* samples, std::uint8_t* pcm, std::int32_t third);
extern OutputRoutine Output;

// The installed frame routine: request, frame, PCM destination.
using FrameRoutine = void (*)(const DecodeRequest* request, const std::uint8_t* frame, std::uint8_t* pcm);

// Number of sub-bands decoded for a stream at `sampleRate`.
int SubbandLimit(int sampleRate);
// Bytes readable from a frame's first byte: the frame itself (the decoders
// never read past it).
extern std::int32_t CurrentFrameBytes;

// Synthesis.
void BuildSynthesisTables();
void ResetSynthesis();
// Layer I/II output: by rate shift, 8-bit flag, and channel arrangement.
OutputRoutine SelectFrameOutput(const FrameHeader* header);
// Layer III output: mono when `mono`, else the per-channel stereo routine.
OutputRoutine SelectGranuleOutput(bool mono);
// Layer III output of both channels' granules at once (left, right, pcm):
// the same bytes as the per-channel routine on each.
using PairOutputRoutine = void (*)(const float* left, const float* right, std::uint8_t* pcm);
PairOutputRoutine SelectGranulePairOutput();
extern PairOutputRoutine OutputPair;

// Layers I and II.
void BuildLayer12Tables();
// Reads Layer II sample codes with the processor's one-step shifts (BMI2)
// when `wide` and it has them; returns whether it does.
bool UseWideLayer2Reads(bool wide);
int SetupLayer1(const FrameHeader* header);
int SetupLayer2(const FrameHeader* header);
void DecodeLayer1Frame(const DecodeRequest* request, const std::uint8_t* frame, std::uint8_t* pcm);
void DecodeLayer2Frame(const DecodeRequest* request, const std::uint8_t* frame, std::uint8_t* pcm);

// Stream sample rate tables, for the set-ups.
extern const std::int32_t SampleRates[3][4];
extern const std::int32_t BitRates[2][3][16];
