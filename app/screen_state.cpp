#include "app/screen_state.h"

ScreenState screenStateOf(bool showTitle, int playerLap, int opponentLaps) {
    if (showTitle) return ScreenState::Title;
    if (playerLap == kLapsToWin) return ScreenState::Won;
    if (opponentLaps + 1 == kLapsToWin) return ScreenState::Lost;
    return ScreenState::Race;
}

int chooseMarker(const DetectedMarker* markers, int count, int patternId) {
    int chosen = -1;
    for (int i = 0; i < count; ++i) {
        if (markers[i].id != patternId) continue;
        if (chosen < 0 || markers[i].confidence > markers[chosen].confidence) chosen = i;
    }
    return chosen;
}
