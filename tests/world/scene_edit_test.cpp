// Building a scene at the table: what O, W, K, Page Up/Down and Backspace make
// of picked points, and the scene written back with its other text untouched.
#include "test_files.h"

#include "world/scene_check.h"
#include "world/scene_edit.h"
#include "world/scene_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Loaded {
    World world;
    SceneLayout layout;
    std::string reason;
    bool ok = false;
};

void loadInto(Loaded& loaded, const std::string& path)
{
    loaded.ok = loadRaceScene(loaded.world, path, [](Car&, const char*) {}, loaded.reason, &loaded.layout);
}

const std::vector<PickedPoint> kCorners = {{10.04f, -94.3f, 0}, {49.96f, -47.3f, 0}, {30, -53, 7}};

// One of each made from the same corners: a box over x 10..50, y -94.3..-47.3.
void makeOneOfEach(World& world, SceneEdits& edits)
{
    std::string why;
    for (MadeKind kind : {MadeKind::Occluder, MadeKind::Wall, MadeKind::Checkpoint})
        ASSERT_TRUE(makeFromPoints(world, edits, kind, kCorners, why)) << why;
}

}  // namespace

TEST(SceneEdit, PickedPointsBecomeBoxesOnTheTableAndComeBackOffInTurn)
{
    World world;
    world.checkpoints.push_back(Checkpoint{{}, {}, false, 7});
    world.checkpoints.push_back(Checkpoint{{}, {}, false, 3});
    SceneEdits edits;
    makeOneOfEach(world, edits);
    EXPECT_EQ(world.boxes.back().centre, (Vec3{30, -70.8f, kOccluderHeight / 2}));
    EXPECT_EQ(world.boxes.back().size, (Vec3{40, 47, kOccluderHeight})) << "sizes in whole tenths";
    EXPECT_EQ(world.collisionBoxes.back().size.z, kWallHeight);
    EXPECT_EQ(world.checkpoints.back().number, 8);
    EXPECT_EQ(world.checkpoints.back().centre.z, 0.0);

    // Page Up/Down act on the last box, passing over the checkpoint made after it.
    std::optional<RaisedBox> raised = raiseLastBox(world, edits, 2 * kHeightStep);
    ASSERT_TRUE(raised);
    EXPECT_EQ(raised->kind, MadeKind::Wall);
    EXPECT_EQ(world.collisionBoxes.back().size.z, kWallHeight + 2 * kHeightStep);
    EXPECT_EQ(world.collisionBoxes.back().centre.z, (kWallHeight + 2 * kHeightStep) / 2);
    raised = raiseLastBox(world, edits, -1000);
    EXPECT_EQ(raised->height, kHeightStep) << "a box never sinks below one step";

    MadeKind removed{};
    for (MadeKind expected : {MadeKind::Checkpoint, MadeKind::Wall, MadeKind::Occluder}) {
        ASSERT_TRUE(removeLastMade(world, edits, &removed));
        EXPECT_EQ(removed, expected);
    }
    EXPECT_FALSE(removeLastMade(world, edits));
    EXPECT_FALSE(raiseLastBox(world, edits, kHeightStep));
    EXPECT_TRUE(world.boxes.empty() && world.collisionBoxes.empty());
    EXPECT_EQ(world.checkpoints.size(), 2u) << "only what was made is taken back";
}

TEST(SceneEdit, TooFewPointsOrNoAreaMakeNothing)
{
    const std::vector<std::vector<PickedPoint>> cases = {
        {}, {{1, 2, 0}}, {{1, 2, 0}, {1, 9, 0}}, {{1, 2, 0}, {8, 2.02f, 0}}};
    for (const auto& points : cases) {
        World world;
        SceneEdits edits;
        std::string why;
        EXPECT_FALSE(makeFromPoints(world, edits, MadeKind::Occluder, points, why)) << points.size();
        EXPECT_FALSE(why.empty());
        EXPECT_TRUE(world.boxes.empty() && edits.made.empty());
    }
}

TEST(SceneEdit, TablePointOnRay)
{
    Vec3 p;
    ASSERT_TRUE(tablePointOnRay({0, 0, 100}, {10, 20, -100}, p));
    EXPECT_EQ(p, (Vec3{5, 10, 0}));
    EXPECT_FALSE(tablePointOnRay({0, 0, 100}, {10, 20, 100}, p)) << "parallel to the table";
    EXPECT_FALSE(tablePointOnRay({0, 0, 100}, {10, 20, 300}, p)) << "looking away from the table";
}

