#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "document/liner.h"
#include "render/geometry.h"

namespace {

Measurement Twips(int twips) {
    Measurement m;
    m.twips = static_cast<int16_t>(twips);
    return m;
}

// A 4-inch wide card: flap 1 in, spine 0.5 in, primary 2.5625 in.
Liner StandardCard() {
    Liner liner;
    liner.width = Twips(5760);
    liner.flapHeight = Twips(1440);
    liner.titleHeight = Twips(720);
    liner.primaryHeight = Twips(3690);
    liner.overflowHeight = Twips(0);
    liner.overflowCount = 0;
    return liner;
}

// Flap 360, title 720, primary 3600 and `count` overflow areas of 1800.
Liner WithOverflow(int count) {
    Liner liner;
    liner.width = Twips(5040);
    liner.flapHeight = Twips(360);
    liner.titleHeight = Twips(720);
    liner.primaryHeight = Twips(3600);
    liner.overflowHeight = Twips(1800);
    liner.overflowCount = static_cast<int16_t>(count);
    return liner;
}

LinerGeometry Inverted(Liner liner) {
    liner.invertImage = 1;
    return ComputeLinerGeometry(liner);
}

TwipSegment Seg(int x0, int d0, int x1, int d1) {
    return {{x0, d0}, {x1, d1}};
}

// ---- Area stack -------------------------------------------------------------

TEST(AreaStack, StandardCardInEitherOrder) {
    LinerGeometry g = ComputeLinerGeometry(StandardCard());
    EXPECT_EQ(g.totalHeight, 5850);
    EXPECT_EQ(PrimarySpan(g), (DepthSpan{2160, 5850}));
    EXPECT_EQ(PaperRect(g), (TwipRect{0, 0, 5761, 5851}));
    // Inverted, the flap ends at the bottom edge line.
    g = Inverted(StandardCard());
    EXPECT_EQ(FlapSpan(g), (DepthSpan{4411, 5851}));
    EXPECT_EQ(TitleSpan(g), (DepthSpan{3691, 4411}));
    EXPECT_EQ(PrimarySpan(g), (DepthSpan{1, 3691}));
    EXPECT_EQ(g.primaryTop, 1);
}

TEST(AreaStack, OverflowAreasBothOrders) {
    LinerGeometry normal = ComputeLinerGeometry(WithOverflow(2));
    EXPECT_EQ(normal.firstOverflowTop, 4680);
    EXPECT_EQ(SongAreaSpan(normal, 0), PrimarySpan(normal));
    EXPECT_EQ(SongAreaSpan(normal, 2), (DepthSpan{6480, 8280}));

    LinerGeometry inverted = Inverted(WithOverflow(1));
    EXPECT_EQ(inverted.totalHeight, 6480);
    EXPECT_EQ(FlapSpan(inverted), (DepthSpan{6121, 6481}));
    EXPECT_EQ(TitleSpan(inverted), (DepthSpan{5401, 6121}));
    EXPECT_EQ(PrimarySpan(inverted), (DepthSpan{1801, 5401}));
    EXPECT_EQ(OverflowSpan(inverted, 0), (DepthSpan{1, 1801}));
}

TEST(AreaStack, AreasTileThePaperWithoutGapsInEitherOrder) {
    for (int invert = 0; invert <= 1; ++invert) {
        Liner liner = WithOverflow(3);
        liner.invertImage = static_cast<uint8_t>(invert);
        LinerGeometry g = ComputeLinerGeometry(liner);
        std::vector<DepthSpan> spans = {FlapSpan(g), TitleSpan(g), PrimarySpan(g)};
        for (int k = 0; k < g.overflowCount; ++k) spans.push_back(OverflowSpan(g, k));
        if (invert) std::reverse(spans.begin(), spans.end());
        int expectTop = invert ? 1 : 0;
        for (const DepthSpan& s : spans) {
            EXPECT_EQ(s.top, expectTop) << "inverted " << invert;
            expectTop = s.bottom;
        }
        EXPECT_EQ(expectTop, g.totalHeight + invert);
    }
}

// ---- Cut lines ----------------------------------------------------------------

TEST(CutLines, OutlineIsOneClosedPolylineForStylesZeroToFive) {
    Liner liner = StandardCard();
    for (uint16_t style = kLineSolid; style <= kLineNone; ++style) {
        liner.cutLineStyle = style;
        auto lines = CutLines(ComputeLinerGeometry(liner));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], (TwipPolyline{{0, 0}, {5761, 0}, {5761, 5851}, {0, 5851}, {0, 0}}));
    }
}

