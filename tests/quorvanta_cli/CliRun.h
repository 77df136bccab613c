// Helpers of the tool's tests: running the built quorvanta-cli and reading its report lines.
#pragma once

#include "tests/support/RunProgram.h"

#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace quorvanta::cli::test {

inline quorvanta::test::RunResult runCli(const std::vector<std::string>& args,
                                         const quorvanta::test::RunOptions& options = {}) {
    return quorvanta::test::runProgram(QUORVANTA_CLI_PATH, args, options);
}

// Runs the tool once with each argument list; every run must end with `status` and print exactly
// `out` on standard output.
inline void expectEachRunGives(const std::vector<std::vector<std::string>>& runs, int status, const std::string& out) {
    for (const std::vector<std::string>& args : runs) {
        const quorvanta::test::RunResult result = runCli(args);
        EXPECT_EQ(result.status, status) << args.size() << " arguments";
        EXPECT_EQ(result.out, out) << args.size() << " arguments";
    }
}

// The lines of a program's output, without their line feeds.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// The fields of one scan report line: "label" plus every key=value field.
inline std::map<std::string, std::string> reportFields(const std::string& line) {
    std::map<std::string, std::string> fields;
    std::istringstream in(line);
    std::string field;
    std::getline(in, fields["label"], '\t');
    while (std::getline(in, field, '\t')) {
        if (!field.empty() && field.back() == '\n') field.pop_back();
        const auto eq = field.find('=');
        fields[field.substr(0, eq)] = eq == std::string::npos ? "" : field.substr(eq + 1);
    }
    return fields;
}

// gen-tree's summary line without its " in <seconds> s" tail, which depends on the machine.
inline std::string summaryWithoutTime(const std::string& out) {
    static const std::regex time(" in [0-9]+\\.[0-9] s\n$");
    return std::regex_replace(out, time, "");
}

}  // namespace quorvanta::cli::test
