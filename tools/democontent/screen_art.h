#pragma once
#include "canvas.h"

// The three full-window pictures: title, won and lost. All 640 x 480.
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;

Canvas paintTitleScreen();
Canvas paintWonScreen();
Canvas paintLostScreen();
