#include "test_files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <vector>

namespace {

struct SimRun {
    int status = -1;
    std::vector<std::string> lines;
    std::string errors;
};

SimRun runSim(const TempDir& dir, const std::string& arguments)
{
    const std::string errorFile = dir.path + "/stderr.txt";
    const std::string command = "cd " + dir.path + " && " ROVANTA_SIM_PATH " " + arguments + " 2>" + errorFile;
    SimRun run;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    char buffer[8192];
    std::string line;
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        line += buffer;
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
            run.lines.push_back(line);
            line.clear();
        }
    }
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream errors(errorFile);
    std::stringstream text;
    text << errors.rdbuf();
    run.errors = text.str();
    return run;
}

// The value at a JSON pointer such as "/player/position/x".
nlohmann::json valueAt(const std::string& line, const std::string& pointer)
{
    return nlohmann::json::parse(line).at(nlohmann::json::json_pointer(pointer));
}

double numberAt(const std::string& line, const std::string& pointer) { return valueAt(line, pointer).get<double>(); }

std::string oneCheckpointScene(const std::string& opponent = "")
{
    SceneSections scene;
    scene.checkpoints = "CHECKPOINTS 1\nCHECKPOINT 0\nPOSITION 500 500 0\nSCALE 1 1 1\n";
    scene.player = SceneSections::carLines(100.0f);
    scene.opponent = opponent;
    return scene.text();
}

}  // namespace

TEST(SimTool, PrintsFullPrecisionStateForEveryKeyLine)
{
    TempDir dir;
    dir.write("Scene.txt", oneCheckpointScene());
    dir.write("keys.txt", "UP\nup, LEFT\n\n");
    const SimRun run = runSim(dir, "--keys keys.txt");
    EXPECT_EQ(run.status, 0) << run.errors;
    ASSERT_EQ(run.lines.size(), 3u);
    EXPECT_EQ(valueAt(run.lines[0], "/step"), 1);
    EXPECT_EQ(valueAt(run.lines[0], "/state"), "race");
    EXPECT_EQ(valueAt(run.lines[0], "/raceStarted"), true);
    EXPECT_EQ(numberAt(run.lines[0], "/player/velocity/x"), 5.0);
    EXPECT_EQ(valueAt(run.lines[1], "/player/angle"), 185);
    // The second step turns 5 degrees, then thrusts along the new direction.
    EXPECT_EQ(valueAt(run.lines[1], "/player/direction/x"), 0.99619472026824951);
    EXPECT_EQ(valueAt(run.lines[1], "/player/direction/y"), 0.087155744433403015);
    EXPECT_EQ(numberAt(run.lines[2], "/player/force/x"), 0.0);
    // With the only checkpoint counted as passed, the first step completes a lap.
    EXPECT_EQ(valueAt(run.lines[0], "/playerLap"), 2);
    EXPECT_EQ(valueAt(run.lines[2], "/playerLap"), 2);
    EXPECT_EQ(valueAt(run.lines[2], "/lastCheckpoint"), -1);
    EXPECT_EQ(run.lines[2].find("opponent"), std::string::npos);
}

TEST(SimTool, StepCountDefaultsAndOverrides)
{
    TempDir dir;
    dir.write("Scene.txt", oneCheckpointScene());
    dir.write("keys.txt", "UP\n");
    EXPECT_EQ(runSim(dir, "").lines.size(), 100u);
    const SimRun run = runSim(dir, "--keys keys.txt --steps 4");
    ASSERT_EQ(run.lines.size(), 4u);
    // After the last line no key is held: friction only.
    EXPECT_NEAR(numberAt(run.lines[3], "/player/velocity/x"), 5 - 3 * 0.175, 1e-12);
    EXPECT_EQ(runSim(dir, "--steps 0").lines.size(), 0u);
}

