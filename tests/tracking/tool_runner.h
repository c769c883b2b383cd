// Running a command-line tool from a test and reading what it printed.
#pragma once

#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct ToolRun {
    int status = -1;
    std::string out, err;
};

inline std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline ToolRun runTool(const std::string& commandLine, const std::string& scratch) {
    std::string outPath = scratch + ".out", errPath = scratch + ".err";
    std::string command = commandLine + " >" + outPath + " 2>" + errPath;
    int raw = std::system(command.c_str());
    ToolRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = readWholeFile(outPath);
    run.err = readWholeFile(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

// Each line of a tool's output read as one JSON document.
inline std::vector<nlohmann::json> jsonLines(const std::string& text) {
    std::vector<nlohmann::json> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
}
