// The sample wizard's geometry: the working picture's size limit and the picture's place and
// scale in the picture area.

#include "app/enrolment/display_mapping.h"
#include "app/enrolment/sample_picture.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

namespace enrolment {
namespace {

TEST(LimitPictureSide, LongerSideBecomesTheLimitAndTheOtherIsRounded) {
    struct Case {
        cv::Size in, out;
    };
    for (const Case& c :
         {Case{{4000, 3000}, {1920, 1440}}, Case{{3000, 4000}, {1440, 1920}}, Case{{1921, 1000}, {1920, 999}},
          Case{{1986, 1545}, {1920, 1494}}, Case{{20000, 5}, {1920, 1}}}) {
        const cv::Mat picture(c.in, CV_8UC3, cv::Scalar(10, 20, 30));
        const cv::Mat limited = LimitPictureSide(picture, kMaxWorkingSide);
        EXPECT_EQ(limited.size(), c.out) << c.in;
        EXPECT_EQ(limited.type(), CV_8UC3);
        EXPECT_EQ(limited.at<cv::Vec3b>(0, 0), cv::Vec3b(10, 20, 30));
    }
    // At or below the limit the picture is not touched.
    const cv::Mat exact(1920, 1920, CV_8UC3);
    EXPECT_EQ(LimitPictureSide(exact, kMaxWorkingSide).data, exact.data);
}

TEST(DisplayMapping, FitsTheLimitingSideCentresAndScalesRectangles) {
    // Fits: shown as it is, centred.
    const DisplayMapping small({400, 300}, {640, 480});
    EXPECT_EQ(small.DisplaySize(), cv::Size(400, 300));
    EXPECT_EQ(small.Origin(), cv::Point(120, 90));
    EXPECT_EQ(small.ScaleX(), 1.0);
    EXPECT_EQ(small.ToDisplay({25, 75, 150, 150}), cv::Rect(25, 75, 150, 150));

    // Same aspect as the area: both factors 3.
    const DisplayMapping same({1920, 1440}, {640, 480});
    EXPECT_EQ(same.DisplaySize(), cv::Size(640, 480));
    EXPECT_EQ(same.Origin(), cv::Point(0, 0));
    EXPECT_EQ(same.ScaleX(), 3.0);
    EXPECT_EQ(same.ScaleY(), 3.0);
    EXPECT_EQ(same.ToDisplay({301, 448, 299, 301}), cv::Rect(100, 149, 100, 100));

    // Relatively taller than the area: the height limits, the width is rounded (616.87).
    const DisplayMapping tall({1920, 1494}, {640, 480});
    EXPECT_EQ(tall.DisplaySize(), cv::Size(617, 480));
    EXPECT_EQ(tall.Origin(), cv::Point(11, 0));
    EXPECT_DOUBLE_EQ(tall.ScaleX(), 1920.0 / 617);
    EXPECT_DOUBLE_EQ(tall.ScaleY(), 1494.0 / 480);

    // Relatively wider: the width limits.
    const DisplayMapping wide({1000, 300}, {640, 480});
    EXPECT_EQ(wide.DisplaySize(), cv::Size(640, 192));
    EXPECT_EQ(wide.Origin(), cv::Point(0, 144));
    EXPECT_DOUBLE_EQ(wide.ScaleX(), 1000.0 / 640);
    EXPECT_DOUBLE_EQ(wide.ScaleY(), 300.0 / 192);

    // Larger in one direction only still shrinks.
    EXPECT_EQ(DisplayMapping({300, 960}, {640, 480}).DisplaySize(), cv::Size(150, 480));
}

}  // namespace
}  // namespace enrolment
