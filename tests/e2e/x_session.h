#pragma once
// A private X server with the game running in it, driven the way a person
// would: find the window, press keys, take screenshots.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // row 0 at the top
    const uint8_t* pixel(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

struct WindowGeometry {
    int x = 0, y = 0, width = 0, height = 0;
};

bool toolsAvailable(std::string* missing);

class XSession {
public:
    ~XSession();
    bool startServer();
    // The program's standard output and error go to `logPath` (by default
    // programLog()); `environment` holds NAME=VALUE settings added to its own.
    bool startProgram(const std::string& binary, const std::string& workingDir,
                      const std::vector<std::string>& args, const std::string& logPath = "",
                      const std::vector<std::string>& environment = {});
    bool findWindow(const std::string& title, double timeoutSeconds);
    WindowGeometry geometry() const;
    bool key(const std::string& keyName);  // press and release
    bool keyDown(const std::string& keyName);
    bool keyUp(const std::string& keyName);
    bool click(int x, int y);  // left button, at a window pixel
    bool screenshot(Screenshot* shot) const;
    // Exit status of the program, or -1 when it has not ended within the time.
    int waitForExit(double timeoutSeconds);
    std::string display() const { return ":" + std::to_string(displayNumber_); }
    // Where the program's standard output and error go.
    std::string programLog() const;

private:
    bool xdotool(const std::string& arguments, std::string* output = nullptr) const;
    int displayNumber_ = -1;
    pid_t server_ = -1;
    pid_t program_ = -1;
    std::string windowId_;
    std::string logPath_;
};