TEST(CutLines, CropMarksAreFourCornersWithArmsOf69) {
    Liner liner = StandardCard();
    liner.cutLineStyle = kLineCropMarks;
    auto marks = CutLines(ComputeLinerGeometry(liner));
    ASSERT_EQ(marks.size(), 4u);
    EXPECT_EQ(marks[0], (TwipPolyline{{69, 0}, {0, 0}, {0, 69}}));
    EXPECT_EQ(marks[1], (TwipPolyline{{0, 5782}, {0, 5851}, {69, 5851}}));
    EXPECT_EQ(marks[2], (TwipPolyline{{5692, 5851}, {5761, 5851}, {5761, 5782}}));
    EXPECT_EQ(marks[3], (TwipPolyline{{5761, 69}, {5761, 0}, {5692, 0}}));
    // Inversion does not move the outline.
    liner.invertImage = 1;
    EXPECT_EQ(CutLines(ComputeLinerGeometry(liner)), marks);
}

// ---- Fold lines ---------------------------------------------------------------

TEST(FoldLines, StandardCardHasTwoFoldsAcrossToW) {
    LinerGeometry g = ComputeLinerGeometry(StandardCard());
    EXPECT_EQ(FoldPositions(g), (std::vector<int>{1440, 2160}));
    EXPECT_EQ(FoldLines(g),
              (std::vector<TwipSegment>{Seg(0, 1440, 5760, 1440), Seg(0, 2160, 5760, 2160)}));
    // One per overflow area, none on the bottom edge; inverted, the top of
    // overflow area k becomes its lower edge.
    EXPECT_EQ(FoldPositions(ComputeLinerGeometry(WithOverflow(2))),
              (std::vector<int>{360, 1080, 4680, 6480}));
    EXPECT_EQ(FoldPositions(Inverted(WithOverflow(2))), (std::vector<int>{7921, 7201, 3601, 1801}));
}

TEST(FoldLines, ZeroOverflowHeightDrawsNoOverflowFoldsButKeepsTheAreas) {
    Liner liner = WithOverflow(3);
    liner.overflowHeight = Twips(0);
    LinerGeometry g = ComputeLinerGeometry(liner);
    EXPECT_EQ(g.totalHeight, 4680);
    EXPECT_EQ(g.overflowCount, 3);
    EXPECT_EQ(FoldPositions(g), (std::vector<int>{360, 1080}));
    liner.foldLineStyle = kLineCropMarks;
    EXPECT_EQ(FoldLines(ComputeLinerGeometry(liner)).size(), 8u);
}

TEST(FoldLines, ZeroFlapPutsFirstFoldOnTheEdge) {
    Liner liner = StandardCard();
    liner.flapHeight = Twips(0);
    EXPECT_EQ(FoldPositions(ComputeLinerGeometry(liner)).front(), 0);
    liner.invertImage = 1;
    LinerGeometry g = ComputeLinerGeometry(liner);
    EXPECT_EQ(FoldPositions(g).front(), g.totalHeight + 1);
}

TEST(FoldLines, CropMarkStyleGivesEdgeTicks) {
    Liner liner = StandardCard();
    liner.foldLineStyle = kLineCropMarks;
    auto ticks = FoldLines(ComputeLinerGeometry(liner));
    ASSERT_EQ(ticks.size(), 8u);
    EXPECT_EQ(ticks[0], Seg(0, 1371, 0, 1509));
    EXPECT_EQ(ticks[1], Seg(0, 1440, 69, 1440));
    EXPECT_EQ(ticks[2], Seg(5760, 1371, 5760, 1509));
    EXPECT_EQ(ticks[3], Seg(5760, 1440, 5691, 1440));
    EXPECT_EQ(ticks[4], Seg(0, 2091, 0, 2229));
}

// ---- Split title --------------------------------------------------------------

