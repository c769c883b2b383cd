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

TEST(CommandLine, FixedThresholdSwitchTakesOneOrTwoDashesAndNothingElse) {
    EXPECT_FALSE(parse({}).fixedThreshold);
    EXPECT_TRUE(parse({"-fixed-threshold"}).fixedThreshold);
    EXPECT_TRUE(parse({"--fixed-threshold", "-debug"}).fixedThreshold);
    EXPECT_FALSE(parse({"-fixed"}).fixedThreshold);
    EXPECT_FALSE(parse({"-fixed-thresholds"}).fixedThreshold);
    EXPECT_FALSE(parse({"--fixed-threshold"}).debugMode);
    EXPECT_EQ(parse({"--fixed-threshold"}).scenePath, "Scene.txt");
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
