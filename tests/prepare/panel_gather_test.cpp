// A panel's haplotypes gathered from every sample's packed bits, by the processor's bit extraction
// and one bit at a time alike, are the bits of its samples in order.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "prepare/panel_gather.hpp"

namespace corvane::testing {
namespace {

TEST(PanelGather, EveryWayGivesThePanelsSamplesInOrder) {
    std::mt19937_64 random(11);
    for (const int sample_count : {1, 31, 32, 33, 100, 2500}) {
        for (const double share : {0.0, 0.2, 0.5, 1.0}) {
            SCOPED_TRACE(std::to_string(sample_count) + " samples, share " + std::to_string(share));
            std::vector<int> samples;
            std::bernoulli_distribution taken(share);
            for (int s = 0; s < sample_count; ++s) {
                if (taken(random)) samples.push_back(s);
            }
            std::vector<uint64_t> every((2 * static_cast<size_t>(sample_count) + 63) / 64);
            for (uint64_t& word : every) word = random();
            const size_t used = 2 * static_cast<size_t>(sample_count) % 64;
            if (used != 0) every.back() &= (uint64_t{1} << used) - 1;
            std::vector<uint64_t> expected((2 * samples.size() + 63) / 64, 0);
            for (size_t i = 0; i < 2 * samples.size(); ++i) {
                const size_t from = 2 * static_cast<size_t>(samples[i / 2]) + i % 2;
                expected[i / 64] |= (every[from / 64] >> (from % 64) & 1) << (i % 64);
            }
            const panel_gather gather = make_panel_gather(samples, sample_count);
            std::vector<uint64_t> fast;
            std::vector<uint64_t> one_by_one;
            gather_panel_bits(gather, every, fast);
            gather_panel_bits_one_by_one(gather, every, one_by_one);
            EXPECT_EQ(fast, expected);
            EXPECT_EQ(one_by_one, expected);
        }
    }
}

}  // namespace
}  // namespace corvane::testing
