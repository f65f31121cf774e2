// Picture gestures without a window: handles, resizing, snapping, exact
// lengths in the default unit.
#include <gtest/gtest.h>

#include <algorithm>

#include "document/measurement.h"
#include "render/picture_gestures.h"

namespace {

Liner CardWithPicture() {
    Liner liner;
    liner.width.twips = 5760;
    liner.flapHeight.twips = 900;
    liner.titleHeight.twips = 720;
    liner.primaryHeight.twips = 3600;
    liner.titleFormat.left.twips = 180;
    Picture p;
    SetPictureRect(p, {1000, 2000, 1440, 720}, kUnitInches);
    liner.pictures.push_back(p);
    return liner;
}

TEST(PictureGestures, HandlesAndResizingFromEveryGrip) {
    const PicturePlace r{1000, 2000, 1440, 720};
    EXPECT_EQ(HandleAt(r, 1000 + 1440, 2000 + 360, 30), PictureHandle::Right);
    EXPECT_EQ(HandleAt(r, 1000 - 20, 2000 - 20, 30), PictureHandle::TopLeft);
    EXPECT_EQ(HandleAt(r, 1500, 2300, 30), PictureHandle::Body);
    EXPECT_EQ(HandleAt(r, 900, 2300, 30), PictureHandle::None);

    // The top-left corner keeps 2:1 and the bottom-right corner stays.
    const PicturePlace grown = ResizedRect(r, PictureHandle::TopLeft, -300, 0, false);
    EXPECT_EQ(grown.left, 700);
    EXPECT_EQ(grown.width, 1740);
    EXPECT_EQ(grown.height, 870);
    EXPECT_EQ(grown.depth + grown.height, 2720);
    // Free corners and edges; an edge dragged past its opposite stops short of it.
    const PicturePlace free = ResizedRect(r, PictureHandle::BottomRight, 100, 50, true);
    EXPECT_EQ(free.width, 1540);
    EXPECT_EQ(free.height, 770);
    const PicturePlace crushed = ResizedRect(r, PictureHandle::Top, 0, 5000, false);
    EXPECT_EQ(crushed.depth, 2720 - kSmallestPictureSide);
    EXPECT_EQ(crushed.height, kSmallestPictureSide);
    // A mirrored picture (negative width) stays mirrored.
    const PicturePlace mirrored = ResizedRect({2440, 2000, -1440, 720}, PictureHandle::Right, 60, 0, false);
    EXPECT_EQ(mirrored.left, 2500);
    EXPECT_EQ(mirrored.width, -1500);
}

TEST(PictureGestures, SnappingFindsTheNearestTargetWithinReach) {
    const Liner liner = CardWithPicture();
    SnapTargets t = CollectSnapTargets(liner, 0);
    // The picture itself is skipped; the title margin, the folds and the
    // centre lines are there.
    EXPECT_EQ(std::count(t.xs.begin(), t.xs.end(), 1000), 0);
    EXPECT_EQ(std::count(t.xs.begin(), t.xs.end(), 180), 1);
    EXPECT_EQ(std::count(t.xs.begin(), t.xs.end(), 2880), 1);
    EXPECT_EQ(std::count(t.depths.begin(), t.depths.end(), 1620), 1);
    EXPECT_EQ(std::count(t.depths.begin(), t.depths.end(), 1620 + 1800), 1);

    // The left edge 50 twips from the title margin; the centre 40 from the
    // liner's centre line wins, being nearer.
    SnapResult s = SnapMove({230, 2500, 1440, 720}, t, 75);
    EXPECT_EQ(s.rect.left, 180);
    EXPECT_EQ(*s.guideX, 180);
    EXPECT_FALSE(s.guideDepth.has_value());
    s = SnapMove({2880 - 720 + 40, 2500, 1440, 720}, t, 75);
    EXPECT_EQ(s.rect.left, 2880 - 720);
    s = SnapMove({600, 2500, 1440, 720}, t, 75);
    EXPECT_FALSE(s.guideX.has_value());
    EXPECT_EQ(s.rect.left, 600);

    // A proportional corner snaps its nearer edge and keeps 2:1.
    const PicturePlace start{1000, 2000, 1440, 720};
    t.xs = {4300};
    t.depths = {};
    s = SnapResize(start, PictureHandle::BottomRight, ResizedRect(start, PictureHandle::BottomRight, 1840, 0, false),
                   false, t, 75);
    EXPECT_EQ(s.rect.width, 3300);
    EXPECT_EQ(s.rect.height, 1650);
    EXPECT_EQ(*s.guideX, 4300);
}

TEST(PictureGestures, LengthsAreStoredExactlyInTheDefaultUnit) {
    // Three decimals of an inch cannot hold 2 twips; four can.
    const Measurement two = ExactLength(2, kUnitInches);
    EXPECT_EQ(two.twips, 2);
    EXPECT_EQ(ParseMeasurement(FormatMeasurement(two), false, kUnitInches)->twips, 2);
    EXPECT_EQ(ExactLength(567, kUnitCentimeters).whole, 1);
    // Only lengths that changed are written again.
    Picture p;
    p.width = *ParseMeasurement("1 in", false, kUnitInches);
    SetPictureRect(p, {20, 40, 1440, 720}, kUnitCentimeters);
    EXPECT_EQ(p.width.unit, kUnitInches);
    EXPECT_EQ(p.left.twips, 20);
    EXPECT_EQ(p.top.twips, -40);
    EXPECT_EQ(p.height.twips, -720);
    EXPECT_EQ(PictureRectOf(p).depth, 40);
}

}  // namespace
