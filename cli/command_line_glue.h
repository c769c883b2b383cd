#pragma once
// The conventions every rovanta program's command line follows, on CLI11:
// -h/--help and --version print to standard output and end with status 0; a
// usage error prints its reason and the usage to standard error and ends
// with status 2; numbers are read whole, in decimal, and checked against
// their range; an option given twice keeps its last value (an option that
// takes several values should say MultiOptionPolicy::Throw or TakeAll).
#include <CLI/CLI.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

inline constexpr const char* kRovantaVersion = "0.0.0.1";

// Sets up `app` (named after the program). `usage` replaces the generated
// usage line when the program has more than one form, as in
// "rovanta-mkpatt PICTURE.ppm OUT.patt\n       rovanta-mkpatt --default-marker OUT.ppm [SIDE]".
void setUpCommandLine(CLI::App& app, const std::string& usage = "");

// Parses the arguments after the program name. Returns nothing when the
// program should go on, otherwise the status it should end with.
std::optional<int> parseCommandLine(CLI::App& app, int argc, const char* const* argv);

struct NumberRange {
    double low;
    double high;
    bool lowExcluded = false;  // (low, high] rather than [low, high]
};

// An option that may be given several times, one value each time; all are
// kept in order. (Left to itself CLI11 lets such an option swallow the
// positional arguments after its value.)
CLI::Option* addRepeatable(CLI::App& app, const std::string& name, std::vector<std::string>& target,
                           const std::string& help);

// Strict readers: the whole text is the number, else CLI::ValidationError
// naming `what`. Whole numbers are decimal ("010" is ten); numbers are finite.
int64_t readWholeNumber(const std::string& text, int64_t low, int64_t high, const std::string& what);
double readNumber(const std::string& text, NumberRange range, const std::string& what);

// Options that read a number with the readers above into `target`.
CLI::Option* addWholeNumber(CLI::App& app, const std::string& name, int& target, int low, int high,
                            const std::string& help);
CLI::Option* addWholeNumber(CLI::App& app, const std::string& name, int64_t& target, int64_t low, int64_t high,
                            const std::string& help);
CLI::Option* addNumber(CLI::App& app, const std::string& name, double& target, NumberRange range,
                       const std::string& help);
