// The run driver against an engine that only counts: limits, and the stop request's life.
#include <gtest/gtest.h>

#include <functional>

#include "solver/driver.h"

namespace {

class CountingEngine : public SolverEngine {
public:
    int  IterationCount() const override { return count_; }
    int  IterationCap() const override { return 1000000; }
    int  DecisionCount() const override { return 1; }
    bool Incomplete() const override { return false; }
    void SetAveragingDelay(int) override {}
    void Iterate(int) override { ++count_; }
    ResultFigures Evaluate(int) override {
        if (on_evaluate)
            on_evaluate();
        return {0, 0, 1, 1};
    }

    std::function<void()> on_evaluate;

private:
    int count_ = 0;
};

RunLimits Steps(int steps) { return {steps, /*steps_mode=*/true}; }

TEST(SolverDriver, StepLimitsCountFromEachRunsStart) {
    SolverDriver   driver;
    CountingEngine engine;
    ASSERT_TRUE(driver.Start(engine, Steps(10), /*block=*/true, 50));
    EXPECT_EQ(engine.IterationCount(), 10);
    ASSERT_TRUE(driver.Start(engine, Steps(10), /*block=*/false, 50));
    driver.WaitForEnd();
    EXPECT_EQ(engine.IterationCount(), 20);
    EXPECT_FALSE(driver.Running());
    driver.Join();
}

// A stop that arrives while a run is ending (here: during its last evaluation) ends that
// run or nothing: the next run still does all of its steps.
TEST(SolverDriver, AStopAtTheEndOfARunDoesNotReachTheNext) {
    SolverDriver   driver;
    CountingEngine engine;
    engine.on_evaluate = [&] { driver.RequestStop(); };
    ASSERT_TRUE(driver.Start(engine, Steps(1), /*block=*/false, 50));
    driver.WaitForEnd();
    engine.on_evaluate = nullptr;
    ASSERT_TRUE(driver.Start(engine, Steps(3), /*block=*/false, 50));
    driver.WaitForEnd();
    EXPECT_EQ(engine.IterationCount(), 4);
    driver.Join();
}

TEST(SolverDriver, AStopWithoutARunIsForgotten) {
    SolverDriver   driver;
    CountingEngine engine;
    driver.RequestStop();
    ASSERT_TRUE(driver.Start(engine, Steps(2), /*block=*/true, 50));
    EXPECT_EQ(engine.IterationCount(), 2);
}

}  // namespace
