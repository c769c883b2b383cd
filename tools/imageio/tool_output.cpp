#include "tool_output.h"

#include <filesystem>
#include <system_error>

#include "picture_header.h"
#include "platform/file_path.h"

namespace fs = std::filesystem;

namespace {

// By any name or link; two names of a file not made yet, by where they lead.
bool sameFile(const std::string& a, const std::string& b) {
    const fs::path pa(portablePath(a.c_str())), pb(portablePath(b.c_str()));
    std::error_code error, again;
    if (fs::equivalent(pa, pb, error) && !error) return true;
    return fs::weakly_canonical(fs::absolute(pa), error) == fs::weakly_canonical(fs::absolute(pb), again) && !error &&
           !again;
}

// A file that is there must be one a rename can replace; a new one needs its folder.
std::string placeProblem(const std::string& output) {
    const fs::path path(portablePath(output.c_str()));
    std::error_code error;
    if (fs::exists(path, error)) {
        const std::string problem = regularFileProblem(output.c_str());
        return problem.empty() ? "" : output + ": " + problem;
    }
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    return fs::is_directory(folder, error) ? "" : output + ": the folder " + folder.string() + " does not exist";
}

}  // namespace

std::string outputProblem(const std::string& output, const std::vector<std::string>& inputs, const std::string& what,
                          const std::string& writes) {
    for (const std::string& input : inputs)
        if (sameFile(output, input))
            return output + " is also an input; name a new file for " + what + " to be written to";
    if (const std::string problem = placeProblem(output); !problem.empty()) return problem;
    const std::string picture = pictureFormatOf(output), video = picture.empty() ? videoFormatOf(output) : "";
    const std::string format = picture.empty() ? video : picture;
    if (format.empty() || format == writes) return "";
    return output + " holds a " + (picture.empty() ? "video" : "picture") + " (" + format + "), which " + what +
           " would replace; name the file to write explicitly (was an output name forgotten?)";
}
