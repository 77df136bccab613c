// The mutation loop of the parsers' robustness tests: valid texts (the seeds) changed by one to six
// edits each (byte flips, cuts, insertions of characters the format gives meaning to, truncations,
// splices of another seed and, when asked, runs of opening brackets), every result handed to a check.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace quorvanta::test {

struct MutationPlan {
    std::vector<std::string> seeds;
    int iterations = 0;
    std::mt19937::result_type randomSeed = 20261210;
    bool deepNesting = false;  // also insert runs of up to 80 "[" or "{"
    // What an insertion picks from: by default JSON's punctuation, digits and a few odd bytes.
    std::string insertions = "{}[]\",:\\0123456789.eE+-tfn \x7f\x80\xc3\xff\n";
};

// Calls check(text) for each mutated text in turn; stops after the check that raised a fatal
// failure, so one broken handler reports once.
template <class Check>
void forEachMutation(const MutationPlan& plan, Check check) {
    const std::string& insertions = plan.insertions;
    const std::vector<std::string>& seeds = plan.seeds;
    std::mt19937 random(plan.randomSeed);
    const unsigned kinds = plan.deepNesting ? 6 : 5;
    for (int iteration = 0; iteration < plan.iterations; ++iteration) {
        std::string text = seeds[random() % seeds.size()];
        const int edits = 1 + static_cast<int>(random() % 6);
        for (int e = 0; e < edits && !text.empty(); ++e) {
            const std::size_t at = random() % text.size();
            const unsigned kind = random() % kinds;
            if (kind == 0) {
                text[at] = static_cast<char>(random() % 256);
            } else if (kind == 1) {
                text.erase(at, 1 + random() % 4);
            } else if (kind == 2) {
                text.insert(at, 1, insertions[random() % insertions.size()]);
            } else if (kind == 3) {
                text.resize(at);
            } else if (kind == 4 && plan.deepNesting) {
                text.insert(at, std::string(1 + random() % 80, "[{"[random() % 2]));
            } else {
                const std::string& other = seeds[random() % seeds.size()];
                text.insert(at, other.substr(random() % other.size()));
            }
        }
        check(text);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

}  // namespace quorvanta::test