TEST(SplitTitle, MiddleOfTitleInEitherOrderOnlyWhenSet) {
    Liner liner = StandardCard();
    EXPECT_FALSE(SplitTitleLine(ComputeLinerGeometry(liner)).has_value());
    liner.splitTitle = 1;
    liner.titleHeight = Twips(721);  // odd: half truncates
    EXPECT_EQ(SplitTitleLine(ComputeLinerGeometry(liner)), Seg(0, 1800, 5761, 1800));
    liner.invertImage = 1;
    LinerGeometry g = ComputeLinerGeometry(liner);
    EXPECT_EQ(g.titleTop, 3691);
    EXPECT_EQ(SplitTitleLine(g), Seg(0, 4051, 5761, 4051));
}

// ---- Song columns -------------------------------------------------------------

TEST(SongColumns, TwoColumnsSplitAtTruncatedHalfOneUpUsesFullWidth) {
    Liner liner = WithOverflow(1);  // W = 5040: W + 1 is odd
    liner.songFormats[kSideAPrimaryArea].top = Twips(100);
    liner.songFormats[kSideBPrimaryArea].top = Twips(150);
    SongColumns c = ComputeSongColumns(ComputeLinerGeometry(liner), liner);
    EXPECT_EQ(c.width, 2520);
    EXPECT_EQ(c.sideA.x, 0);
    EXPECT_EQ(c.sideA.firstSongDepth, 1180);
    EXPECT_EQ(c.sideB.x, 2520);
    EXPECT_EQ(c.sideB.firstSongDepth, 1230);
    EXPECT_FALSE(c.sideBContinuesSideA);

    AreaFormat f;
    f.left = Twips(90);
    f.right = Twips(60);
    EXPECT_EQ(SongRowExtent(c, c.sideB, f).left, 2610);
    EXPECT_EQ(SongRowExtent(c, c.sideB, f).width, 2370);

    liner.invertImage = 1;
    c = ComputeSongColumns(ComputeLinerGeometry(liner), liner);
    EXPECT_EQ(c.sideA.firstSongDepth, 1801 + 100);
    EXPECT_EQ(c.sideB.firstSongDepth, 1801 + 150);

    liner.oneUpSides = 1;
    c = ComputeSongColumns(ComputeLinerGeometry(liner), liner);
    EXPECT_EQ(c.width, 5041);
    EXPECT_EQ(c.sideB.x, 0);
    EXPECT_TRUE(c.sideBContinuesSideA);
}

// ---- Bisect lines -------------------------------------------------------------

class BisectTest : public ::testing::Test {
protected:
    void SetUp() override {
        liner = WithOverflow(2);
        auto& ap = liner.songFormats[kSideAPrimaryArea];
        ap.top = Twips(100);
        ap.bottom = Twips(50);
        auto& ao = liner.songFormats[kSideAOverflowArea];
        ao.top = Twips(30);
        ao.bottom = Twips(40);
        // Side B's formats must not matter.
        liner.songFormats[kSideBPrimaryArea].top = Twips(999);
        liner.songFormats[kSideBOverflowArea].bottom = Twips(999);
    }
    std::vector<TwipSegment> Lines(int rotation) {
        return BisectLines(ComputeLinerGeometry(liner), liner, rotation);
    }
    Liner liner;
};

TEST_F(BisectTest, NoneUnlessAFlagIsSet) {
    EXPECT_TRUE(Lines(0).empty());
}

TEST_F(BisectTest, UprightBisectAreaCrossesTheWholeSongRegion) {
    liner.bisectArea = 1;
    liner.bisectSides = 1;  // Bisect Area wins
    EXPECT_EQ(Lines(0), (std::vector<TwipSegment>{Seg(2520, 1080, 2520, 8281)}));
    liner.invertImage = 1;
    EXPECT_EQ(Lines(0), (std::vector<TwipSegment>{Seg(2520, 0, 2520, 7201)}));
    // Without overflow areas it still reaches the bottom edge.
    liner = StandardCard();
    liner.bisectArea = 1;
    EXPECT_EQ(Lines(0), (std::vector<TwipSegment>{Seg(2880, 2160, 2880, 5851)}));
}

