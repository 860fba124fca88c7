// Faults that a test build makes on request, so that the program's answers
// to a start that fails, a sound device that cannot be opened and a buffer
// the device refuses can be seen in the real program. The environment
// variable TARVEL_FAULTS names them, separated by commas, each with an
// optional count ("device:2" refuses the next two opens); without a count a
// fault happens every time. A build without tests reads nothing.
#pragma once

enum class Fault {
    PcmRing,     // "pcm-ring": the analyser's ring cannot be allocated
    PlayThread,  // "play-thread": the play thread cannot be started
    Device,      // "device": the wave device cannot be opened
    Buffer,      // "buffer": the last of the wave buffers cannot be allocated
    Write,       // "write": the device refuses a buffer
    Count
};

#ifdef TARVEL_FAULTS
// Whether `fault` happens now; each time it does, one of its count goes.
bool FaultHappens(Fault fault);
// The faults from a text of the form TARVEL_FAULTS takes (tests).
void SetFaults(const char* text);
#else
constexpr bool FaultHappens(Fault)
{
    return false;
}
#endif
