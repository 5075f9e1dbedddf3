#include <gtest/gtest.h>

#include "tuner/TuningSteps.h"

namespace {

using Plan = CTuningSteps::SPlan;

constexpr Plan kEurope = CTuningSteps::PlanOf(CTuningSteps::STANDARD_EUROPE, {});
constexpr Plan kJapan = CTuningSteps::PlanOf(CTuningSteps::STANDARD_JAPAN, {});
constexpr Plan kUsa = CTuningSteps::PlanOf(CTuningSteps::STANDARD_USA, {});

CTuningSteps Am(Plan plan) {
    return CTuningSteps(CTuningSteps::BAND_AM, plan);
}
CTuningSteps Fm(Plan plan) {
    return CTuningSteps(CTuningSteps::BAND_FM, plan);
}

// Every standard's limits and spacing, band by band.
TEST(TuningStepsTest, EachStandardHasItsLimitsAndSpacing) {
    struct SCase {
        const char* pName;
        Plan plan;
        unsigned amLower, amUpper, amSpacing, fmLower, fmUpper;
    };
    for (const SCase& c : {SCase{"Europe", kEurope, 522, 1629, 9, 8750, 10800},
                           SCase{"Japan", kJapan, 522, 1629, 9, 7600, 9000},
                           SCase{"USA", kUsa, 520, 1710, 10, 8750, 10800}}) {
        EXPECT_EQ(Am(c.plan).Lower(), c.amLower) << c.pName;
        EXPECT_EQ(Am(c.plan).Upper(), c.amUpper) << c.pName;
        EXPECT_EQ(Am(c.plan).Spacing(), c.amSpacing) << c.pName;
        EXPECT_EQ(Fm(c.plan).Lower(), c.fmLower) << c.pName;
        EXPECT_EQ(Fm(c.plan).Upper(), c.fmUpper) << c.pName;
        EXPECT_EQ(Fm(c.plan).Spacing(), 10u) << c.pName;
    }
}

TEST(TuningStepsTest, AnUnknownStandardKeepsThePlanItIsGiven) {
    for (int nStandard : {-1, 3, 99}) {
        const Plan plan = CTuningSteps::PlanOf(nStandard, kUsa);
        EXPECT_EQ(plan.nAmStep, kUsa.nAmStep) << nStandard;
        EXPECT_EQ(plan.nFmRange, kUsa.nFmRange) << nStandard;
    }
    // A fresh tuner's plan is Japan's.
    EXPECT_EQ(Fm(Plan{}).Lower(), 7600u);
    EXPECT_EQ(Am(Plan{}).Spacing(), 9u);
}

// The edges are inside; one past an edge folds onto the other edge.
TEST(TuningStepsTest, WrapKeepsTheEdgesAndFoldsBeyondThem) {
    for (const CTuningSteps& steps : {Am(kEurope), Am(kUsa), Fm(kJapan), Fm(kEurope)}) {
        const unsigned lower = steps.Lower();
        const unsigned upper = steps.Upper();
        EXPECT_EQ(steps.Wrap(lower), lower);
        EXPECT_EQ(steps.Wrap(upper), upper);
        EXPECT_EQ(steps.Wrap(lower - 1), upper);
        EXPECT_EQ(steps.Wrap(upper + 1), lower);
        EXPECT_EQ(steps.Wrap(0), upper);
        EXPECT_EQ(steps.Wrap(~0u), lower);
    }
}

TEST(TuningStepsTest, ChannelStepsKeepToTheGrid) {
    const CTuningSteps fm = Fm(kEurope);
    EXPECT_EQ(fm.ChannelStep(9815, false), 9810u);  // off the grid: onto it
    EXPECT_EQ(fm.ChannelStep(9810, false), 9800u);
    EXPECT_EQ(fm.ChannelStep(9815, true), 9820u);
    EXPECT_EQ(fm.ChannelStep(9810, true), 9820u);

    const CTuningSteps am9 = Am(kJapan);
    EXPECT_EQ(am9.ChannelStep(1000, true), 1008u);
    EXPECT_EQ(am9.ChannelStep(1000, false), 999u);
    EXPECT_EQ(am9.ChannelStep(999, false), 990u);

    const CTuningSteps am10 = Am(kUsa);
    EXPECT_EQ(am10.ChannelStep(1005, true), 1010u);
    EXPECT_EQ(am10.ChannelStep(1005, false), 1000u);
    EXPECT_EQ(am10.ChannelStep(1000, false), 990u);
}

// Stepping off either end of the band lands on the other end.
TEST(TuningStepsTest, ChannelStepsWrapAtTheBandEdges) {
    EXPECT_EQ(Fm(kEurope).ChannelStep(8750, false), 10800u);
    EXPECT_EQ(Fm(kEurope).ChannelStep(10800, true), 8750u);
    EXPECT_EQ(Fm(kJapan).ChannelStep(7600, false), 9000u);
    EXPECT_EQ(Fm(kJapan).ChannelStep(9000, true), 7600u);
    // 522 lies on the 9 kHz grid, 1629 too: one more is off the band.
    EXPECT_EQ(Am(kEurope).ChannelStep(522, false), 1629u);
    EXPECT_EQ(Am(kEurope).ChannelStep(1629, true), 522u);
    EXPECT_EQ(Am(kUsa).ChannelStep(520, false), 1710u);
    EXPECT_EQ(Am(kUsa).ChannelStep(1710, true), 520u);
    // A stored frequency below one spacing wraps round to the lower edge.
    EXPECT_EQ(Fm(kEurope).ChannelStep(0, false), 8750u);
}

TEST(TuningStepsTest, FineStepsMoveOneUnitOnEitherBandAndWrap) {
    EXPECT_EQ(Fm(kEurope).FineStep(9810, true), 9811u);  // 10 kHz
    EXPECT_EQ(Fm(kEurope).FineStep(9810, false), 9809u);
    EXPECT_EQ(Am(kJapan).FineStep(1000, true), 1001u);  // 1 kHz
    EXPECT_EQ(Am(kJapan).FineStep(1000, false), 999u);
    EXPECT_EQ(Fm(kJapan).FineStep(9000, true), 7600u);
    EXPECT_EQ(Fm(kJapan).FineStep(7600, false), 9000u);
    EXPECT_EQ(Am(kUsa).FineStep(1710, true), 520u);
    EXPECT_EQ(Am(kUsa).FineStep(520, false), 1710u);
}

TEST(TuningStepsTest, SignalLevelWeighsTheOffsetByBand) {
    EXPECT_EQ(Fm(kJapan).SignalLevel(20), 100);
    EXPECT_EQ(Am(kJapan).SignalLevel(5), 90);
    EXPECT_EQ(Am(kJapan).SignalLevel(-2), -36);  // the meter clamps it
}

}  // namespace
