#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/file_path.h"
#include "platform/quoted_word.h"
#include "tracking/mat.h"
#include "tracking/pattern.h"

namespace {

constexpr const char* kMarkerForm = "MARKER <pattern file> <centre x> <centre y> <width>";
// Patterns at least this alike in some quarter turn would be taken for one another.
constexpr double kMaxPatternLikeness = 0.95;

struct LineReader {
    const char* matPath;
    int line = 0;
    std::string* why;

    bool fail(const std::string& reason) const {
        *why = std::string(matPath) + ":" + std::to_string(line) + ": " + reason;
        return false;
    }
};

std::vector<std::string> wordsBeforeComment(const std::string& text) {
    std::istringstream words(text.substr(0, text.find('#')));
    std::vector<std::string> out;
    for (std::string word; words >> word;) out.push_back(word);
    return out;
}

bool readNumber(const LineReader& r, const std::string& word, const char* what, double* value) {
    errno = 0;
    char* end = nullptr;
    *value = std::strtod(word.c_str(), &end);
    if (end == word.c_str() || *end != '\0' || errno == ERANGE || !std::isfinite(*value))
        return r.fail("bad number " + quotedWord(word) + " for the " + what + " (" + kMarkerForm + ")");
    return true;
}

// The pattern's name joined to the mat file's folder, unless it is absolute.
std::string besideMat(const char* matPath, const std::string& name) {
    const std::filesystem::path pattern(portablePath(name.c_str()));
    if (pattern.is_absolute()) return pattern.string();
    return (std::filesystem::path(portablePath(matPath)).parent_path() / pattern).string();
}

std::string sameFileKey(const std::string& path) {
    std::error_code ignored;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ignored);
    return canonical.empty() ? path : canonical.string();
}

bool overlaps(const MatMarker& a, const MatMarker& b) {
    const double reach = (a.width + b.width) / 2.0;
    return std::fabs(a.centre[0] - b.centre[0]) < reach && std::fabs(a.centre[1] - b.centre[1]) < reach;
}

bool checkAgainstEarlier(const LineReader& r, const Mat& mat, const MatMarker& m) {
    for (const MatMarker& earlier : mat.markers) {
        if (sameFileKey(earlier.patternPath) == sameFileKey(m.patternPath))
            return r.fail("pattern " + m.patternPath + " is already used on line " + std::to_string(earlier.line));
        if (overlaps(earlier, m)) return r.fail("marker overlaps the marker on line " + std::to_string(earlier.line));
    }
    if (mat.markers.size() >= static_cast<size_t>(kMaxPatterns))
        return r.fail("more than " + std::to_string(kMaxPatterns) + " markers (the tracker holds " +
                      std::to_string(kMaxPatterns) + " patterns)");
    return true;
}

bool readMarkerLine(const LineReader& r, const std::vector<std::string>& words, Mat* mat) {
    if (words[0] != "MARKER") return r.fail("unknown word " + quotedWord(words[0]) + " (expected " + kMarkerForm + ")");
    if (words.size() != 5)
        return r.fail("expected " + std::string(kMarkerForm) + ", found " + std::to_string(words.size() - 1) +
                      " values");
    MatMarker m;
    m.line = r.line;
    m.patternPath = besideMat(r.matPath, words[1]);
    if (!readNumber(r, words[2], "centre x", &m.centre[0]) || !readNumber(r, words[3], "centre y", &m.centre[1]) ||
        !readNumber(r, words[4], "width", &m.width))
        return false;
    if (!(m.width > 0.0)) return r.fail("width " + words[4] + " is not above 0");
    if (std::string problem = regularFileProblem(m.patternPath.c_str()); !problem.empty())
        return r.fail("pattern " + m.patternPath + ": " + problem);
    if (!checkAgainstEarlier(r, *mat, m)) return false;
    mat->markers.push_back(m);
    return true;
}

int loadedId(const std::vector<LoadedPattern>& loaded, const std::string& path) {
    for (const LoadedPattern& p : loaded)
        if (sameFileKey(p.path) == sameFileKey(path)) return p.id;
    return -1;
}

bool loadMarkerPattern(const Mat& mat, MatMarker& m, const std::vector<LoadedPattern>& loaded, std::string* why) {
    LineReader r{mat.path.c_str(), m.line, why};
    std::string reason;
    m.patternId = loadedId(loaded, m.patternPath);
    if (m.patternId < 0) m.patternId = loadPatternChecked(m.patternPath.c_str(), &reason);
    if (m.patternId < 0) return r.fail(reason);
    for (const MatMarker& earlier : mat.markers) {
        if (&earlier == &m) break;
        if (patternLikeness(earlier.patternId, m.patternId) >= kMaxPatternLikeness)
            return r.fail("pattern " + m.patternPath + " is too like the pattern on line " +
                          std::to_string(earlier.line) + " (" + earlier.patternPath +
                          "), in some quarter turn, for the tracker to tell them apart");
    }
    return true;
}

}  // namespace

bool isMatFile(const char* path) {
    std::FILE* file = openFile(path, "r");
    if (!file) return false;
    skipByteOrderMark(file);
    int c = std::fgetc(file);
    while (c != EOF && std::isspace(c)) c = std::fgetc(file);
    std::fclose(file);
    return c != EOF && !std::isdigit(c) && c != '-' && c != '+';
}

bool readMatFile(const char* path, Mat* mat, std::string* why) {
    std::vector<unsigned char> bytes;
    std::string problem;
    if (!readWholeFile(path, bytes, &problem, kMaxMatFileSize)) {
        mat->markers.clear();
        *why = std::string(path) + ": " + problem;
        return false;
    }
    return readMatText(std::string(bytes.begin(), bytes.end()), path, mat, why);
}

bool readMatText(const std::string& content, const char* path, Mat* mat, std::string* why) {
    mat->path = path;
    mat->markers.clear();
    std::istringstream text(content);
    LineReader r{path, 0, why};
    for (std::string line; std::getline(text, line);) {
        r.line++;
        if (r.line == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
        const std::vector<std::string> words = wordsBeforeComment(line);
        if (!words.empty() && !readMarkerLine(r, words, mat)) return false;
    }
    if (mat->markers.empty()) {
        *why = std::string(path) + ": no MARKER line (" + kMarkerForm + ")";
        return false;
    }
    return true;
}

bool loadMatPatterns(Mat* mat, std::string* why, const std::vector<LoadedPattern>& loaded) {
    for (MatMarker& m : mat->markers)
        if (!loadMarkerPattern(*mat, m, loaded, why)) return false;
    return true;
}

bool loadMat(const char* path, Mat* mat, std::string* why, const std::vector<LoadedPattern>& loaded) {
    return readMatFile(path, mat, why) && loadMatPatterns(mat, why, loaded);
}

int matMarkerIndex(const Mat& mat, int id) {
    for (size_t i = 0; i < mat.markers.size(); i++)
        if (mat.markers[i].patternId == id) return static_cast<int>(i);
    return -1;
}
