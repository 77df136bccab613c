// Runs some of a test's work in a forked child: for what must not touch the test program itself
// (dropping privileges, a mount namespace of its own). The child answers with a text, and leaves
// with _exit, so the test program's own clean-up (GoogleTest, leak checks) never runs twice.
#pragma once

#include <functional>
#include <string>

namespace quorvanta::test {

struct ChildOutcome {
    bool succeeded = false;  // the child ran `body` to the end and exited with status 0
    std::string output;      // what `body` returned, or what went wrong
};

ChildOutcome runInChild(const std::function<std::string()>& body);

}  // namespace quorvanta::test
