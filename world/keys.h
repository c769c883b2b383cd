#pragma once

#include <cstdint>

// Held-key table indexed by GLUT special-key code; 1 = held.
inline constexpr int kKeyTableSize = 110;
inline constexpr int kKeyLeft = 100;
inline constexpr int kKeyUp = 101;
inline constexpr int kKeyRight = 102;
inline constexpr int kKeyDown = 103;

struct KeyTable {
    int32_t held[kKeyTableSize] = {};
};

// The table written by the game's input callbacks.
extern KeyTable theKeys;

// Codes outside 0..109 are ignored.
void setKeyHeld(KeyTable& keys, int code, bool held);
bool isKeyHeld(const KeyTable& keys, int code);
void releaseAllKeys(KeyTable& keys);
