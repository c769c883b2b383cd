// The printable demo mat: one A3 landscape page whose picture of the sheet,
// at the resolution asked for, fits the page with room for a printer's margin.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "common/scratch_dir.h"
#include "tracking/tool_runner.h"

namespace {

double number(const std::string& text, const std::string& pattern) {
    std::smatch m;
    return std::regex_search(text, m, std::regex(pattern)) ? std::stod(m[1]) : -1;
}

TEST(DemoPrint, SheetFitsAnA3LandscapePageAtTheAskedResolution) {
    const std::string pdf = scratchPath("mat.pdf");
    const ToolRun run = runTool(std::string(ROVANTA_DEMOPRINT_PATH) + " --markers " + ROVANTA_DEMO_DIR +
                                    "/marker --dpi 100 " + pdf, scratchPath("run"));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string text = readWholeFile(pdf);
    ASSERT_EQ(text.rfind("%PDF-", 0), 0u);
    const double pageWidth = number(text, R"(/MediaBox \[ 0 0 ([0-9.]+) )");
    const double pageHeight = number(text, R"(/MediaBox \[ 0 0 [0-9.]+ ([0-9.]+) \])");
    EXPECT_NEAR(pageWidth, 420 / 25.4 * 72, 0.01);
    EXPECT_NEAR(pageHeight, 297 / 25.4 * 72, 0.01);
    // The sheet is 540 x 330 units at 0.75 mm each.
    EXPECT_NEAR(number(text, R"(/Width ([0-9]+))"), 405 / 25.4 * 100, 1.0);
    EXPECT_NEAR(number(text, R"(/Height ([0-9]+))"), 247.5 / 25.4 * 100, 1.0);
}

}  // namespace
