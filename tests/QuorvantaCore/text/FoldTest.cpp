#include "QuorvantaCore/text/Fold.h"

#include "QuorvantaCore/index_engine/fidx.h"

#include "QuorvantaCore/text/Case.h"
#include "QuorvantaCore/text/Utf8.h"
#include "tests/QuorvantaCore/text/RandomText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

// The engine installs the hook's address as it is.
static_assert(std::is_same_v<decltype(&quorvanta_fold_hook), fidx_fold_fn>);

namespace quorvanta::core::text {
namespace {

using test::escaped;

std::string asciiLowered(std::string text) {
    for (char& c : text) c = static_cast<char>(asciiLower(static_cast<unsigned char>(c)));
    return text;
}

struct FoldCase {
    std::string input;
    std::string expected;
};

// Names and search words with the folds every part of the system relies on.
const std::vector<FoldCase>& foldTable() {
    static const std::vector<FoldCase> cases = {
        {"Café", "cafe"},
        {"Cafe\u0301", "cafe"},  // NFD form of the same name
        {"Straße", "strasse"},
        {"\uFB01le", "file"},  // ligature fi
        {"\u0130stanbul", "istanbul"},
        {"naïve.TXT", "naive.txt"},
        {"ΣΑΣ", "σασ"},
        {"Ё", "е"},
        {"\u212B", "a"},  // ANGSTROM SIGN
        {"\u212A", "k"},  // KELVIN SIGN
        {"が", "か"},
        {"한", "한"},
        {"कि", "कि"},
        {"\uFF21", "\uFF41"},                    // fullwidth A
        {"Ⱥlpha notes.txt", "Ⱥlpha notes.txt"},  // "ⱥ" is 3 bytes, "Ⱥ" 2: the cluster stays
        {"ARCHIVE.TAR.GZ", "archive.tar.gz"},
        {"և", "և"},          // folds to "եւ", 4 bytes for 2
        {"ᾳ", "ᾳ"},          // folds to "αι", 4 bytes for 3
        {"Ᾱ\u0301B", "αb"},  // capital with macron and acute: both marks go
        {"", ""},
        {"DOC\x80X", "doc\x80x"},              // lone continuation byte
        {"A\xC0\x80Z", "a\xC0\x80z"},          // overlong NUL
        {"S\xED\xA0\x80T", "s\xED\xA0\x80t"},  // encoded surrogate
        {"END\xE2\x82", "end\xE2\x82"},        // sequence cut at the end
        {"\x80\u0301Q", "\x80q"},              // a mark after a bad byte is dropped alone
    };
    return cases;
}

TEST(Fold, TableOfNames) {
    for (const auto& c : foldTable())
        EXPECT_EQ(escaped(fold(c.input)), escaped(c.expected)) << "fold of " << escaped(c.input);
}

void callHook(const std::string& name, std::vector<std::uint8_t>& out) {
    out.assign(name.size() + 8, 0xEE);  // guard bytes past the name's length must stay
    quorvanta_fold_hook(reinterpret_cast<const std::uint8_t*>(name.data()), name.size(), out.data());
}

// The hook writes exactly `length` bytes: the fold, then 0x01 up to the name's length.
void expectHookContract(const std::string& name) {
    std::vector<std::uint8_t> out;
    callHook(name, out);
    const std::string folded = fold(name);
    ASSERT_LE(folded.size(), name.size()) << escaped(name);
    std::string expected = folded + std::string(name.size() - folded.size(), '\x01');
    EXPECT_EQ(escaped(std::string(out.begin(), out.begin() + static_cast<long>(name.size()))), escaped(expected))
        << "hook output for " << escaped(name);
    EXPECT_TRUE(
        std::all_of(out.begin() + static_cast<long>(name.size()), out.end(), [](std::uint8_t b) { return b == 0xEE; }))
        << "hook wrote past the length for " << escaped(name);
}

TEST(FoldHook, WritesFoldThenPaddingForEveryTableRow) {
    for (const auto& c : foldTable()) expectHookContract(c.input);
}

TEST(FoldHook, PadsShortFoldsAndAgreesWithInlineAsciiLowering) {
    // The engine folds ASCII-only names itself (A-Z lowered): the hook must give the same bytes.
    std::string ascii;
    for (int b = 1; b < 0x80; ++b) ascii += static_cast<char>(b);
    const std::string lowered = asciiLowered(ascii);
    std::vector<std::uint8_t> out;
    callHook(ascii, out);
    EXPECT_EQ(std::string(out.begin(), out.begin() + static_cast<long>(ascii.size())), lowered);

    callHook("E\u0301\u0301.JPG", out);  // 7 bytes fold to "e.jpg" and two padding bytes
    EXPECT_EQ(std::string(out.begin(), out.begin() + 9), std::string("e.jpg\x01\x01\x01\x01", 9));
}

TEST(FoldDifferential, MatchesIcuClusterByCluster) {
    std::mt19937 rng(20261210);
    for (int i = 0; i < 20000; ++i) {
        const std::string text = test::randomText(rng, 8, true);
        std::string expected;
        for (std::string_view cluster : test::icuClusters(text)) {
            char32_t cp = 0;
            if (cluster.size() == 1 || decodeUtf8(cluster, 0, cp) == 0)
                expected += asciiLowered(std::string(cluster));  // ASCII, or an ill-formed byte
            else
                expected += test::icuFoldCluster(cluster);
        }
        ASSERT_EQ(escaped(fold(text)), escaped(expected)) << "input " << escaped(text);
    }
}

TEST(FoldProperties, NeverLongerAsciiLoweredIdempotentOnValidText) {
    std::mt19937 rng(7);
    for (int i = 0; i < 20000; ++i) {
        const bool invalid = i % 2 == 0;
        const std::string text = test::randomText(rng, 10, invalid);
        const std::string once = fold(text);
        ASSERT_LE(once.size(), text.size()) << escaped(text);
        if (!invalid) {
            ASSERT_TRUE(isValidUtf8(once)) << escaped(text);
            ASSERT_EQ(escaped(fold(once)), escaped(once)) << "fold is not idempotent on " << escaped(text);
        }
        expectHookContract(text);
        if (HasFailure()) return;
    }
    std::uniform_int_distribution<int> asciiByte(0, 0x7F);
    for (int i = 0; i < 2000; ++i) {
        std::string ascii(static_cast<std::size_t>(i % 40), '\0');
        for (char& c : ascii) c = static_cast<char>(asciiByte(rng));
        ASSERT_EQ(escaped(fold(ascii)), escaped(asciiLowered(ascii)));
    }
}

TEST(FoldHook, ManyThreadsAtOnceGiveTheSingleThreadResult) {
    std::mt19937 rng(99);
    std::vector<std::string> names;
    for (int i = 0; i < 2000; ++i) names.push_back(test::randomText(rng, 12, i % 3 == 0));
    // A cluster with many marks makes each thread grow its scratch buffer during the run.
    names.push_back("a" + [] {
        std::string marks;
        for (int i = 0; i < 500; ++i) marks += "\u0301";
        return marks;
    }());
    std::vector<std::string> expected;
    for (const auto& name : names) expected.push_back(fold(name));

    std::vector<int> mismatches(8, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            std::vector<std::uint8_t> out;
            for (int round = 0; round < 5; ++round) {
                for (std::size_t k = 0; k < names.size(); ++k) {
                    const std::string& name = names[(k + static_cast<std::size_t>(t) * 97) % names.size()];
                    const std::string& want = expected[(k + static_cast<std::size_t>(t) * 97) % names.size()];
                    out.assign(name.size(), 0);
                    quorvanta_fold_hook(reinterpret_cast<const std::uint8_t*>(name.data()), name.size(), out.data());
                    if (std::string(out.begin(), out.begin() + static_cast<long>(want.size())) != want)
                        ++mismatches[static_cast<std::size_t>(t)];
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < 8; ++t) EXPECT_EQ(mismatches[static_cast<std::size_t>(t)], 0) << "thread " << t;
}

}  // namespace
}  // namespace quorvanta::core::text