// The largest key file allowed, a step per line, is held in about its own size.
TEST(SimTool, TheLongestKeyFileRunsInLittleMemory)
{
    TempDir dir;
    dir.write("Scene.txt", oneCheckpointScene());
    dir.write("keys.txt", std::string(16 << 20, '\n'));
    const SimRun run = runSim(dir, "--keys keys.txt --steps 1");
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.lines.size(), 1u);
    struct rusage usage {};
    ASSERT_EQ(getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 200L << 10) << "kilobytes at the peak";
}

TEST(SimTool, LapClockFollowsSecondsPerStep)
{
    TempDir dir;
    SceneSections scene;
    scene.checkpoints = "CHECKPOINTS 2\nCHECKPOINT 0\nPOSITION 0 0 0\nSCALE 1 1 1\n"
                        "CHECKPOINT 1\nPOSITION 0 0 0\nSCALE 1 1 1\n";
    scene.player = SceneSections::carLines(1.0f);
    dir.write("Scene.txt", scene.text());
    dir.write("keys.txt", "\n\nLEFT\nDOWN UP\n");  // the race starts in step 4 at 1.5 s
    const SimRun run = runSim(dir, "-s Scene.txt --keys keys.txt --steps 5 --seconds-per-step 0.5");
    ASSERT_EQ(run.lines.size(), 5u) << run.errors;
    EXPECT_EQ(valueAt(run.lines[2], "/raceStarted"), false);
    // Step 4 reaches checkpoint 1 (the car stands on both), step 5 at 2 s completes the lap.
    EXPECT_EQ(valueAt(run.lines[3], "/lastCheckpoint"), 1);
    EXPECT_EQ(valueAt(run.lines[4], "/playerLap"), 2);
    EXPECT_EQ(valueAt(run.lines[4], "/lastLapTime"), 1);
    EXPECT_EQ(valueAt(run.lines[4], "/bestLapTime"), 1);
}

TEST(SimTool, OpponentFieldsAndLostRaceStops)
{
    TempDir dir;
    const std::string opponent = SceneSections::carLines(1.0f) + "ROUTE 1\n" +
                                 SceneSections::routePoint(3, "-50 -50 0", 1.0f);
    dir.write("Scene.txt", oneCheckpointScene(opponent));
    dir.write("keys.txt", "UP\n");
    const SimRun run = runSim(dir, "--keys keys.txt --steps 50");
    EXPECT_EQ(run.status, 0);
    ASSERT_EQ(run.lines.size(), 9u);  // a one-point route completes a lap every step
    EXPECT_EQ(valueAt(run.lines[8], "/state"), "lost");
    EXPECT_EQ(valueAt(run.lines[8], "/opponentLaps"), 9);
    EXPECT_EQ(valueAt(run.lines[0], "/routeIndex"), 3);
    EXPECT_EQ(valueAt(run.lines[0], "/lastRouteIndex"), 3);
    EXPECT_EQ(numberAt(run.lines[0], "/opponent/position/x"), -50.0);
    EXPECT_EQ(valueAt(run.lines[0], "/opponent/angle"), 270);
}

TEST(SimTool, WonRaceStops)
{
    TempDir dir;
    SceneSections scene;
    scene.checkpoints = "CHECKPOINTS 1\nCHECKPOINT 1\nPOSITION 900 0 0\nSCALE 1 1 1\n";
    dir.write("Scene.txt", scene.text());
    dir.write("keys.txt", "UP\n");
    const SimRun run = runSim(dir, "--keys keys.txt --steps 50");
    ASSERT_EQ(run.lines.size(), 9u);  // no checkpoint 2 or 0: a lap per step
    EXPECT_EQ(valueAt(run.lines.back(), "/state"), "won");
    EXPECT_EQ(valueAt(run.lines.back(), "/playerLap"), 10);
}

