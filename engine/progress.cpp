// The progress meters: the percentage rule and the total meter's step.
#include "engine/job.h"

namespace engine {

uint64_t CalcPercent(uint64_t done, uint64_t total) {
    // Under 100 bytes the divisor below would be 0: such a total is empty or full.
    if (total < 100)
        return done == 0 ? 0 : 100;
    // Dividing the total first keeps done * 100 from being formed.
    return done / (total / 100);
}

// The total meter is told only when its percent moves.
void Job::StepTotal(uint64_t n) {
    doneBytes_ += n;
    uint64_t before = CalcPercent(doneBytes_ - n, totalBytes_);
    uint64_t after = CalcPercent(doneBytes_, totalBytes_);
    if (before != after)
        SetMeter(Meter::kTotal, after);
}

}  // namespace engine
