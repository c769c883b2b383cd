#include "command_line_glue.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>

namespace {

// Prints a fixed usage text instead of the generated one.
class FixedUsageFormatter : public CLI::Formatter {
  public:
    explicit FixedUsageFormatter(std::string usage) : usage_(std::move(usage)) {}
    std::string make_usage(const CLI::App*, std::string) const override { return "Usage: " + usage_ + "\n"; }

  private:
    std::string usage_;
};

std::string withoutPlusSign(const std::string& text) {
    return !text.empty() && text[0] == '+' ? text.substr(1) : text;
}

std::string shortNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string describeWhole(int64_t low, int64_t high) {
    if (high == std::numeric_limits<int64_t>::max()) return "a whole number of at least " + std::to_string(low);
    return "a whole number from " + std::to_string(low) + " to " + std::to_string(high);
}

std::string describeNumber(NumberRange range) {
    std::string text = "a number " + std::string(range.lowExcluded ? "above " : "of at least ") + shortNumber(range.low);
    if (range.high < std::numeric_limits<double>::max()) text += " and at most " + shortNumber(range.high);
    return text;
}

template <typename Whole>
CLI::Option* addWhole(CLI::App& app, const std::string& name, Whole& target, int64_t low, int64_t high,
                      const std::string& help) {
    CLI::Option* option = app.add_option_function<std::string>(
        name, [&target, low, high, name](const std::string& text) {
            target = static_cast<Whole>(readWholeNumber(text, low, high, name));
        },
        help);
    return option->type_name("N");
}

}  // namespace

void setUpCommandLine(CLI::App& app, const std::string& usage) {
    app.set_help_flag("-h,--help", "Print this help and exit");
    app.set_version_flag("--version", app.get_name() + " " + kRovantaVersion, "Print the version and exit");
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    if (!usage.empty()) app.formatter(std::make_shared<FixedUsageFormatter>(usage));
}

std::optional<int> parseCommandLine(CLI::App& app, int argc, const char* const* argv) {
    try {
        app.parse(argc, argv);
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e);
        std::cout.flush();
        std::cerr << app.get_name() << ": " << e.what() << "\n" << app.help();
        return 2;
    }
}

CLI::Option* addRepeatable(CLI::App& app, const std::string& name, std::vector<std::string>& target,
                           const std::string& help) {
    return app.add_option(name, target, help)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false);
}

int64_t readWholeNumber(const std::string& text, int64_t low, int64_t high, const std::string& what) {
    const std::string digits = withoutPlusSign(text);
    int64_t value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, failure] = std::from_chars(digits.data(), end, value, 10);
    if (digits.empty() || failure != std::errc() || stop != end || value < low || value > high)
        throw CLI::ValidationError(what, "needs " + describeWhole(low, high) + ", not \"" + text + "\"");
    return value;
}

double readNumber(const std::string& text, NumberRange range, const std::string& what) {
    const std::string digits = withoutPlusSign(text);
    double value = 0.0;
    const char* end = digits.data() + digits.size();
    const auto [stop, failure] = std::from_chars(digits.data(), end, value);
    const bool aboveLow = range.lowExcluded ? value > range.low : value >= range.low;
    if (digits.empty() || failure != std::errc() || stop != end || !std::isfinite(value) || !aboveLow ||
        value > range.high)
        throw CLI::ValidationError(what, "needs " + describeNumber(range) + ", not \"" + text + "\"");
    return value;
}

CLI::Option* addWholeNumber(CLI::App& app, const std::string& name, int& target, int low, int high,
                            const std::string& help) {
    return addWhole(app, name, target, low, high, help);
}

CLI::Option* addWholeNumber(CLI::App& app, const std::string& name, int64_t& target, int64_t low, int64_t high,
                            const std::string& help) {
    return addWhole(app, name, target, low, high, help);
}

CLI::Option* addNumber(CLI::App& app, const std::string& name, double& target, NumberRange range,
                       const std::string& help) {
    CLI::Option* option = app.add_option_function<std::string>(
        name, [&target, range, name](const std::string& text) { target = readNumber(text, range, name); }, help);
    return option->type_name("X");
}
