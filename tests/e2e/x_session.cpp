#include "x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <thread>

#include "common/scratch_dir.h"

namespace {

bool onPath(const char* program) {
    const std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

bool runCapture(const std::string& command, std::string* output) {
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return false;
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    const int status = pclose(pipe);
    if (output) *output = text;
    return status == 0;
}

pid_t spawn(const std::vector<std::string>& argv, const std::string& workingDir,
            const std::string& display, const std::string& logPath,
            const std::vector<std::string>& environment = {}) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    if (!workingDir.empty() && chdir(workingDir.c_str()) != 0) _exit(127);
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    for (const std::string& setting : environment) putenv(const_cast<char*>(setting.c_str()));
    // In sanitizer builds: Mesa's software renderer keeps allocations (JIT code
    // among them) to the end of the process, which the leak checker would blame
    // on the game; memory errors are still caught.
    const char* asan = getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string(asan ? asan : "") + ":detect_leaks=0").c_str(), 1);
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log >= 0) {
        dup2(log, 1);
        dup2(log, 2);
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

void sleepSeconds(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

// One line from a pipe, or "" when nothing complete arrived within the time.
std::string readLine(int fd, double timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    std::string line;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        char c = 0;
        if (read(fd, &c, 1) != 1) return "";
        if (c == '\n') return line;
        line += c;
    }
    return "";
}

// Header tokens, skipping the comment lines that converters like to add.
std::string nextToken(std::istringstream& in) {
    std::string token;
    while (in >> token) {
        if (token[0] != '#') return token;
        std::string rest;
        std::getline(in, rest);
    }
    return "";
}

bool readPpm(const std::string& data, Screenshot* shot) {
    std::istringstream in(data);
    const std::string magic = nextToken(in);
    shot->width = std::atoi(nextToken(in).c_str());
    shot->height = std::atoi(nextToken(in).c_str());
    const int maxValue = std::atoi(nextToken(in).c_str());
    if (magic != "P6" || shot->width <= 0 || shot->height <= 0 || maxValue != 255) return false;
    in.get();
    const size_t bytes = static_cast<size_t>(shot->width) * shot->height * 3;
    shot->rgb.resize(bytes);
    in.read(reinterpret_cast<char*>(shot->rgb.data()), static_cast<std::streamsize>(bytes));
    return static_cast<size_t>(in.gcount()) == bytes;
}

}  // namespace

bool toolsAvailable(std::string* missing) {
    for (const char* tool : {"Xvfb", "xdotool", "xwd", "convert"}) {
        if (!onPath(tool)) {
            *missing = tool;
            return false;
        }
    }
    return true;
}

XSession::~XSession() {
    if (program_ > 0) {
        kill(program_, SIGKILL);
        waitpid(program_, nullptr, 0);
    }
    if (server_ > 0) {
        kill(server_, SIGTERM);
        waitpid(server_, nullptr, 0);
    }
}

// The server claims its display itself (a second server on a display in use
// gives up), and says when it accepts connections, so parallel runs never
// share a display. Numbers from 71 leave the usual ones to people. It does
// not reset when its last client leaves, which would refuse a game that
// connects just then.
bool XSession::startServer() {
    for (int n = 71; n < 120; ++n) {
        int fds[2];
        if (pipe(fds) != 0) return false;
        const pid_t server = spawn({"Xvfb", ":" + std::to_string(n), "-displayfd", std::to_string(fds[1]), "-noreset",
                                    "-screen", "0", "1280x1024x24", "+extension", "GLX", "-nolisten", "tcp"},
                                   "", "", scratchPath("xvfb.log"));
        close(fds[1]);
        const std::string number = readLine(fds[0], 20.0);
        close(fds[0]);
        if (!number.empty()) {
            server_ = server;
            displayNumber_ = std::atoi(number.c_str());
            return true;
        }
        kill(server, SIGTERM);
        waitpid(server, nullptr, 0);
    }
    return false;
}

bool XSession::startProgram(const std::string& binary, const std::string& workingDir,
                            const std::vector<std::string>& args, const std::string& logPath,
                            const std::vector<std::string>& environment) {
    std::vector<std::string> argv{binary};
    argv.insert(argv.end(), args.begin(), args.end());
    logPath_ = logPath.empty() ? scratchPath("game.log") : logPath;
    program_ = spawn(argv, workingDir, display(), logPath_, environment);
    return program_ > 0;
}

std::string XSession::programLog() const { return logPath_; }

bool XSession::xdotool(const std::string& arguments, std::string* output) const {
    return runCapture("DISPLAY=" + display() + " xdotool " + arguments + " 2>/dev/null", output);
}

bool XSession::findWindow(const std::string& title, double timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        std::string ids;
        if (xdotool("search --name '^" + title + "$'", &ids) && !ids.empty()) {
            windowId_ = ids.substr(0, ids.find('\n'));
            return xdotool("windowfocus --sync " + windowId_);
        }
        sleepSeconds(0.2);
    }
    return false;
}

WindowGeometry XSession::geometry() const {
    std::string text;
    WindowGeometry g;
    if (!xdotool("getwindowgeometry --shell " + windowId_, &text)) return g;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        const int value = std::atoi(line.c_str() + eq + 1);
        if (key == "X") g.x = value;
        if (key == "Y") g.y = value;
        if (key == "WIDTH") g.width = value;
        if (key == "HEIGHT") g.height = value;
    }
    return g;
}

bool XSession::key(const std::string& keyName) {
    return xdotool("windowfocus --sync " + windowId_ + " key " + keyName);
}
bool XSession::keyDown(const std::string& keyName) {
    return xdotool("windowfocus --sync " + windowId_ + " keydown " + keyName);
}
bool XSession::keyUp(const std::string& keyName) {
    return xdotool("windowfocus --sync " + windowId_ + " keyup " + keyName);
}

bool XSession::click(int x, int y) {
    return xdotool("windowfocus --sync " + windowId_ + " mousemove --sync --window " + windowId_ + " " +
                   std::to_string(x) + " " + std::to_string(y) + " click 1");
}

bool XSession::screenshot(Screenshot* shot) const {
    std::string ppm;
    if (!runCapture("xwd -root -silent -display " + display() + " | convert xwd:- ppm:-", &ppm))
        return false;
    return readPpm(ppm, shot);
}

int XSession::waitForExit(double timeoutSeconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t done = waitpid(program_, &status, WNOHANG);
        if (done == program_) {
            program_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        sleepSeconds(0.1);
    }
    return -1;
}
