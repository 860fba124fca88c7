#include "platform/Faults.h"

#ifdef TARVEL_FAULTS

#include <atomic>
#include <cstdlib>
#include <string>

namespace {

const char* const FaultNames[] = {"pcm-ring", "play-thread", "device", "buffer", "write"};
static_assert(sizeof FaultNames / sizeof FaultNames[0] == static_cast<int>(Fault::Count));

// How many times each fault is still to happen; -1 is every time.
std::atomic<int> Remaining[static_cast<int>(Fault::Count)];
// Set once the faults were given by SetFaults rather than the environment.
std::atomic<bool> Given{false};

void Parse(const char* text)
{
    for (auto& count : Remaining)
        count = 0;
    std::string rest = text != nullptr ? text : "";
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        std::string item = rest.substr(0, comma);
        rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
        int count = -1;
        const std::size_t colon = item.find(':');
        if (colon != std::string::npos) {
            count = std::atoi(item.c_str() + colon + 1);
            item.resize(colon);
        }
        for (int i = 0; i < static_cast<int>(Fault::Count); ++i)
            if (item == FaultNames[i])
                Remaining[i] = count;
    }
}

bool ReadEnvironment()
{
    if (!Given) {
        Parse(std::getenv("TARVEL_FAULTS"));
    }
    return true;
}

}  // namespace

void SetFaults(const char* text)
{
    Given = true;
    Parse(text);
}

bool FaultHappens(Fault fault)
{
    static const bool environmentRead = ReadEnvironment();
    (void)environmentRead;
    std::atomic<int>& count = Remaining[static_cast<int>(fault)];
    int now = count.load();
    while (now != 0) {
        if (now < 0 || count.compare_exchange_weak(now, now - 1))
            return true;
    }
    return false;
}

#endif
