#include "tools/demovideo/demo_table.h"

namespace {

// World units are millimetres of the track's marker printed 80 wide (the
// printable A3 mat is drawn at three quarters of that): the objects are a
// shoe-box-sized carton, a stack of four books and a tea tin. The sheet
// reaches past the outer barrier at both ends, where further markers lie.
constexpr TrackMat kMat{{100, 65}, 12, {175, 140}, 10, {270, 165}, 12};
constexpr double kWallHeight = 20;
constexpr double kGateDepth = 24;

// Barriers follow the printed road: four strips around the island and four
// around the outside, each as a box standing on the table.
std::vector<TableBox> barrierWalls(const TrackMat& m) {
    const double ix = m.islandHalf[0], iy = m.islandHalf[1], t = m.islandBarrier;
    const double ox = m.roadOuterHalf[0], oy = m.roadOuterHalf[1], u = m.outerBarrier;
    const double z = kWallHeight / 2;
    return {
        {{ix - t / 2, 0, z}, {t, 2 * (iy - t), kWallHeight}},
        {{-(ix - t / 2), 0, z}, {t, 2 * (iy - t), kWallHeight}},
        {{0, iy - t / 2, z}, {2 * ix, t, kWallHeight}},
        {{0, -(iy - t / 2), z}, {2 * ix, t, kWallHeight}},
        {{0, oy + u / 2, z}, {2 * (ox + u), u, kWallHeight}},
        {{0, -(oy + u / 2), z}, {2 * (ox + u), u, kWallHeight}},
        {{ox + u / 2, 0, z}, {u, 2 * oy, kWallHeight}},
        {{-(ox + u / 2), 0, z}, {u, 2 * oy, kWallHeight}},
    };
}

// Counter-clockwise from the start line on the right-hand straight: gates
// across the straights, square zones in the corners.
std::vector<Gate> checkpointGates(const TrackMat& m) {
    const double w = m.roadOuterHalf[0] - m.islandHalf[0], h = m.roadOuterHalf[1] - m.islandHalf[1];
    const double x = m.islandHalf[0] + w / 2, y = m.islandHalf[1] + h / 2;
    return {
        {0, {{x, 0, 0}, {w, kGateDepth, 10}}},   {1, {{x, y, 0}, {w, h, 10}}},
        {2, {{0, y, 0}, {kGateDepth, h, 10}}},   {3, {{-x, y, 0}, {w, h, 10}}},
        {4, {{-x, 0, 0}, {w, kGateDepth, 10}}},  {5, {{-x, -y, 0}, {w, h, 10}}},
        {6, {{0, -y, 0}, {kGateDepth, h, 10}}},  {7, {{x, -y, 0}, {w, h, 10}}},
    };
}

// The opponent keeps to the outer lane and slows down in the corners, about
// a minute per lap at sixty steps a second.
std::vector<RouteStop> outerLaneRoute() {
    const double x = 156, y = 121, cx = 124, cy = 90, fast = 0.33, slow = 0.22;
    return {
        {x, 0, fast},    {x, cy, slow},    {cx, y, fast},    {0, y, fast},
        {-cx, y, slow},  {-x, cy, fast},   {-x, 0, fast},    {-x, -cy, slow},
        {-cx, -y, fast}, {0, -y, fast},    {cx, -y, slow},   {x, -cy, fast},
    };
}

// The track's marker in the middle; two more at each end of the sheet, on
// either side of the object standing there.
std::vector<TableMarker> matMarkers() {
    const double end = 228, width = 60;
    return {
        {"marker.ppm", "marker/marker.patt", {0, 0}, 80},
        {"mat1.ppm", "marker/mat1.patt", {end, -88}, width},
        {"mat2.ppm", "marker/mat2.patt", {end, 120}, width},
        {"mat3.ppm", "marker/mat3.patt", {-end, 92}, width},
        {"mat4.ppm", "marker/mat4.patt", {-end, -8}, width},
    };
}

DemoTable makeDemoTable() {
    DemoTable t;
    t.video = "video/demo.avi";
    t.camera = "camera/camera_para.dat";
    t.matFile = "mat.txt";
    t.mat = kMat;
    t.markers = matMarkers();
    // The carton stands beside the start line, so the opponent waiting there
    // is hidden whenever the camera looks from that side.
    t.objects = {
        {ObjectLook::Carton, {{222, 12, 45}, {50, 80, 90}}},
        {ObjectLook::BookStack, {{-30, 193, 36}, {124, 76, 72}}},
        {ObjectLook::TeaTin, {{-216, -100, 50}, {48, 48, 100}}},
    };
    t.walls = barrierWalls(kMat);
    t.gates = checkpointGates(kMat);
    t.player = {"models/player.3ds", "textures/player.bmp", {119, -30, 0}, {28, 13, 10}, 9, 90, 2500};
    t.opponent = {"models/opponent.3ds", "textures/opponent.bmp", {156, 0, 0}, {28, 13, 10}, 9, 90, 2500};
    t.route = outerLaneRoute();
    t.light = {{-60, -40, 650}, 90, 0.72};
    return t;
}

}  // namespace

const DemoTable& demoTable() {
    static const DemoTable table = makeDemoTable();
    return table;
}
