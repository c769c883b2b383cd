#include "test_files.h"

#include "world/scene_check.h"
#include "world/scene_loader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sys/stat.h>
#include <vector>

namespace {

struct Loaded {
    World world;
    SceneLoadResult result;
};

Loaded load(const std::string& text, const ModelLoader& models = {})
{
    TempDir dir;
    Loaded loaded;
    loaded.world.playerLap = 77;  // shows whether the race state was set
    loaded.result = loadScene(loaded.world, dir.write("Scene.txt", text), models);
    return loaded;
}

std::string withoutDir(const std::string& reason)
{
    const std::size_t slash = reason.rfind('/');
    return slash == std::string::npos ? reason : reason.substr(slash + 1);
}

const char kMinimal[] =
    "SCENE-V-0.0.1\nVIDEO CAMERA\nCAMERA cam.dat\nPATTERN marker.patt\nBOXES 0\nCOLLISION-BOXES 0\n"
    "CHECKPOINTS 0\nCAR\nMODEL car.3ds\nTEXTURE car.bmp\nPOSITION 1 2 3\nSCALE 1 1 1\nRADIUS 2\n"
    "ROTATION 90\nMASS 5\n";

}  // namespace

TEST(SceneLoader, SmallestCompleteFileHasNoOpponentAndSetsRaceState)
{
    const Loaded loaded = load(kMinimal);
    EXPECT_TRUE(loaded.result.complete) << loaded.result.reason;
    EXPECT_EQ(loaded.world.playerLap, 1);
    EXPECT_EQ(loaded.world.lastCheckpoint, -1);
    EXPECT_FALSE(loaded.world.opponentPresent);
    EXPECT_TRUE(loaded.world.checkpoints.empty());
    EXPECT_EQ(loaded.world.player.position, (Vec3{1, 2, 3}));
    EXPECT_EQ(loaded.world.player.radius, 2.0f);
    EXPECT_EQ(loaded.world.player.mass, 5.0f);
    EXPECT_EQ(loaded.world.player.angle, 270.0f);
    EXPECT_NEAR(loaded.world.player.direction.x, 0.0, 1e-7);
    EXPECT_EQ(loaded.world.player.direction.y, 1.0);
    EXPECT_EQ(loaded.world.cameraParamPath, "cam.dat");
    EXPECT_EQ(loaded.world.playerTexturePath, "car.bmp");
}

