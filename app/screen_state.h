#pragma once
// Which picture a frame shows, and which detected marker the race follows.
#include "tracking/marker.h"

enum class ScreenState { Title, Won, Lost, Race };

inline constexpr int kLapsToWin = 10;

// First match wins: title, then won, then lost.
ScreenState screenStateOf(bool showTitle, int playerLap, int opponentLaps);

// Index of the marker with the scene's pattern id and the highest confidence
// (the first of equals), or -1 when none has that id.
int chooseMarker(const DetectedMarker* markers, int count, int patternId);
