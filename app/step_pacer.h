#pragma once
// The race world steps at a fixed rate of wall time, so that it runs at the
// same speed on a 60 Hz screen, a 144 Hz one or without vertical sync. Each
// frame that draws the world takes the steps its wall time is worth: none
// when it came early, several when it took long, but at most a few, so that a
// stall (a hidden window) is not made up at once. A frame that does not draw
// the world (the marker lost) stops the clock: the world did not run then.
#include <cstdint>

inline constexpr int64_t kStepsPerSecond = 60;
inline constexpr int kMaxStepsPerFrame = 10;

struct StepPacer {
    bool started = false;
    int64_t originNanoseconds = 0;  // when the first step was taken
    int64_t stepsTaken = 0;         // counted from the origin, dropped ones included
};

// Steps due for a frame drawn at `nowNanoseconds` of a monotonic clock. The
// first call gives one step.
int stepsDue(StepPacer& pacer, int64_t nowNanoseconds);

// Steps for a race frame at `nowNanoseconds`: those due when it draws the
// world; none when it does not, and then the next frame that draws it takes
// one step and the clock starts again from it.
int stepsForFrame(StepPacer& pacer, int64_t nowNanoseconds, bool drawsWorld);
