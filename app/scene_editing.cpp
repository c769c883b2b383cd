#include "app/scene_editing.h"

#include <GL/glut.h>

#include <cstdio>
#include <utility>

#include "app/game_state.h"
#include "world/scene_edit.h"
#include "world/scene_writer.h"
#include "world/world.h"

namespace {

SceneFile theSceneFile;
SceneEdits theEdits;

constexpr unsigned char kBackspace = 8;

void say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

const char* nameOf(MadeKind kind) {
    switch (kind) {
        case MadeKind::Occluder: return "Occluder box";
        case MadeKind::Wall: return "Collision box";
        case MadeKind::Checkpoint: return "Checkpoint";
    }
    return "";
}

template <typename Record>
std::string described(const char* name, long long number_, const Record& r) {
    return std::string(name) + " " + std::to_string(number_) + ": centre (" + number(r.centre.x) + ", " +
           number(r.centre.y) + ", " + number(r.centre.z) + "), size " + number(r.size.x) + " x " +
           number(r.size.y) + " x " + number(r.size.z);
}

std::string describeLastMade(MadeKind kind) {
    switch (kind) {
        case MadeKind::Occluder: return described(nameOf(kind), theWorld.boxes.size() - 1, theWorld.boxes.back());
        case MadeKind::Wall:
            return described(nameOf(kind), theWorld.collisionBoxes.size() - 1, theWorld.collisionBoxes.back());
        case MadeKind::Checkpoint:
            return described(nameOf(kind), theWorld.checkpoints.back().number, theWorld.checkpoints.back());
    }
    return "";
}

// The points picked since the last thing made become it; on failure they stay for another try.
void make(MadeKind kind, char key) {
    std::string why;
    if (!makeFromPoints(theWorld, theEdits, kind, theWorld.pickedPoints, why)) {
        say(std::string(1, key) + ": nothing made: " + why);
        return;
    }
    theWorld.pickedPoints.clear();
    const char* more = kind == MadeKind::Checkpoint ? "" : " (Page Up / Page Down: its height)";
    say(describeLastMade(kind) + more);
}

void removeLast() {
    const std::string what = theEdits.made.empty() ? "" : describeLastMade(theEdits.made.back());
    if (!removeLastMade(theWorld, theEdits)) {
        say("Backspace: nothing made to remove");
        return;
    }
    say("Removed " + what);
}

void save() {
    std::string why;
    if (!saveEditedScene(theSceneFile, theWorld, why)) {
        say("S: scene not saved: " + why);
        return;
    }
    say("Scene saved to " + theSceneFile.path + " (the file as loaded is kept as " + theSceneFile.path + ".bak)");
}

}  // namespace

void startSceneEditing(const std::string& path, SceneLayout layout) {
    theSceneFile.path = path;
    theSceneFile.onDisk = layout.text;
    theSceneFile.loaded = std::move(layout);
}

void showEditingKeysOnce() {
    static bool shown = false;
    if (shown) return;
    shown = true;
    say("Building the scene (debug mode): a left click picks a table point; from the points picked since,\n"
        "  O makes an occluder box, W a collision box (wall), K the next checkpoint;\n"
        "  Page Up / Page Down raise / lower the box made last; Backspace removes what was made last;\n"
        "  S saves the scene (the file as loaded is kept as its name + .bak).");
}

bool editSceneOnKey(unsigned char key) {
    if (!theGame.debugMode) return false;
    switch (key) {
        case 'O':
        case 'o': make(MadeKind::Occluder, 'O'); return true;
        case 'W':
        case 'w': make(MadeKind::Wall, 'W'); return true;
        case 'K':
        case 'k': make(MadeKind::Checkpoint, 'K'); return true;
        case kBackspace: removeLast(); return true;
        case 'S':
        case 's': save(); return true;
        default: return false;
    }
}

bool editSceneOnSpecialKey(int key) {
    if (!theGame.debugMode || (key != GLUT_KEY_PAGE_UP && key != GLUT_KEY_PAGE_DOWN)) return false;
    const double by = key == GLUT_KEY_PAGE_UP ? kHeightStep : -kHeightStep;
    const std::optional<RaisedBox> box = raiseLastBox(theWorld, theEdits, by);
    if (!box) {
        say("Page Up / Page Down: no box made yet");
        return true;
    }
    say(std::string(nameOf(box->kind)) + " " + std::to_string(box->index) + ": height " + number(box->height));
    return true;
}
