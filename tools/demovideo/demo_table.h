#pragma once
// The demo table in one place: the printed track mat with its markers, the
// walls, the real objects standing on the table, the checkpoint gates, the
// cars, the opponent's route and the camera's orbit. The demo scene file, the
// mat file, the printable mat and the demo video are all made from it, so
// they cannot disagree.

#include <string>
#include <vector>

struct TableBox {
    double centre[3];
    double size[3];  // full edge lengths
};

// What a real object looks like; its shape is always its box.
enum class ObjectLook { Carton, BookStack, TeaTin };

struct TableObject {
    ObjectLook look;
    TableBox box;
};

struct Gate {
    int number;
    TableBox zone;
};

struct RouteStop {
    double x, y, speed;
};

struct CarPlacement {
    std::string model, texture;
    double position[3];
    double scale[3];
    double radius, rotation, mass;
};

// The printed road: a rectangular ring between the island around the middle
// marker and the outer barrier.
struct TrackMat {
    double islandHalf[2];     // outer edge of the island's barrier
    double islandBarrier;     // its width
    double roadOuterHalf[2];  // inner edge of the outer barrier
    double outerBarrier;      // its width
    double sheetHalf[2];      // the printed sheet
    double paperMargin;       // white paper around each marker
};

// A marker printed on the mat, upright (its picture's top towards +y).
struct TableMarker {
    std::string picture;  // in the demo's marker folder
    std::string pattern;  // as the mat file names it (relative to the mat file)
    double centre[2];
    double width;  // the whole square, black border included
};

struct OrbitSettings {
    double seconds = 20.0;
    double distance = 410.0;        // mean distance from the look-at point
    double distanceSwing = 35.0;    // +- around the mean, twice per loop
    double elevationDeg = 47.0;     // mean elevation above the table
    double elevationSwingDeg = 9.0;
    double targetSwing = 20.0;      // the look-at point wanders this far around the origin
    // Once a loop the look-at point runs out to the far end of the mat, away
    // from the camera, so that the middle marker leaves the picture.
    double endLookPhaseDeg = 270.0;  // when: the share of the loop, in degrees
    double endLookReach = 220.0;     // how far the look-at point runs out
    double endLookSharpness = 6.0;   // how short the run is (a raised cosine's power)
};

// A lamp above the table: a disc of light that casts soft shadows.
struct TableLight {
    double position[3];
    double radius;
    double ambient;  // brightness of a face turned away from the lamp
};

struct DemoTable {
    std::string video, camera;
    std::string matFile;  // the scene's PATTERN: the mat file beside the scene
    TrackMat mat;
    std::vector<TableMarker> markers;  // the first is the track's marker, in the middle
    std::vector<TableObject> objects;
    std::vector<TableBox> walls;
    std::vector<Gate> gates;
    CarPlacement player, opponent;
    std::vector<RouteStop> route;
    OrbitSettings orbit;
    TableLight light;
};

const DemoTable& demoTable();
