#pragma once
// Switching between window-pixel drawing and drawing in the camera's view,
// and the main loop with its one-shot first display.

void set2DMode();
void set3DMode();
void loadIdentityModelview();

using MouseCallback = void (*)(int button, int state, int x, int y);
using KeyboardCallback = void (*)(unsigned char key, int x, int y);
using IdleCallback = void (*)();

void clearMainLoopCallbacks();
[[noreturn]] void startMainLoop(MouseCallback mouse, KeyboardCallback keyboard, IdleCallback idle);
// The same with a display callback (exposed window) apart from the idle one.
[[noreturn]] void startMainLoop(MouseCallback mouse, KeyboardCallback keyboard, IdleCallback display, IdleCallback idle);
