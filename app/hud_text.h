#pragma once
// The heads-up display's lines as text, apart from their drawing.
#include <string>
#include <vector>

struct HudValues {
    bool debugMode = false;
    float framesPerSecond = 0.0f;
    int opponentLaps = 0;
    int playerLap = 1;
    double playerSpeed = 0.0;  // length of the player's velocity, world units per step
    int lastCheckpoint = -1;
    int checkpointCount = 0;
    int bestLapTime = 0;
    int lastLapTime = 0;
};

struct HudLine {
    int offsetFromTop;  // the line is drawn at window height minus this
    std::string text;
};

// Lines in drawing order; the frame-rate line only in debug mode.
std::vector<HudLine> hudLines(const HudValues& values);

// Frame rate over windows of just over a second, from a millisecond clock.
struct FpsMeter {
    float value = 0.0f;
    int windowStart = 0;
};

// Updates the meter with the clock reading and the frames counted since the
// last update (reset to 0 when a new window starts); returns the rate shown.
float updateFramesPerSecond(FpsMeter& meter, int nowMs, int& frameCounter);