TEST_F(BisectTest, UprightBisectSidesInsetBySideAFormats) {
    liner.bisectSides = 1;
    EXPECT_EQ(Lines(0),
              (std::vector<TwipSegment>{Seg(2520, 1180, 2520, 4630), Seg(2520, 4710, 2520, 6440),
                                        Seg(2520, 6510, 2520, 8240)}));
    // Upside-down songs trade the top and bottom margins.
    EXPECT_EQ(Lines(180),
              (std::vector<TwipSegment>{Seg(2520, 1130, 2520, 4580), Seg(2520, 4720, 2520, 6450),
                                        Seg(2520, 6520, 2520, 8250)}));
    liner.invertImage = 1;
    EXPECT_EQ(Lines(0),
              (std::vector<TwipSegment>{Seg(2520, 3701, 2520, 7151), Seg(2520, 1831, 2520, 3561),
                                        Seg(2520, 31, 2520, 1761)}));
}

TEST_F(BisectTest, ZeroOverflowHeightLeavesOnlyThePrimaryLine) {
    liner.overflowHeight = Twips(0);
    liner.bisectSides = 1;
    EXPECT_EQ(Lines(0).size(), 1u);
    EXPECT_EQ(Lines(90).size(), 1u);
    liner.bisectArea = 1;
    EXPECT_EQ(Lines(270).size(), 1u);
}

TEST_F(BisectTest, TurnedBisectAreaRunsAcrossTheMiddleOfEachArea) {
    liner.bisectArea = 1;
    liner.overflowHeight = Twips(1801);  // odd: the two orders round differently
    std::vector<TwipSegment> normal = Lines(90);
    EXPECT_EQ(normal, (std::vector<TwipSegment>{Seg(0, 2880, 5041, 2880),
                                                Seg(0, 4680 + 900, 5041, 4680 + 900),
                                                Seg(0, 6481 + 900, 5041, 6481 + 900)}));
    liner.invertImage = 1;
    LinerGeometry g = ComputeLinerGeometry(liner);
    std::vector<TwipSegment> inverted = Lines(270);
    ASSERT_EQ(inverted.size(), 3u);
    EXPECT_EQ(inverted[0].from.depth, g.primaryTop + 1800);
    EXPECT_EQ(inverted[1].from.depth, OverflowSpan(g, 0).bottom - 900);
    EXPECT_EQ(inverted[1].from.depth, OverflowSpan(g, 0).top + 901);
}

TEST_F(BisectTest, TurnedBisectSidesInsetAlongTheWidth) {
    liner.bisectSides = 1;
    // At 90 degrees the bottom margin is at the left.
    std::vector<TwipSegment> at90 = Lines(90);
    ASSERT_EQ(at90.size(), 3u);
    EXPECT_EQ(at90[0], Seg(50, 2880, 4941, 2880));
    EXPECT_EQ(at90[1], Seg(40, 5580, 5011, 5580));
    std::vector<TwipSegment> at270 = Lines(270);
    EXPECT_EQ(at270[0], Seg(100, 2880, 4991, 2880));
    EXPECT_EQ(at270[2], Seg(30, 7380, 5001, 7380));
}

// ---- Side letters -------------------------------------------------------------

TEST(SideLetters, FlapAndPrimaryPlacesOnEachEdge) {
    Liner liner = StandardCard();
    LinerGeometry g = ComputeLinerGeometry(liner);
    SideLetterAnchor aFlap = SideLetterPlace(g, kSideAFlap);
    SideLetterAnchor bFlap = SideLetterPlace(g, kSideBFlap);
    SideLetterAnchor aPrim = SideLetterPlace(g, kSideAPrimary);
    SideLetterAnchor bPrim = SideLetterPlace(g, kSideBPrimary, 4000);
    EXPECT_FALSE(aFlap.rightEdge);
    EXPECT_TRUE(bFlap.rightEdge);
    EXPECT_EQ(bFlap.depth, 0);
    EXPECT_EQ(aPrim.depth, 2160);
    EXPECT_TRUE(bPrim.rightEdge);
    EXPECT_EQ(bPrim.depth, 2160);
    EXPECT_EQ(SideLetterX(g, aPrim, 72, 200), 72);
    EXPECT_EQ(SideLetterX(g, bPrim, 72, 200), 5760 - 72 - 200 + 1);

    liner.invertImage = 1;
    g = ComputeLinerGeometry(liner);
    EXPECT_EQ(SideLetterPlace(g, kSideBFlap).depth, 4411);
    EXPECT_EQ(SideLetterPlace(g, kSideAPrimary).depth, 1);

    // One column: B-Primary at the left, below Side A's songs.
    liner.oneUpSides = 1;
    g = ComputeLinerGeometry(liner);
    SideLetterAnchor b = SideLetterPlace(g, kSideBPrimary, 4000);
    EXPECT_FALSE(b.rightEdge);
    EXPECT_EQ(b.depth, 4000);
    EXPECT_EQ(SideLetterX(g, b, 72, 200), 72);
    EXPECT_TRUE(SideLetterPlace(g, kSideBFlap).rightEdge);
}

