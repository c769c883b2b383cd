#include "app/hud_text.h"

#include <cstdio>

namespace {

// Each line is formatted into a 40-character buffer, as the display has always done.
constexpr size_t kHudLineBuffer = 40;

template <typename... Args>
HudLine makeLine(int offset, const char* format, Args... args) {
    char buffer[kHudLineBuffer];
    std::snprintf(buffer, sizeof buffer, format, args...);
    return HudLine{offset, buffer};
}

}  // namespace

std::vector<HudLine> hudLines(const HudValues& v) {
    std::vector<HudLine> lines;
    if (v.debugMode)
        lines.push_back(makeLine(70, "FPS %.2lf (frame/sec)", static_cast<double>(v.framesPerSecond)));
    lines.push_back(makeLine(60, "Opponent Lap %lld / 10", static_cast<long long>(v.opponentLaps) + 1));
    lines.push_back(makeLine(50, "Lap %d / 10", v.playerLap));
    const float speed = static_cast<float>(v.playerSpeed);
    lines.push_back(makeLine(40, "Speed %.2f m/s", static_cast<double>(speed)));
    // Widened like the lap rules: a checkpoint numbered INT32_MAX must not overflow.
    const long long passed = static_cast<long long>(v.lastCheckpoint) + 1;
    lines.push_back(makeLine(30, "Checkpoint %lld/%d", passed, v.checkpointCount));
    lines.push_back(makeLine(20, "Best Time %d s", v.bestLapTime));
    lines.push_back(makeLine(10, "Last Time %d s", v.lastLapTime));
    return lines;
}

float updateFramesPerSecond(FpsMeter& meter, int nowMs, int& frameCounter) {
    if (meter.windowStart == 0) meter.windowStart = nowMs;
    const int elapsed = nowMs - meter.windowStart;
    if (elapsed > 1000) {
        meter.value = static_cast<float>(frameCounter * 1000.0 / elapsed);
        meter.windowStart = nowMs;
        frameCounter = 0;
    }
    return meter.value;
}
