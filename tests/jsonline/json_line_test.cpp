#include "json_line.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

const JsonLineStyle kCompact{",", ":", 17};
const JsonLineStyle kSpaced{", ", ": ", 10};

TEST(JsonLine, KeepsKeyOrderAndTheFixedNumberForm) {
    JsonDocument line;
    line["z"] = 1;
    line["a"] = 0.1;
    line["whole"] = 210.0;
    line["tiny"] = 1.2246467991473532e-16;
    line["list"] = JsonDocument::array({-0.5, true, nullptr, "x"});
    line["nested"]["n"] = -7;
    EXPECT_EQ(jsonLine(line, kCompact),
              "{\"z\":1,\"a\":0.10000000000000001,\"whole\":210,\"tiny\":1.2246467991473532e-16,"
              "\"list\":[-0.5,true,null,\"x\"],\"nested\":{\"n\":-7}}");
    EXPECT_EQ(jsonLine(line, kSpaced),
              "{\"z\": 1, \"a\": 0.1, \"whole\": 210, \"tiny\": 1.224646799e-16, "
              "\"list\": [-0.5, true, null, \"x\"], \"nested\": {\"n\": -7}}");
    EXPECT_EQ(jsonLine(JsonDocument::array(), kSpaced), "[]");
}

TEST(JsonLine, NumbersJsonCannotHoldBecomeNull) {
    const double inf = std::numeric_limits<double>::infinity();
    const JsonDocument values = JsonDocument::array({std::numeric_limits<double>::quiet_NaN(), inf, -inf, 1e308});
    EXPECT_EQ(jsonLine(values, kCompact), "[null,null,null,1e+308]");
}

TEST(JsonLine, StringsAreEscapedAndStayValidUtf8) {
    const JsonDocument values = JsonDocument::array({"a\"b\\c", "tab\tline\n\x01", "caf\xC3\xA9", "bad\xFFz"});
    const std::string line = jsonLine(values, kCompact);
    EXPECT_EQ(line, "[\"a\\\"b\\\\c\",\"tab\\tline\\n\\u0001\",\"caf\xC3\xA9\",\"bad\xEF\xBF\xBDz\"]");
    EXPECT_EQ(nlohmann::json::parse(line)[1], "tab\tline\n\x01");
}

}  // namespace
