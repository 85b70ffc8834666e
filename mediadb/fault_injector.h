// Faults the control command arms for the next replies of the media channel: drop, delay, cut to
// K bytes, replace the status, replace the echoed token. Each armed fault applies to the next N
// replies, then disarms. Thread-safe (one mutex).
#ifndef ZT_MEDIADB_FAULT_INJECTOR_H
#define ZT_MEDIADB_FAULT_INJECTOR_H

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "mediadb/record_encoder.h"

class FaultInjector {
public:
    // Arms a fault from control words ("drop N", "delay N MS", "cut K [N]", "status S [N]",
    // "token T [N]", "clear"); the error says what was wrong with them.
    Status arm(const std::vector<std::string> &words);
    // Applies the armed faults to one reply (frames of one request); false: drop it. A delay is
    // left in *delayMs for the caller to wait out, so that no thread sleeps on it.
    bool apply(std::vector<Frame> *reply, uint32_t *delayMs);

private:
    struct Armed {
        uint32_t remaining = 0;
        uint32_t value = 0;
    };
    enum Kind { Drop, Delay, Cut, StatusWord, Token, KindCount };
    bool take(Kind k, uint32_t *value);

    std::mutex mLock;
    Armed mArmed[KindCount];
};

#endif
