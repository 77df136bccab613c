// For the tests that mount real file systems: the system programs that make and mount them, and
// a private mount namespace, entered in a child process (runInChild), so that nothing stays
// mounted and the host's mount table is untouched. Each step that the machine refuses (no root,
// no loop devices, a container without the right) is reported as a reason to skip.
#pragma once

#include <string>
#include <vector>

namespace quorvanta::test {

// The full path of a system program in /usr/sbin, /sbin, /usr/bin or /bin; "" when none.
std::string findSystemProgram(const std::string& name);

// Runs a program without a shell, its output discarded; its exit status, or -1.
int runQuietly(const std::vector<std::string>& args);

// Moves the calling process into a mount namespace of its own with every mount private. "" on
// success, else why not.
std::string enterPrivateMountNamespace();

// Makes `image` a 16 MiB file holding an empty ext4 file system made with the given further
// mkfs.ext4 options (a label, a UUID). "" on success, else why not.
std::string makeExt4Image(const std::string& image, const std::vector<std::string>& options);

}  // namespace quorvanta::test
