#include "tool_output.h"

#include <filesystem>
#include <system_error>

#include "picture_header.h"
#include "platform/file_path.h"

namespace {

bool sameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    return std::filesystem::equivalent(portablePath(a.c_str()), portablePath(b.c_str()), error) && !error;
}

}  // namespace

std::string outputProblem(const std::string& output, const std::vector<std::string>& inputs, const std::string& what) {
    for (const std::string& input : inputs)
        if (sameFile(output, input))
            return output + " is also an input; name a new file for " + what + " to be written to";
    const std::string format = pictureFormatOf(output);
    if (!format.empty())
        return output + " holds a " + format + " picture, which " + what +
               " would replace; name the file to write explicitly (was an output name forgotten?)";
    return "";
}
