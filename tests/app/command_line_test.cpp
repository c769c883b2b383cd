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

TEST(CommandLine, DemoIsAWholeArgumentBesideTheOthers) {
    const CommandLine c = parse({"--demo", "-debug"});
    EXPECT_TRUE(c.useDemo);
    EXPECT_TRUE(c.debugMode);
    EXPECT_EQ(c.scenePath, "Scene.txt");
    EXPECT_FALSE(parse({"--demonstration"}).useDemo);
    EXPECT_FALSE(parse({"-demo"}).useDemo);
}

TEST(CommandLine, OverlongScenePathIsRefused) {
    const std::string longest(255, 'a'), tooLong(256, 'a');
    EXPECT_TRUE(parse({"-s", longest.c_str()}).error.empty());
    const CommandLine c = parse({"-s", tooLong.c_str()});
    EXPECT_FALSE(c.error.empty());
    EXPECT_EQ(c.scenePath, "Scene.txt");
}

}  // namespace