// Spacing, CRLF line ends, several items on one line, a signed count, empty
// sections and a PATTERN line naming another kind of file all stay as written.
TEST(SceneWriter, AddedEntriesReloadAndEveryOtherCharacterStays)
{
    SceneSections plain;
    plain.boxes = "BOXES 1\nBOX 0\nPOSITION 1 2 3\nSCALE 4 5 6\n";
    SceneSections odd = plain;
    odd.video = "VIDEO   clip.avi\n\n";
    odd.boxes = "BOXES +01  BOX 9 POSITION 1 2 3 SCALE 4 5 6\n";
    odd.checkpoints = "CHECKPOINTS\t1\nCHECKPOINT 0 POSITION 0 0 0 SCALE 10 10 10   \n";
    std::string crlf = odd.text();
    for (size_t at = crlf.find('\n'); at != std::string::npos; at = crlf.find('\n', at + 2)) crlf.insert(at, "\r");
    std::string mat = plain.text();
    mat.replace(mat.find("PATTERN marker.patt"), 19, "PATTERN mat.txt");

    for (const std::string& text : {plain.text(), odd.text(), crlf, mat}) {
        TempDir dir;
        Loaded before;
        loadInto(before, dir.write("Scene.txt", text));
        ASSERT_TRUE(before.ok) << before.reason << "\n" << text;
        EXPECT_EQ(editedSceneText(before.layout, before.world), text) << "nothing added, nothing changed";

        SceneEdits edits;
        makeOneOfEach(before.world, edits);
        const std::string edited = editedSceneText(before.layout, before.world);
        Loaded after;
        loadInto(after, dir.write("Edited.txt", edited));
        ASSERT_TRUE(after.ok) << after.reason << "\n" << edited;
        EXPECT_EQ(after.world.boxes.size(), 2u);
        EXPECT_EQ(after.world.boxes.back().size, before.world.boxes.back().size) << edited;
        EXPECT_EQ(after.world.boxes.back().centre, before.world.boxes.back().centre);
        EXPECT_EQ(after.world.collisionBoxes.back().size, before.world.collisionBoxes.back().size);
        EXPECT_EQ(after.world.checkpoints.back().number, 1);
        EXPECT_EQ(after.world.checkpoints.back().centre, before.world.checkpoints.back().centre);
        EXPECT_EQ(after.world.patternPath, before.world.patternPath);
        // The text before the first count and after the last section is the same.
        const size_t head = before.layout.boxes.countBegin, tail = text.size() - before.layout.checkpoints.end;
        EXPECT_EQ(edited.substr(0, head), text.substr(0, head));
        EXPECT_EQ(edited.substr(edited.size() - tail), text.substr(text.size() - tail));
        EXPECT_EQ(edited.find("\r\n") != std::string::npos, text.find("\r\n") != std::string::npos);
    }
}

// The first save keeps the file as loaded beside it, later saves leave that
// copy alone, and a file something else changed is not overwritten.
TEST(SceneWriter, SaveKeepsTheOldFileOnceAndLeavesAChangedFileAlone)
{
    TempDir dir;
    const std::string original = SceneSections{}.text();
    SceneFile file;
    file.path = dir.write("Scene.txt", original);
    Loaded loaded;
    loadInto(loaded, file.path);
    ASSERT_TRUE(loaded.ok) << loaded.reason;
    file.loaded = loaded.layout;
    file.onDisk = original;
    SceneEdits edits;
    std::string why;
    for (int save = 0; save < 2; ++save) {
        makeOneOfEach(loaded.world, edits);
        ASSERT_TRUE(saveEditedScene(file, loaded.world, why)) << why;
        EXPECT_EQ(readFile(file.path), editedSceneText(loaded.layout, loaded.world));
        EXPECT_EQ(readFile(file.path + ".bak"), original);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path), {}), 2) << "no temporary file left";

    dir.write("Scene.txt", original + "\n");
    makeOneOfEach(loaded.world, edits);
    EXPECT_FALSE(saveEditedScene(file, loaded.world, why));
    EXPECT_NE(why.find("changed"), std::string::npos) << why;
    EXPECT_EQ(readFile(file.path), original + "\n");
}
