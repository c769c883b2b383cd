#pragma once
// Keys with the keyboard's auto-repeat told apart. Auto-repeat stays on for
// every key, so that + and - repeat while held; a held key then arrives as a
// release and a new press in the same batch of window events. So a release
// takes effect only when the frame after its batch begins, and a press that
// follows a release of the same key before then is the keyboard's repeat:
// held arrow keys stay held, and other keys can ignore their repeats.
#include "world/keys.h"

struct KeyRepeatFilter {
    bool releasePending[kKeyTableSize] = {};  // arrow keys and the other special keys
    bool characterReleased[256] = {};
};

// Special keys: codes outside 0..109 are ignored, as by the key table.
void pressKey(KeyRepeatFilter& filter, KeyTable& keys, int code);
void releaseKey(KeyRepeatFilter& filter, int code);

// Character keys: whether a press is the keyboard repeating a held key.
bool isRepeatedPress(KeyRepeatFilter& filter, unsigned char character);
void releaseCharacter(KeyRepeatFilter& filter, unsigned char character);

// Applies the releases that no press followed; called as a frame begins.
void settleReleases(KeyRepeatFilter& filter, KeyTable& keys);

// The filter of the running game.
extern KeyRepeatFilter theKeyFilter;
