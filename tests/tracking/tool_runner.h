// Running a command-line tool from a test and reading what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <regex>
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

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    for (std::string line; std::getline(s, line);) lines.push_back(line);
    return lines;
}

// All numbers in the first "key": [...] (or scalar) value of a JSON line, in order.
inline std::vector<double> jsonNumbers(const std::string& text, const std::string& key, size_t from = 0) {
    std::vector<double> values;
    size_t at = text.find("\"" + key + "\": ", from);
    if (at == std::string::npos) return values;
    at += key.size() + 4;
    int depth = 0;
    size_t end = at;
    for (; end < text.size(); end++) {
        char c = text[end];
        if (c == '[') depth++;
        if (c == ']') depth--;
        if ((c == ',' || c == '}') && depth == 0) break;
        if (c == ']' && depth == 0) {
            end++;
            break;
        }
    }
    std::string value = text.substr(at, end - at);
    std::regex number(R"(-?[0-9]+(\.[0-9]+)?([eE][-+]?[0-9]+)?)");
    for (auto it = std::sregex_iterator(value.begin(), value.end(), number); it != std::sregex_iterator(); ++it)
        values.push_back(std::stod(it->str()));
    return values;
}
