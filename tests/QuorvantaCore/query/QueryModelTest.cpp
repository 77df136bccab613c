#include "QuorvantaCore/query/Query.h"

#include "tests/support/AudioCondBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvanta::core {
namespace {

using quorvanta::test::audioCond;

Term name(std::string text, bool neg = false, bool caseSensitive = false) {
    return Term{neg, Pred::Name{std::move(text)}, caseSensitive};
}

TEST(QueryModel, AndAppendsToEveryGroupAndLeavesTheReceiver) {
    const Term t = Term{false, Pred::Kind{true}, false};

    const Query empty;
    EXPECT_EQ(empty.andTerm(t), (Query{{{t}}}));
    EXPECT_TRUE(empty.groups.empty());

    const Query two{{{name("a")}, {name("b"), name("c")}}};
    const Query before = two;
    EXPECT_EQ(two.andTerm(t), (Query{{{name("a"), t}, {name("b"), name("c"), t}}}));
    EXPECT_EQ(two, before);
}

TEST(QueryModel, Equality) {
    using F = AudioCond::Field;
    const AudioCond base = audioCond(F::bpm, 1276, 1284);
    struct Case {
        const char* what;
        Pred a;
        Pred b;
        bool equal;
    };
    const Case preds[] = {
        {"name same", Pred::Name{"a"}, Pred::Name{"a"}, true},
        {"name differs", Pred::Name{"a"}, Pred::Name{"A"}, false},
        {"glob same", Pred::Glob{"*.txt"}, Pred::Glob{"*.txt"}, true},
        {"glob differs", Pred::Glob{"*.txt"}, Pred::Glob{"*.TXT"}, false},
        {"regex same", Pred::Regex{"a.b"}, Pred::Regex{"a.b"}, true},
        {"regex differs", Pred::Regex{"a.b"}, Pred::Regex{"a.c"}, false},
        {"ext same", Pred::Ext{{"mp3", "flac"}}, Pred::Ext{{"mp3", "flac"}}, true},
        {"ext order", Pred::Ext{{"mp3", "flac"}}, Pred::Ext{{"flac", "mp3"}}, false},
        {"ext length", Pred::Ext{{"mp3"}}, Pred::Ext{{"mp3", ""}}, false},
        {"size same", Pred::Size{{1, 2}}, Pred::Size{{1, 2}}, true},
        {"size lo", Pred::Size{{1, 2}}, Pred::Size{{0, 2}}, false},
        {"size hi", Pred::Size{{1, 2}}, Pred::Size{{1, 3}}, false},
        {"date same", Pred::Date{{5, 9}}, Pred::Date{{5, 9}}, true},
        {"date lo", Pred::Date{{5, 9}}, Pred::Date{{4, 9}}, false},
        {"date hi", Pred::Date{{5, 9}}, Pred::Date{{5, 8}}, false},
        {"path same", Pred::Path{"x"}, Pred::Path{"x"}, true},
        {"path differs", Pred::Path{"x"}, Pred::Path{"y"}, false},
        {"kind same", Pred::Kind{true}, Pred::Kind{true}, true},
        {"kind differs", Pred::Kind{true}, Pred::Kind{false}, false},
        {"audio same", Pred::Audio{base}, Pred::Audio{base}, true},
        {"audio field", Pred::Audio{base}, Pred::Audio{audioCond(F::year, 1276, 1284)}, false},
        {"audio lo", Pred::Audio{base}, Pred::Audio{audioCond(F::bpm, 1275, 1284)}, false},
        {"audio hi", Pred::Audio{base}, Pred::Audio{audioCond(F::bpm, 1276, 1285)}, false},
        {"audio text", Pred::Audio{base}, Pred::Audio{audioCond(F::bpm, 1276, 1284, "x")}, false},
        {"audio flag", Pred::Audio{base}, Pred::Audio{audioCond(F::bpm, 1276, 1284, "", false)}, false},
        {"content same", Pred::Content{"c"}, Pred::Content{"c"}, true},
        {"content differs", Pred::Content{"c"}, Pred::Content{"d"}, false},
        {"junk", Pred::Junk{}, Pred::Junk{}, true},
        // Same payload text, different case of the predicate.
        {"name vs glob", Pred::Name{"a"}, Pred::Glob{"a"}, false},
        {"name vs path", Pred::Name{"a"}, Pred::Path{"a"}, false},
        {"path vs content", Pred::Path{"a"}, Pred::Content{"a"}, false},
        {"size vs date", Pred::Size{{1, 2}}, Pred::Date{{1, 2}}, false},
    };
    for (const auto& c : preds) {
        EXPECT_EQ(c.a == c.b, c.equal) << c.what;
        EXPECT_EQ(Term({false, c.a, false}) == Term({false, c.b, false}), c.equal) << c.what;
    }

    struct TermCase {
        const char* what;
        Term a;
        Term b;
    };
    // Terms that differ in one field only, whatever the predicate.
    const TermCase unequalTerms[] = {
        {"case, name", name("a", false, false), name("a", false, true)},
        {"case, kind", Term{false, Pred::Kind{true}, false}, Term{false, Pred::Kind{true}, true}},
        {"case, size", Term{false, Pred::Size{{1, 2}}, false}, Term{false, Pred::Size{{1, 2}}, true}},
        {"neg, name", name("a", false), name("a", true)},
        {"neg, junk", Term{false, Pred::Junk{}, false}, Term{true, Pred::Junk{}, false}},
    };
    for (const auto& c : unequalTerms) EXPECT_NE(c.a, c.b) << c.what;

    const Query ab{{{name("a"), name("b")}}};
    EXPECT_EQ(ab, (Query{{{name("a"), name("b")}}}));
    EXPECT_NE(ab, (Query{{{name("b"), name("a")}}})) << "terms in another order";
    EXPECT_NE((Query{{{name("a")}, {name("b")}}}), (Query{{{name("b")}, {name("a")}}})) << "groups in another order";
    EXPECT_NE((Query{{{name("a")}, {name("b")}}}), (Query{{{name("a"), name("b")}}})) << "OR against AND";
    EXPECT_NE(Query{}, (Query{{{name("a")}}}));
}

TEST(QueryModel, ErrorMessageAndPrintedForm) {
    const auto error = QueryError::invalid(R"(size: 1"2\3)");
    EXPECT_EQ(error.message(), R"(size: 1"2\3)");
    EXPECT_STREQ(error.what(), R"(size: 1"2\3)");
    EXPECT_EQ(error.description(), R"(invalid("size: 1\"2\\3"))");
    EXPECT_EQ(QueryError::invalid("ext: needs a value").description(), R"(invalid("ext: needs a value"))");
    EXPECT_EQ(error, QueryError::invalid(R"(size: 1"2\3)"));
    EXPECT_NE(error, QueryError::invalid("size: 1"));
}

}  // namespace
}  // namespace quorvanta::core
