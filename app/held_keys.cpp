#include "app/held_keys.h"

KeyRepeatFilter theKeyFilter;

namespace {

bool isValidCode(int code) { return code >= 0 && code < kKeyTableSize; }

}  // namespace

void pressKey(KeyRepeatFilter& filter, KeyTable& keys, int code) {
    if (!isValidCode(code)) return;
    filter.releasePending[code] = false;
    setKeyHeld(keys, code, true);
}

void releaseKey(KeyRepeatFilter& filter, int code) {
    if (isValidCode(code)) filter.releasePending[code] = true;
}

bool isRepeatedPress(KeyRepeatFilter& filter, unsigned char character) {
    const bool repeated = filter.characterReleased[character];
    filter.characterReleased[character] = false;
    return repeated;
}

void releaseCharacter(KeyRepeatFilter& filter, unsigned char character) {
    filter.characterReleased[character] = true;
}

void settleReleases(KeyRepeatFilter& filter, KeyTable& keys) {
    for (int code = 0; code < kKeyTableSize; ++code) {
        if (!filter.releasePending[code]) continue;
        filter.releasePending[code] = false;
        setKeyHeld(keys, code, false);
    }
    for (bool& released : filter.characterReleased) released = false;
}
