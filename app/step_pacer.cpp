#include "app/step_pacer.h"

int stepsDue(StepPacer& pacer, int64_t nowNanoseconds) {
    if (!pacer.started) {
        pacer.started = true;
        pacer.originNanoseconds = nowNanoseconds;
        pacer.stepsTaken = 1;
        return 1;
    }
    constexpr int64_t kNanoseconds = 1000000000;
    const int64_t elapsed = nowNanoseconds > pacer.originNanoseconds ? nowNanoseconds - pacer.originNanoseconds : 0;
    const int64_t due =
        1 + elapsed / kNanoseconds * kStepsPerSecond + elapsed % kNanoseconds * kStepsPerSecond / kNanoseconds;
    int64_t steps = due - pacer.stepsTaken;
    if (steps <= 0) return 0;
    if (steps > kMaxStepsPerFrame) steps = kMaxStepsPerFrame;
    pacer.stepsTaken = due;  // time beyond the cap is dropped
    return static_cast<int>(steps);
}

int stepsForFrame(StepPacer& pacer, int64_t nowNanoseconds, bool drawsWorld) {
    if (drawsWorld) return stepsDue(pacer, nowNanoseconds);
    pacer.started = false;
    return 0;
}