TEST(SceneLoader, VideoTokenChoosesCameraOrFileForm)
{
    const std::string camera = videoConfigFor("CAMERA");
    EXPECT_NE(camera.find("<camera show_format_dialog=\"true\" friendly_name=\"default\">"), std::string::npos);
    EXPECT_EQ(videoConfigFor("CAMERA1"), camera);
    EXPECT_NE(videoConfigFor("camera"), camera);
    const std::string file = videoConfigFor("clip.avi");
    EXPECT_NE(file.find("<avi_file file_name=\"clip.avi\" loop_avi=\"true\">"), std::string::npos);
    EXPECT_EQ(file.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?><video_input>", 0), 0u);
    EXPECT_LT(file.size(), kVideoConfigCapacity);
}

TEST(SceneLoader, ListsKeepFileOrderAndBoxNumbersAreDropped)
{
    SceneSections scene;
    scene.boxes = "BOXES 2\nBOX 7\nPOSITION 1 0 0\nSCALE 1 1 1\nBOX 1\nPOSITION 2 0 0\nSCALE 0.1 1 1\n";
    scene.checkpoints = "CHECKPOINTS 2\nCHECKPOINT 5\nPOSITION 0 0 0\nSCALE 1 1 1\nCHECKPOINT 3\n\n  POSITION 1 1 1 SCALE 2 2 2\n";
    const Loaded loaded = load(scene.text());
    ASSERT_TRUE(loaded.result.complete) << loaded.result.reason;
    ASSERT_EQ(loaded.world.boxes.size(), 2u);
    EXPECT_EQ(loaded.world.boxes[1].centre.x, 2.0);
    EXPECT_EQ(loaded.world.boxes[1].size.x, static_cast<double>(0.1f));
    ASSERT_EQ(loaded.world.checkpoints.size(), 2u);
    EXPECT_EQ(loaded.world.checkpoints[0].number, 5);
    EXPECT_EQ(loaded.world.checkpoints[1].size, (Vec3{2, 2, 2}));
}

TEST(SceneLoader, MissingSpeedKeepsEarlierRoutePointsAndNamesTheLine)
{
    SceneSections scene;
    scene.opponent = SceneSections::carLines(1.0f) + "ROUTE 2\n" + SceneSections::routePoint(0, "1 1 0", 2.0f) +
                     "ROUTE-POINT 1\nPOSITION 2 2 0\n";
    const Loaded loaded = load(scene.text());
    EXPECT_FALSE(loaded.result.complete);
    EXPECT_EQ(loaded.world.playerLap, 77);
    ASSERT_EQ(loaded.world.route.size(), 1u);
    EXPECT_EQ(loaded.world.route[0].speed, 2.0f);
    EXPECT_EQ(withoutDir(loaded.result.reason), "Scene.txt:33: expected \"SPEED %f\" at end of file");
}

TEST(SceneLoader, BadLinesAreReportedWithTheirNumberAndFormat)
{
    SceneSections scene;
    scene.checkpoints = "CHECKPOINTS 1\nCHECKPOINT 0\nPOSITION 0 0 0\nSCALE 1 x 1\n";
    Loaded loaded = load(scene.text());
    EXPECT_EQ(withoutDir(loaded.result.reason), "Scene.txt:10: expected \"SCALE %f %f %f\"");
    ASSERT_EQ(loaded.world.checkpoints.size(), 0u);

    scene = SceneSections{};
    scene.player = "MODL car.3ds\n";
    loaded = load(scene.text());
    EXPECT_EQ(withoutDir(loaded.result.reason), "Scene.txt:12: expected \"MODEL %s\"");

    loaded = load(std::string(kMinimal).replace(std::string(kMinimal).find("CAR\n"), 3, "CRA"));
    EXPECT_EQ(withoutDir(loaded.result.reason), "Scene.txt:8: expected \"CAR\"");
}

TEST(SceneLoader, MissingWordsOnlyLinesAreTolerated)
{
    std::string text = kMinimal;
    text.erase(0, text.find('\n') + 1);  // no header line
    const Loaded loaded = load(text);
    EXPECT_TRUE(loaded.result.complete) << loaded.result.reason;
}

TEST(SceneLoader, OverlongValuesStopTheLoad)
{
    SceneSections scene;
    scene.video = "VIDEO " + std::string(1024, 'v') + "\n";
    EXPECT_EQ(withoutDir(load(scene.text()).result.reason), "Scene.txt:2: VIDEO value longer than 1023 characters");

    scene.video = "VIDEO " + std::string(900, 'v') + "\n";
    Loaded loaded = load(scene.text());
    EXPECT_NE(loaded.result.reason.find("Scene.txt:2: VIDEO value too long for the video configuration"), std::string::npos);
    EXPECT_TRUE(loaded.world.videoConfig.empty());

    scene.video = "VIDEO CAMERA" + std::string(1000, 'x') + "\n";
    EXPECT_TRUE(load(scene.text()).result.complete);

    scene = SceneSections{};
    scene.player = SceneSections::carLines(1.0f);
    scene.player.replace(scene.player.find("car.bmp"), 7, std::string(256, 't'));
    loaded = load(scene.text());
    EXPECT_EQ(withoutDir(loaded.result.reason), "Scene.txt:13: TEXTURE value longer than 255 characters");
    EXPECT_TRUE(loaded.world.playerTexturePath.empty());
}

TEST(SceneLoader, OutOfRangeNumbersAreRefused)
{
    SceneSections scene;
    scene.checkpoints = "CHECKPOINTS 1\nCHECKPOINT 4294967296\nPOSITION 0 0 0\nSCALE 1 1 1\n";
    EXPECT_EQ(withoutDir(load(scene.text()).result.reason), "Scene.txt:8: CHECKPOINT value out of range");
}

TEST(SceneLoader, ModelLoaderGetsEachCarAtItsModelLine)
{
    SceneSections scene;
    scene.opponent = SceneSections::carLines(1.0f) + "ROUTE 1\n" + SceneSections::routePoint(0, "0 0 0", 1.0f);
    scene.opponent.replace(scene.opponent.find("car.3ds"), 7, "other.3ds");
    World world;
    std::vector<std::string> calls;
    ModelLoader models = [&](Car& car, const char* path) {
        calls.push_back(std::string(path) + (&car == &world.player ? "@player" : "@opponent"));
        EXPECT_EQ(car.mass, 1.0f);  // called before the rest of the car is read
    };
    TempDir dir;
    EXPECT_TRUE(loadScene(world, dir.write("Scene.txt", scene.text()), models).complete);
    EXPECT_EQ(calls, (std::vector<std::string>{"car.3ds@player", "other.3ds@opponent"}));
    EXPECT_TRUE(world.opponentPresent);
}

TEST(SceneLoader, MissingFileStoresNothing)
{
    World world;
    const SceneLoadResult result = loadScene(world, "/nonexistent/Scene.txt");
    EXPECT_FALSE(result.opened);
    EXPECT_NE(result.reason.find("cannot open scene file \"/nonexistent/Scene.txt\""), std::string::npos);
    EXPECT_TRUE(world.videoConfig.empty());
}

TEST(SceneLoader, ByteOrderMarkOfWindowsEditorsIsSkipped)
{
    const Loaded loaded = load("\xEF\xBB\xBF" + std::string(kMinimal));
    EXPECT_TRUE(loaded.result.complete) << loaded.result.reason;
    EXPECT_EQ(loaded.world.cameraParamPath, "cam.dat");
}

TEST(SceneLoader, BackslashSeparatesPathParts)
{
    TempDir dir;
    mkdir((dir.path + "/tracks").c_str(), 0700);
    dir.write("tracks/Scene.txt", kMinimal);
    World world;
    EXPECT_TRUE(loadScene(world, dir.path + "\\tracks\\Scene.txt").complete);
}

TEST(SceneCheck, RefusesScenesARaceCannotStartFrom)
{
    struct Case {
        const char* name;
        SceneSections scene;
        std::string reason;
    };
    std::vector<Case> cases;
    SceneSections noCheckpoints;
    noCheckpoints.checkpoints = "CHECKPOINTS 0\n";
    cases.push_back({"no checkpoints", noCheckpoints, "the scene has no checkpoints"});
    for (float mass : {0.0f, -2.0f}) {
        SceneSections badMass;
        badMass.player = SceneSections::carLines(mass);
        cases.push_back({"player mass", badMass, "player car MASS must be a positive finite number"});
    }
    SceneSections noRoute;
    noRoute.opponent = SceneSections::carLines(1.0f) + "ROUTE 0\n";
    cases.push_back({"empty route", noRoute, "the opponent car has no route points"});
    SceneSections heavyOpponent = noRoute;
    heavyOpponent.opponent = SceneSections::carLines(0.0f) + "ROUTE 0\n";
    cases.push_back({"opponent mass", heavyOpponent, "opponent car MASS must be a positive finite number"});
    SceneSections gap;
    gap.opponent = SceneSections::carLines(1.0f) + "ROUTE 3\n" + SceneSections::routePoint(4, "0 0 0", 1) +
                   SceneSections::routePoint(2, "1 0 0", 1) + SceneSections::routePoint(2, "2 0 0", 1);
    cases.push_back({"gap", gap, "route point indices jump from 2 to 4"});
    TempDir dir;
    for (const Case& c : cases) {
        World world;
        std::string reason;
        EXPECT_FALSE(loadRaceScene(world, dir.write("Scene.txt", c.scene.text()), {}, reason)) << c.name;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.name << ": " << reason;
        EXPECT_EQ(reason.find(dir.path + "/Scene.txt: "), 0u) << reason;
    }
}

// A negative count (read as no entries) or a number that is not finite reads
// as it always has, but start-up refuses the scene at that line instead of
// racing on a half-read track or on nulls.
TEST(SceneCheck, ValuesARaceCannotUseAreRefusedAtTheirLine)
{
    SceneSections boxes, collisionBoxes, checkpoints, route, position, scale, radius, rotation, speed;
    boxes.boxes = "BOXES -7\n";
    collisionBoxes.collisionBoxes = "COLLISION-BOXES -1\n";
    checkpoints.checkpoints = "CHECKPOINTS -2147483648\n";
    route.opponent = SceneSections::carLines(1.0f) + "ROUTE -3\n";
    position.checkpoints = "CHECKPOINTS 1\nCHECKPOINT 0\nPOSITION 1e999 0 0\nSCALE 10 10 10\n";
    scale.checkpoints = "CHECKPOINTS 1\nCHECKPOINT 0\nPOSITION 0 0 0\nSCALE 10 NaN 10\n";
    radius.player = "MODEL car.3ds\nTEXTURE car.bmp\nPOSITION 0 0 0\nSCALE 2 2 2\nRADIUS " + std::string(10000000, '9') +
                    "\nROTATION 0\nMASS 1\n";
    rotation.player = "MODEL car.3ds\nTEXTURE car.bmp\nPOSITION 0 0 0\nSCALE 2 2 2\nRADIUS 1\nROTATION -inf\nMASS 1\n";
    speed.opponent = SceneSections::carLines(1.0f) + "ROUTE 1\n" + SceneSections::routePoint(0, "0 0 0", INFINITY);
    const struct {
        SceneSections scene;
        std::string reason;
    } cases[] = {{boxes, "Scene.txt:5: expected \"BOXES %d\" with a count of 0 or more, not -7"},
                 {collisionBoxes, "Scene.txt:6: expected \"COLLISION-BOXES %d\" with a count of 0 or more, not -1"},
                 {checkpoints, "Scene.txt:7: expected \"CHECKPOINTS %d\" with a count of 0 or more, not -2147483648"},
                 {route, "Scene.txt:27: expected \"ROUTE %d\" with a count of 0 or more, not -3"},
                 {position, "Scene.txt:9: expected \"POSITION %f %f %f\" with finite numbers, not inf"},
                 {scale, "Scene.txt:10: expected \"SCALE %f %f %f\" with finite numbers, not nan"},
                 {radius, "Scene.txt:16: expected \"RADIUS %f\" with finite numbers, not inf"},
                 {rotation, "Scene.txt:17: expected \"ROTATION %f\" with finite numbers, not inf"},
                 {speed, "Scene.txt:30: expected \"SPEED %f\" with finite numbers, not inf"}};
    TempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.write("Scene.txt", c.scene.text());
        World world;
        std::string reason;
        EXPECT_FALSE(loadRaceScene(world, path, {}, reason));
        EXPECT_EQ(withoutDir(reason), c.reason);
        World asRead;
        EXPECT_EQ(withoutDir(loadScene(asRead, path).refusedValue), c.reason);
    }
    EXPECT_TRUE(load(boxes.text()).result.complete);
}

TEST(SceneCheck, AcceptsAGoodSceneAndRefusesLongPaths)
{
    SceneSections scene;
    scene.opponent = SceneSections::carLines(3.0f) + "ROUTE 2\n" + SceneSections::routePoint(2, "0 0 0", 1) +
                     SceneSections::routePoint(1, "1 0 0", 1);
    TempDir dir;
    World world;
    world.boxes.push_back(Box{});  // left over from before: the stage starts from a fresh world
    std::string reason;
    EXPECT_TRUE(loadRaceScene(world, dir.write("Scene.txt", scene.text()), {}, reason)) << reason;
    EXPECT_TRUE(world.boxes.empty());
    EXPECT_FALSE(loadRaceScene(world, dir.path + "/" + std::string(250, 'p'), {}, reason));
    EXPECT_NE(reason.find("scene path longer than 255 characters"), std::string::npos);
}
