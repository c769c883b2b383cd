// Command-line options and the key file the tool writes.
#include "autodrive_options.h"
#include "common/scratch_dir.h"
#include "key_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace {

std::optional<int> parse(std::vector<std::string> words, AutodriveOptions& options)
{
    words.insert(words.begin(), "rovanta-autodrive");
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    return readAutodriveOptions(static_cast<int>(argv.size()), argv.data(), options);
}

TEST(AutodriveOptions, ReadsEveryOptionAndKeepsDefaultsOtherwise)
{
    AutodriveOptions options;
    ASSERT_EQ(parse({"--out", "k.txt"}, options), std::nullopt);
    EXPECT_EQ(options.scenePath, "Scene.txt");
    EXPECT_EQ(options.laps, 1);
    ASSERT_EQ(parse({"--scene", "t.txt", "--laps", "9", "--target-speed", "0.25", "--max-steps", "7", "--out", "k.txt"},
                    options),
              std::nullopt);
    EXPECT_EQ(options.scenePath, "t.txt");
    EXPECT_EQ(options.laps, 9);
    EXPECT_EQ(options.targetSpeed, 0.25);
    EXPECT_EQ(options.maxSteps, 7);
}

TEST(AutodriveOptions, RefusesMissingOutputAndValuesOutOfRange)
{
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--laps", "2"},
        {"--out", "k", "--laps", "0"},
        {"--out", "k", "--laps", "10"},
        {"--out", "k", "--target-speed", "0"},
        {"--out", "k", "--target-speed", "40.5"},
        {"--out", "k", "--max-steps", "0"},
        {"--out", "k", "--max-steps", "99999999999999999999"},
        {"--out", "k", "--speed", "1"},
        {"--out"},
        {"stray"},
    };
    for (const auto& words : bad) {
        AutodriveOptions options;
        EXPECT_EQ(parse(words, options), 2) << ::testing::PrintToString(words);
    }
}

TEST(AutodriveKeyFile, NamesHeldKeysInAFixedOrderOneLinePerStep)
{
    KeyTable none;
    KeyTable all;
    for (int code : {kKeyDown, kKeyRight, kKeyUp, kKeyLeft}) {
        setKeyHeld(all, code, true);
    }
    KeyTable upRight;
    setKeyHeld(upRight, kKeyRight, true);
    setKeyHeld(upRight, kKeyUp, true);
    EXPECT_EQ(keyLine(none), "");
    EXPECT_EQ(keyLine(all), "LEFT UP RIGHT DOWN");
    EXPECT_EQ(keyLine(upRight), "UP RIGHT");

    const std::string path = scratchPath("autodrive_keys.txt");
    std::string error;
    ASSERT_TRUE(writeKeyScript(path, {upRight, none, all}, error)) << error;
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "UP RIGHT\n\nLEFT UP RIGHT DOWN\n");
}

TEST(AutodriveKeyFile, AnUnwritablePathIsReportedNotIgnored)
{
    std::string error;
    EXPECT_FALSE(writeKeyScript(scratchPath("no-such-dir/keys.txt"), {KeyTable{}}, error));
    EXPECT_NE(error.find("no-such-dir"), std::string::npos) << error;
}

}  // namespace
