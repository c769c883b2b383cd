#pragma once
// The game's entry points: start-up, the frame function and the input callbacks.
#include <string>

// Loads everything a race needs; ends the process on any failure.
void initialiseGame(const std::string& scenePath);
void prepareCars();

void runFrame();
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