// ---- Sixteen-bit heights and degenerate input ---------------------------------

TEST(Degenerate, HeightsPastSixteenBitsStillStackDownward) {
    Liner liner = StandardCard();
    liner.overflowHeight = Twips(7200);
    liner.overflowCount = 5;  // 5850 + 36000 = 41850 twips
    EXPECT_EQ(liner.totalHeight(), static_cast<int16_t>(41850 - 65536));
    EXPECT_FALSE(TotalHeightFits(liner));
    Liner limit;
    limit.primaryHeight = Twips(32767);
    EXPECT_TRUE(TotalHeightFits(limit));
    limit.flapHeight = Twips(1);
    EXPECT_FALSE(TotalHeightFits(limit));

    LinerGeometry g = ComputeLinerGeometry(liner);
    EXPECT_EQ(g.totalHeight, 41850);
    EXPECT_EQ(PaperRect(g).bottom, 41851);
    liner.invertImage = 1;
    g = ComputeLinerGeometry(liner);
    EXPECT_EQ(OverflowSpan(g, 4), (DepthSpan{1, 7201}));
    EXPECT_EQ(FlapSpan(g), (DepthSpan{40411, 41851}));
}

TEST(Degenerate, NegativeLengthsAndCountCountAsZero) {
    Liner liner = WithOverflow(2);
    liner.flapHeight = Twips(-300);
    liner.width = Twips(-10);
    liner.overflowCount = -25536;  // a Repeat of 40000 stored in 16 bits
    liner.bisectArea = 1;
    liner.invertImage = 1;
    LinerGeometry g = ComputeLinerGeometry(liner);
    EXPECT_EQ(g.width, 0);
    EXPECT_EQ(g.flapHeight, 0);
    EXPECT_EQ(g.overflowCount, 0);
    EXPECT_EQ(g.totalHeight, 4320);
    EXPECT_EQ(FlapSpan(g), (DepthSpan{4321, 4321}));
    EXPECT_EQ(FoldPositions(g).size(), 2u);
    EXPECT_EQ(PaperRect(g), (TwipRect{0, 0, 1, 4321}));
    EXPECT_EQ(BisectLines(g, liner, 0), (std::vector<TwipSegment>{Seg(0, 0, 0, 3601)}));
}

TEST(Degenerate, EmptyLinerIsAOneTwipPaper) {
    Liner liner;
    liner.cutLineStyle = kLineCropMarks;
    liner.foldLineStyle = kLineCropMarks;
    liner.bisectSides = 1;
    liner.splitTitle = 1;
    LinerGeometry g = ComputeLinerGeometry(liner);
    EXPECT_EQ(g.totalHeight, 0);
    EXPECT_EQ(CutLines(g).size(), 4u);
    EXPECT_EQ(FoldLines(g).size(), 8u);
    EXPECT_EQ(BisectLines(g, liner, 0).size(), 1u);
    EXPECT_EQ(SplitTitleLine(g), Seg(0, 0, 1, 0));
    EXPECT_EQ(ComputeSongColumns(g, liner).width, 0);
}

