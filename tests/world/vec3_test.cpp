#include "world/list_search.h"
#include "world/records.h"
#include "world/vec3.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

TEST(Vec3Normalize, ZeroStaysZeroAndOthersGetUnitLength)
{
    EXPECT_EQ(normalized(Vec3{}), (Vec3{}));
    const Vec3 n = normalized(Vec3{3, 0, 4});
    EXPECT_DOUBLE_EQ(n.x, 0.6);
    EXPECT_DOUBLE_EQ(n.z, 0.8);
    Vec3 tiny{1e-150, 0, 0};
    normalize(tiny);
    EXPECT_DOUBLE_EQ(tiny.x, 1.0);
    Vec3 underflowing{1e-300, 0, 0};  // its squared length rounds to exactly 0
    normalize(underflowing);
    EXPECT_EQ(underflowing.x, 1e-300);
    Vec3 notANumber{NAN, 1, 0};
    normalize(notANumber);
    EXPECT_TRUE(std::isnan(notANumber.y));
}

TEST(Vec3Rotate, UsesSinglePrecisionCosineAndSine)
{
    Vec3 v{1, 0, 0};
    const Vec3 copy = rotateZ(v, 5.0f);
    EXPECT_EQ(v.x, 0.9961947202682495);
    EXPECT_EQ(v.y, 0.08715574443340302);
    EXPECT_EQ(copy, v);
    rotateZ(v, -5.0f);
    EXPECT_EQ(v.x, 1.0000000444780766);
    EXPECT_EQ(v.y, 0.0);
}

TEST(Vec3Rotate, EachProductIsRoundedBeforeTheSum)
{
    // A heading after a few steering steps; a fused multiply-add in the
    // rotation would give -0.42261830758516666 here.
    Vec3 v{-0.34202017279769387, 0.93969270472413136, 0};
    rotateZ(v, 5.0f);
    EXPECT_EQ(v.x, -0.4226183075851666);
    EXPECT_EQ(v.y, 0.9063078883493466);
}

TEST(Vec3Rotate, NewYUsesOldXAndZIsUntouched)
{
    Vec3 v{2, 3, 7};
    rotateZ(v, 90.0f);
    const double c = static_cast<float>(std::cos(degToRad(90.0)));
    EXPECT_EQ(v.x, c * 2 - 3);
    EXPECT_EQ(v.y, 2 + c * 3);
    EXPECT_EQ(v.z, 7);
}

TEST(Vec3Angles, ConversionOrderAndUnclampedAcos)
{
    EXPECT_EQ(degToRad(5.0), 5.0 / 180.0 * 3.141592653589793);
    EXPECT_EQ(radToDeg(0.1), 0.1 * 180.0 / 3.141592653589793);
    EXPECT_NEAR(angleBetween({1, 0, 0}, {0, 2, 0}), kPi / 2, 1e-15);
    const Vec3 v{0.1, 0.7, 0.3};
    const double same = angleBetween(v, v);
    EXPECT_TRUE(std::isnan(same) || same == 0.0 || same < 1e-7);
}

TEST(Vec3Project, ComponentAlongAxisAndZeroAxisGivesNaN)
{
    const Vec3 p = projectOnto({3, 4, 5}, {2, 0, 0});
    EXPECT_DOUBLE_EQ(p.x, 3);
    EXPECT_EQ(p.y, 0);
    const Vec3 bad = projectOnto({3, 4, 5}, {});
    EXPECT_TRUE(std::isnan(bad.x) && std::isnan(bad.y) && std::isnan(bad.z));
}

TEST(ListSearch, TiesGoToTheFirstAndEmptyListsGiveEnd)
{
    std::vector<RoutePoint> route(4);
    const int indices[] = {3, 1, 2, 1};
    for (int i = 0; i < 4; ++i) {
        route[i].index = indices[i];
    }
    route.push_back(RoutePoint{{}, 0.0f, 3});
    auto key = [](const RoutePoint& p) { return p.index; };
    EXPECT_EQ(firstWithSmallest(route, key) - route.begin(), 1);
    EXPECT_EQ(firstWithLargest(route, key) - route.begin(), 0);
    std::vector<RoutePoint> empty;
    EXPECT_EQ(firstWithSmallest(empty, key), empty.end());
    EXPECT_EQ(firstWithLargest(empty, key), empty.end());
}
