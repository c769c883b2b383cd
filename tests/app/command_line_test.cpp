#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CommandLine parse(std::vector<const char*> args) {
    args.insert(args.begin(), "rovanta");
    return parseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, DefaultsWithoutOptions) {
    const CommandLine c = parse({});
    EXPECT_FALSE(c.debugMode);
    EXPECT_FALSE(c.showAbout);
    EXPECT_EQ(c.scenePath, "Scene.txt");
    EXPECT_TRUE(c.error.empty());
}

TEST(CommandLine, OptionsMatchByTheirOwnLength) {
    EXPECT_TRUE(parse({"-debugging"}).debugMode);
    EXPECT_EQ(parse({"-scene", "x.txt"}).scenePath, "x.txt");
    EXPECT_EQ(parse({"-s", "track2.txt"}).scenePath, "track2.txt");
    EXPECT_EQ(parse({"-s"}).scenePath, "Scene.txt");
    EXPECT_EQ(parse({"-s", "a.txt", "-s", "b.txt"}).scenePath, "b.txt");
    EXPECT_FALSE(parse({"debug"}).debugMode);
}

TEST(CommandLine, ThePathAfterDashSIsExaminedAsAnOptionToo) {
    const CommandLine c = parse({"-s", "-about"});
    EXPECT_EQ(c.scenePath, "-about");
    EXPECT_TRUE(c.showAbout);
}

TEST(CommandLine, OverlongScenePathIsRefused) {
    const std::string longest(255, 'a'), tooLong(256, 'a');
    EXPECT_TRUE(parse({"-s", longest.c_str()}).error.empty());
    const CommandLine c = parse({"-s", tooLong.c_str()});
    EXPECT_FALSE(c.error.empty());
    EXPECT_EQ(c.scenePath, "Scene.txt");
}

}  // namespace

// The extra options read with CLI11 beside the classic parser.
#include "app/game_options.h"

#include <CLI/CLI.hpp>

namespace {

TEST(GameOptions, ClassicAndUnknownArgumentsLeaveTheGameRunning) {
    for (std::vector<const char*> args : std::vector<std::vector<const char*>>{
             {"rovanta"}, {"rovanta", "-debug", "-s", "x.txt", "-about"}, {"rovanta", "-s", "-about"},
             {"rovanta", "-help", "-h", "--unknown", "stray", "-display", ":1", "--", "-x"}}) {
        GameOptions options;
        EXPECT_EQ(readGameOptions(static_cast<int>(args.size()), args.data(), options), std::nullopt)
            << ::testing::PrintToString(args);
    }
}

TEST(GameOptions, DemoExactAndLiveAreWholeWordsBesideTheClassicOptions) {
    struct Case {
        std::vector<const char*> args;
        bool demo, exact, live;
    };
    const std::vector<Case> cases = {
        {{"rovanta", "--demo", "-debug"}, true, false, false},
        {{"rovanta", "-demo"}, true, false, false},
        {{"rovanta", "--demonstration"}, false, false, false},
        {{"rovanta", "-s", "demo"}, false, false, false},
        {{"rovanta"}, false, false, false},
        {{"rovanta", "-exact", "-debug"}, false, true, false},
        {{"rovanta", "--exact", "--demo"}, true, true, false},
        {{"rovanta", "-exactly"}, false, false, false},
        {{"rovanta", "--demo", "--live", "--camera-file", "cam.dat"}, true, false, true},
        {{"rovanta", "-live", "-lively"}, false, false, true},
    };
    for (const auto& c : cases) {
        GameOptions options;
        EXPECT_EQ(readGameOptions(static_cast<int>(c.args.size()), c.args.data(), options), std::nullopt);
        EXPECT_EQ(options.demo, c.demo) << ::testing::PrintToString(c.args);
        EXPECT_EQ(options.exact, c.exact) << ::testing::PrintToString(c.args);
        EXPECT_EQ(options.live, c.live) << ::testing::PrintToString(c.args);
        EXPECT_EQ(options.cameraFile, c.args.size() == 5 ? "cam.dat" : "") << ::testing::PrintToString(c.args);
    }
}

TEST(GameOptions, FixedThresholdIsAWholeWordWithOneOrTwoDashes) {
    const std::vector<std::pair<std::vector<const char*>, bool>> cases = {
        {{"rovanta"}, false},
        {{"rovanta", "-fixed-threshold"}, true},
        {{"rovanta", "--fixed-threshold", "-debug"}, true},
        {{"rovanta", "-fixed"}, false},
        {{"rovanta", "-fixed-thresholds"}, false},
    };
    for (const auto& [args, fixed] : cases) {
        GameOptions options;
        EXPECT_EQ(readGameOptions(static_cast<int>(args.size()), args.data(), options), std::nullopt);
        EXPECT_EQ(options.fixedThreshold, fixed) << ::testing::PrintToString(args);
    }
    const char* args[] = {"rovanta", "--fixed-threshold"};
    const CommandLine classic = parseCommandLine(2, args);
    EXPECT_FALSE(classic.debugMode);
    EXPECT_EQ(classic.scenePath, "Scene.txt");
}

TEST(GameOptions, ExtraOptionsAlsoAnswerToOneDash) {
    CLI::App app;
    bool exact = false;
    int fps = 0;
    app.add_flag("--exact", exact);
    app.add_option("--camera-fps", fps);
    const std::vector<std::string> in = {"rovanta", "-exact", "-camera-fps=30", "-camera-fps", "--exact",
                                         "-help", "-e", "-debug", "-exactly", "-", "x"};
    const std::vector<std::string> out = {"rovanta", "--exact", "--camera-fps=30", "--camera-fps", "--exact",
                                          "-help", "-e", "-debug", "-exactly", "-", "x"};
    EXPECT_EQ(withLongSpellings(app, in), out);
}

// The classic parser matches by prefix, so an extra option must not start
// like a classic one; and one-letter names would catch classic words.
TEST(GameOptions, ExtraOptionNamesStayClearOfTheClassicOnes) {
    CLI::App app;
    GameOptions options;
    setUpGameCommandLine(app, options);
    for (const CLI::Option* option : app.get_options()) {
        EXPECT_TRUE(option->get_snames().empty()) << option->get_name();
        for (const std::string& name : option->get_lnames()) {
            for (const char* classic : {"s", "debug", "about"}) {
                EXPECT_NE(name.rfind(classic, 0), 0u) << name << " starts like -" << classic;
            }
        }
    }
}

}  // namespace
