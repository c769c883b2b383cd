#include "world/keys.h"

KeyTable theKeys;

static bool isValidCode(int code) { return code >= 0 && code < kKeyTableSize; }

void setKeyHeld(KeyTable& keys, int code, bool held)
{
    if (isValidCode(code)) {
        keys.held[code] = held ? 1 : 0;
    }
}

bool isKeyHeld(const KeyTable& keys, int code) { return isValidCode(code) && keys.held[code] != 0; }

void releaseAllKeys(KeyTable& keys) { keys = KeyTable{}; }