TEST(Degenerate, LargestOverflowCountStaysFiniteAndExact) {
    Liner liner = StandardCard();
    liner.overflowCount = INT16_MAX;
    liner.overflowHeight = Twips(INT16_MAX);
    liner.bisectSides = 1;
    for (int invert = 0; invert <= 1; ++invert) {
        liner.invertImage = static_cast<uint8_t>(invert);
        LinerGeometry g = ComputeLinerGeometry(liner);
        EXPECT_EQ(g.totalHeight, 5850 + 32767 * 32767);
        EXPECT_EQ(FoldPositions(g).size(), 2u + 32767u);
        EXPECT_EQ(BisectLines(g, liner, 0).size(), 1u + 32767u);
        DepthSpan last = OverflowSpan(g, 32766);
        EXPECT_EQ(invert ? last.top : last.bottom, invert ? 1 : g.totalHeight);
    }
    // With no height, no overflow lines however many areas there are.
    liner.overflowHeight = Twips(0);
    EXPECT_EQ(FoldPositions(ComputeLinerGeometry(liner)).size(), 2u);
}

// ---- Device mapping -----------------------------------------------------------

TEST(TwipMapping, OneInchIsDpiPixelsYUpwardRoundedToNearest) {
    TwipMapping screen = MakeTwipMapping(96, 96);
    EXPECT_EQ(TwipsToDevice(screen, LogicalPoint{1440, -1440}), (DevicePoint{96, 96}));
    EXPECT_EQ(TwipsToDevice(screen, TwipPoint{1440, 1440}), (DevicePoint{96, 96}));
    EXPECT_EQ(TwipsToDevice(screen, LogicalPoint{0, 720}), (DevicePoint{0, -48}));
    TwipMapping printer = MakeTwipMapping(600, 300);
    EXPECT_EQ(TwipsToDevice(printer, LogicalPoint{5761, -5851}), (DevicePoint{2400, 1219}));
    EXPECT_EQ(DeviceToTwips(printer, DevicePoint{600, 300}), (LogicalPoint{1440, -1440}));
    // Nearest pixel, symmetric about zero.
    EXPECT_EQ(TwipsToPixels(7, 96), 0);  // 0.467
    EXPECT_EQ(TwipsToPixels(8, 96), 1);  // 0.533
    EXPECT_EQ(TwipsToPixels(-8, 96), -1);
    EXPECT_EQ(TwipsToPixels(-7, 96), 0);
    EXPECT_EQ(PixelsToTwips(1, 120), 12);
    EXPECT_EQ(PixelsToTwips(1, 1000), 1);  // 1.44
}

TEST(TwipMapping, MovingTheOriginPlacesTheLinerAndRestores) {
    TwipMapping m = MakeTwipMapping(96, 96);
    m.origin = {10, 20};
    // A liner drawn 180 twips right and 180 + 480 twips below the origin.
    DevicePoint previous = MoveOriginTo(m, LogicalPoint{180, -660});
    EXPECT_EQ(previous, (DevicePoint{10, 20}));
    EXPECT_EQ(m.origin, (DevicePoint{22, 64}));
    EXPECT_EQ(TwipsToDevice(m, TwipPoint{0, 0}), (DevicePoint{22, 64}));
    EXPECT_EQ(TwipsToDevice(m, TwipPoint{1440, 1440}), (DevicePoint{118, 160}));
    EXPECT_EQ(DeviceToTwips(m, DevicePoint{118, 160}), (LogicalPoint{1440, -1440}));
    RestoreOrigin(m, previous);
    EXPECT_EQ(m.origin, (DevicePoint{10, 20}));
}

TEST(TwipMapping, ZeroResolutionAndHugeDepthsDoNotOverflow) {
    TwipMapping broken = MakeTwipMapping(0, -5);
    EXPECT_EQ(DeviceToTwips(broken, DevicePoint{1, 1}), (LogicalPoint{1440, -1440}));
    EXPECT_EQ(TwipsToDevice(broken, LogicalPoint{1440, 0}), (DevicePoint{1, 0}));

    TwipMapping fine = MakeTwipMapping(4800, 4800);
    DevicePoint far = TwipsToDevice(fine, TwipPoint{INT_MAX, INT_MAX});
    EXPECT_EQ(far.x, INT_MAX);
    EXPECT_EQ(far.y, INT_MAX);
    EXPECT_EQ(PixelsToTwips(INT_MIN, 1), INT_MIN);
}

}  // namespace
