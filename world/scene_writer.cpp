#include "world/scene_writer.h"

#include "platform/file_path.h"
#include "platform/file_replace.h"
#include "world/scene_reader.h"

#include <charconv>
#include <vector>

namespace {

// The shortest text that reads back as the same float.
std::string number(double value) {
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, static_cast<float>(value), std::chars_format::fixed);
    const std::string result(text, written.ptr);
    return result == "-0" ? "0" : result;
}

std::string vec3Line(const char* keyword, const Vec3& v) {
    return std::string(keyword) + " " + number(v.x) + " " + number(v.y) + " " + number(v.z);
}

template <typename Record>
std::string entryLines(const std::string& header, const Record& record, const std::string& eol) {
    return eol + header + eol + vec3Line("POSITION", record.centre) + eol + vec3Line("SCALE", record.size);
}

template <typename BoxRecord>
std::string addedBoxes(const std::vector<BoxRecord>& list, const SceneSectionPlace& place, const std::string& eol) {
    std::string lines;
    for (std::size_t i = static_cast<std::size_t>(place.count); i < list.size(); ++i)
        lines += entryLines("BOX " + std::to_string(i), list[i], eol);
    return lines;
}

std::string addedCheckpoints(const World& world, const SceneSectionPlace& place, const std::string& eol) {
    std::string lines;
    for (std::size_t i = static_cast<std::size_t>(place.count); i < world.checkpoints.size(); ++i)
        lines += entryLines("CHECKPOINT " + std::to_string(world.checkpoints[i].number), world.checkpoints[i], eol);
    return lines;
}

// Copies the text up to the section's end with its count changed to `total`,
// then the added entries.
struct TextEditor {
    const std::string& text;
    std::string out;
    std::size_t copied = 0;

    void section(const SceneSectionPlace& place, std::size_t total, const std::string& added) {
        if (total == static_cast<std::size_t>(place.count)) return;
        out.append(text, copied, place.countBegin - copied);
        out += std::to_string(total);
        out.append(text, place.countEnd, place.end - place.countEnd);
        out += added;
        copied = place.end;
    }
};

bool listsHoldLoadedEntries(const SceneLayout& layout, const World& world) {
    return layout.boxes.count >= 0 && layout.collisionBoxes.count >= 0 && layout.checkpoints.count >= 0 &&
           world.boxes.size() >= static_cast<std::size_t>(layout.boxes.count) &&
           world.collisionBoxes.size() >= static_cast<std::size_t>(layout.collisionBoxes.count) &&
           world.checkpoints.size() >= static_cast<std::size_t>(layout.checkpoints.count);
}

bool replaceWith(const std::string& path, const std::string& text, std::string& why) {
    std::string cause;
    if (replaceFile(path.c_str(), text.data(), text.size(), &cause)) return true;
    why = "cannot write " + path + ": " + cause;
    return false;
}

}  // namespace

std::string editedSceneText(const SceneLayout& layout, const World& world) {
    const std::string eol = layout.text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    TextEditor editor{layout.text, {}};
    editor.section(layout.boxes, world.boxes.size(), addedBoxes(world.boxes, layout.boxes, eol));
    editor.section(layout.collisionBoxes, world.collisionBoxes.size(),
                   addedBoxes(world.collisionBoxes, layout.collisionBoxes, eol));
    editor.section(layout.checkpoints, world.checkpoints.size(), addedCheckpoints(world, layout.checkpoints, eol));
    editor.out.append(layout.text, editor.copied);
    return editor.out;
}

bool saveEditedScene(SceneFile& file, const World& world, std::string& why) {
    const std::string path = portablePath(file.path.c_str());
    std::vector<unsigned char> bytes;
    std::string cause;
    if (!readWholeFile(path.c_str(), bytes, &cause, static_cast<long>(kMaxSceneFileSize))) {
        why = "cannot read " + path + " again: " + cause;
        return false;
    }
    if (std::string(bytes.begin(), bytes.end()) != file.onDisk) {
        why = path + " was changed by something else since the game read it; it is left as it is";
        return false;
    }
    if (!listsHoldLoadedEntries(file.loaded, world)) {
        why = "the world no longer holds every entry of " + path;
        return false;
    }
    const std::string text = editedSceneText(file.loaded, world);
    if (!file.backupKept && !replaceWith(path + ".bak", file.loaded.text, why)) return false;
    file.backupKept = true;
    if (!replaceWith(path, text, why)) return false;
    file.onDisk = text;
    return true;
}
