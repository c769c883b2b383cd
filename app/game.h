#pragma once
// The game's entry points: start-up, the frame function and the input callbacks.
#include <string>

// Loads everything a race needs; ends the process on any failure.
void initialiseGame(const std::string& scenePath);
void prepareCars();

void runFrame();
// The main loop's idle work: runFrame when there is something new to show (a video frame, a world
// step, another screen), at most 60 times a second; otherwise a short sleep. With --redraw-always,
// runFrame itself.
void runIdle();
void drawRaceView();
void shutdownAndRelease();

void onSpecialKeyDown(int key, int x, int y);
void onSpecialKeyUp(int key, int x, int y);
void onKeyDown(unsigned char key, int x, int y);
void onKeyUp(unsigned char key, int x, int y);
void onMouse(int button, int state, int x, int y);
void onVisibility(int state);

void drawHudText(const char* text, float x, float y);
void drawHud();
