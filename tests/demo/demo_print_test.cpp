// The printable demo mat: one A3 landscape page whose picture of the sheet,
// at the resolution asked for, fits the page with room for a printer's margin.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/scratch_dir.h"
#include "tracking/tool_runner.h"

namespace {

// The number that follows the first `key` in the text, or -1.
double numberAfter(const std::string& text, const std::string& key) {
    const size_t at = text.find(key);
    return at == std::string::npos ? -1 : std::strtod(text.c_str() + at + key.size(), nullptr);
}

TEST(DemoPrint, SheetFitsAnA3LandscapePageAtTheAskedResolution) {
    const std::string pdf = scratchPath("mat.pdf");
    const ToolRun run = runTool(std::string(ROVANTA_DEMOPRINT_PATH) + " --markers " + ROVANTA_DEMO_DIR +
                                    "/marker --dpi 100 " + pdf, scratchPath("run"));
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string text = readWholeFile(pdf);
    ASSERT_EQ(text.rfind("%PDF-", 0), 0u);
    const size_t box = text.find("/MediaBox [ 0 0 ");
    ASSERT_NE(box, std::string::npos);
    char* rest = nullptr;
    const double pageWidth = std::strtod(text.c_str() + box + 16, &rest);
    EXPECT_NEAR(pageWidth, 420 / 25.4 * 72, 0.01);
    EXPECT_NEAR(std::strtod(rest, nullptr), 297 / 25.4 * 72, 0.01);
    // The sheet is 540 x 330 units at 0.75 mm each.
    EXPECT_NEAR(numberAfter(text, "/Width "), 405 / 25.4 * 100, 1.0);
    EXPECT_NEAR(numberAfter(text, "/Height "), 247.5 / 25.4 * 100, 1.0);
}

}  // namespace