// A race never runs on numbers that are not finite (the JSON writer would print them as null).
TEST(SimTool, NonFiniteSceneNumbersAreRefusedAtTheirLine)
{
    TempDir dir;
    SceneSections scene;
    scene.player = SceneSections::carLines(1.0f, 0.0f, "nan 0 inf");
    dir.write("Scene.txt", scene.text());
    const SimRun run = runSim(dir, "--steps 1");
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.lines.empty());
    EXPECT_NE(run.errors.find("Scene.txt:14: expected \"POSITION %f %f %f\" with finite numbers, not nan"),
              std::string::npos)
        << run.errors;
}

TEST(SimTool, RefusesBadInputWithReasonAndStatus)
{
    TempDir dir;
    SceneSections scene;
    scene.checkpoints = "CHECKPOINTS 1\nCHECKPOINT 0\nPOSITION 0 0\nSCALE 1 1 1\n";
    dir.write("Bad.txt", scene.text());
    dir.write("Scene.txt", oneCheckpointScene());
    dir.write("keys.txt", "UP\nFAST\n");
    dir.write("escape.txt", "\x1b[31m" + std::string(1 << 20, 'a'));  // recolours a terminal, a megabyte long
    ASSERT_EQ(mkfifo((dir.path + "/pipe").c_str(), 0600), 0);  // would block any reader that opened it
    ASSERT_EQ(truncate(dir.write("Huge.txt", oneCheckpointScene()).c_str(), (16 << 20) + 1), 0);
    struct Case {
        std::string arguments;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {"-s Bad.txt", 1, "Bad.txt:9: expected \"POSITION %f %f %f\""},
        {"-s Missing.txt", 1, "cannot open scene file \"Missing.txt\""},
        {"--keys keys.txt", 1, "keys.txt:2: unknown key \"FAST\""},
        {"--keys escape.txt", 1, "escape.txt:1: unknown key \"\\x1b[31m" + std::string(35, 'a') + "...\" (use"},
        {"--keys none.txt", 1, "cannot open key file \"none.txt\""},
        {"--keys pipe", 1, "cannot open key file \"pipe\": a named pipe, not a regular file"},
        {"-s pipe", 1, "cannot open scene file \"pipe\": a named pipe, not a regular file"},
        {"-s /dev/zero", 1, "cannot open scene file \"/dev/zero\": a character device, not a regular file"},
        {"-s Huge.txt", 1, "cannot read scene file \"Huge.txt\": larger than 16 MB"},
        {"--steps -3", 2, "--steps: needs a whole number of at least 0, not \"-3\""},
        {"--seconds-per-step nan", 2, "--seconds-per-step: needs a number of at least 0, not \"nan\""},
        {"--fast", 2, "not expected: --fast"},
        {"-s", 2, "-s: 1 required SCENE missing"},
    };
    for (const Case& c : cases) {
        const SimRun run = runSim(dir, c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments;
        EXPECT_TRUE(run.lines.empty()) << c.arguments;
        EXPECT_NE(run.errors.find(c.message), std::string::npos) << c.arguments << ": " << run.errors;
    }
}

namespace {

std::string sceneWithOpponentRoute(const std::string& player, const std::string& opponentScale, const std::string& route)
{
    return "SCENE-V-0.0.1\nVIDEO CAMERA\nCAMERA c.dat\nPATTERN p.patt\nBOXES 0\nCOLLISION-BOXES 0\n"
           "CHECKPOINTS 1\nCHECKPOINT 0\nPOSITION 500 500 0\nSCALE 1 1 1\n"
           "CAR\nMODEL m.3ds\nTEXTURE t.bmp\n" + player +
           "OPPONENT-CAR\nMODEL o.3ds\nTEXTURE o.bmp\nPOSITION 999 999 999\nSCALE " + opponentScale +
           "\nRADIUS 1\nROTATION 0\nMASS 1\n" + route;
}

}  // namespace

TEST(SimTool, OpponentBoxStopsThePlayerWhereItStood)
{
    TempDir dir;
    dir.write("Scene.txt", sceneWithOpponentRoute("POSITION 0 0 0\nSCALE 1 1 1\nRADIUS 5\nROTATION 0\nMASS 100\n",
                                                  "10 10 10", "ROUTE 1\nROUTE-POINT 4\nPOSITION 60 0 0\nSPEED 0\n"));
    dir.write("keys.txt", "UP\nUP\nUP\n\n");
    const SimRun run = runSim(dir, "--keys keys.txt --steps 20");
    ASSERT_EQ(run.lines.size(), 9u) << run.errors;
    // 5, 9.825, 14.65, then 14.475 by friction: the car stands at 43.95 when
    // the next move would put its centre inside the opponent's box (55..65).
    EXPECT_EQ(numberAt(run.lines[3], "/player/position/x"), 5.0 + 9.825 + 14.649999999999999 + 14.474999999999998);
    EXPECT_EQ(numberAt(run.lines[4], "/player/position/x"), numberAt(run.lines[3], "/player/position/x"));
    EXPECT_EQ(numberAt(run.lines[4], "/player/velocity/x"), 0.0);
    EXPECT_EQ(valueAt(run.lines[4], "/opponent/angle"), 630);  // 90 more per step on a one-point route
    EXPECT_EQ(valueAt(run.lines[8], "/state"), "lost");
}

TEST(SimTool, OpponentFollowsIndicesNotListOrderAndSnapsBackToItsSegment)
{
    TempDir dir;
    // List order 0, 2, 1: from point 0 the list successor (index 2) is the target;
    // from index 1 (last in the list) the route wraps to index 0.
    dir.write("Scene.txt", sceneWithOpponentRoute("POSITION -100 -100 0\nSCALE 1 1 1\nRADIUS 1\nROTATION 0\nMASS 1\n",
                                                  "1 1 1",
                                                  "ROUTE 3\nROUTE-POINT 0\nPOSITION 0 0 0\nSPEED 4\n"
                                                  "ROUTE-POINT 2\nPOSITION 10 0 0\nSPEED 5\n"
                                                  "ROUTE-POINT 1\nPOSITION 0 2 0\nSPEED 3\n"));
    dir.write("keys.txt", "DOWN\n");
    const SimRun run = runSim(dir, "--keys keys.txt --steps 6");
    ASSERT_EQ(run.lines.size(), 6u) << run.errors;
    EXPECT_EQ(numberAt(run.lines[1], "/opponent/position/x"), 8.0);
    EXPECT_EQ(numberAt(run.lines[2], "/opponent/position/x"), 10.0);
    EXPECT_EQ(valueAt(run.lines[2], "/routeIndex"), 1);
    // Turned 180 towards (0, 2)'s successor (0, 0), moved 3 to x = 7, which is
    // more than twice the 2-unit segment away: put back at the foot of the
    // perpendicular on the segment's line, (0, 0).
    EXPECT_EQ(valueAt(run.lines[3], "/opponent/angle"), 360);
    EXPECT_EQ(numberAt(run.lines[3], "/opponent/direction/x"), -1.0);
    EXPECT_EQ(numberAt(run.lines[3], "/opponent/direction/y"), static_cast<double>(static_cast<float>(std::sin(180.0 / 180.0 * 3.141592653589793))));
    EXPECT_EQ(numberAt(run.lines[3], "/opponent/position/x"), 0.0);
    EXPECT_EQ(numberAt(run.lines[3], "/opponent/position/y"), 0.0);
    // Standing on the target: a 90-degree turn, arrival, index 2; then the lap.
    EXPECT_EQ(valueAt(run.lines[4], "/opponent/angle"), 450);
    EXPECT_EQ(valueAt(run.lines[4], "/routeIndex"), 2);
    EXPECT_EQ(valueAt(run.lines[5], "/routeIndex"), 0);
    EXPECT_EQ(valueAt(run.lines[5], "/opponentLaps"), 1);
}
