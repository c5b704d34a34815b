// Dealing subgame groups to workers by weight.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "solver/worker_share.h"

namespace {

std::vector<double> Loads(const std::vector<int>& owner, const std::vector<uint64_t>& work,
                          size_t workers) {
    std::vector<double> load(workers, 0.0);
    for (size_t g = 0; g < work.size(); ++g)
        load.at(owner[g]) += static_cast<double>(work[g]);
    return load;
}

TEST(WorkerShareTest, EveryGroupGetsAWorkerAndTheSameInputsTheSameSplit) {
    std::vector<uint64_t> work;
    for (int g = 0; g < 57; ++g)
        work.push_back(100 + (g * 37) % 91);
    const std::vector<double> weights{1, 2, 0.5};
    const auto                first = SplitByWeight(work, weights);
    EXPECT_EQ(first, SplitByWeight(work, weights));
    for (int owner : first) {
        EXPECT_GE(owner, 0);
        EXPECT_LT(owner, 3);
    }
}

TEST(WorkerShareTest, LoadsFollowTheWeights) {
    std::vector<uint64_t> work(90, 10);
    work[3] = 25;
    const auto owner = SplitByWeight(work, std::vector<double>{1, 2});
    const auto load  = Loads(owner, work, 2);
    const double total = load[0] + load[1];
    EXPECT_NEAR(load[0] / total, 1.0 / 3, 0.02);
    EXPECT_NEAR(load[1] / total, 2.0 / 3, 0.02);
}

TEST(WorkerShareTest, LargestGroupsAreDealtFirst) {
    // One big group and many small ones over two equal workers: the big one is alone on
    // its worker's side of the balance instead of landing last on a loaded worker.
    std::vector<uint64_t> work(10, 1);
    work.push_back(10);
    const auto owner = SplitByWeight(work, std::vector<double>{1, 1});
    const auto load  = Loads(owner, work, 2);
    EXPECT_EQ(std::max(load[0], load[1]), 10.0);
}

TEST(WorkerShareTest, NoWorkersLeaveEveryGroupToTheMaster) {
    const std::vector<uint64_t> work{5, 6};
    EXPECT_EQ(SplitByWeight(work, {}), (std::vector<int>{-1, -1}));
}

// Workers read their weights as "%f" text, so a tiny weight arrives as 0: such a worker
// (or one whose weight is not a number) takes nothing; when no weight is positive the
// workers share equally.
TEST(WorkerShareTest, WorkersWithoutAPositiveWeightTakeNothing) {
    const std::vector<uint64_t> work{9, 7, 5, 3, 3, 1};
    for (const auto& weights : {std::vector<double>{0, 1, 2}, std::vector<double>{std::nan(""), 1, 2},
                                std::vector<double>{-1, 1, 2}}) {
        std::vector<int> expected = SplitByWeight(work, std::vector<double>{1, 2});
        for (int& owner : expected)
            owner += 1;  // the same split, over workers 1 and 2
        EXPECT_EQ(SplitByWeight(work, weights), expected);
    }
    EXPECT_EQ(SplitByWeight(work, std::vector<double>{0, 0}), SplitByWeight(work, std::vector<double>{1, 1}));
}

TEST(WorkerShareTest, WeightsAreRelative) {
    std::vector<uint64_t> work;
    for (int g = 0; g < 40; ++g)
        work.push_back(1 + g % 7);
    EXPECT_EQ(SplitByWeight(work, std::vector<double>{1, 3}),
              SplitByWeight(work, std::vector<double>{1000, 3000}));
}

}  // namespace
