// The routines behind the rows of the command table, one file each.
#pragma once

namespace quorvanta::cli {

struct Cli;

int scanCommand(Cli& cli);           // ScanCommand.cpp
int genTreeCommand(Cli& cli);        // GenTreeCommand.cpp
int searchCommand(Cli& cli);         // SearchCommand.cpp
int benchSearchCommand(Cli& cli);    // BenchSearchCommand.cpp
int snapSaveCommand(Cli& cli);       // SnapCommands.cpp
int snapLoadCommand(Cli& cli);       // SnapCommands.cpp
int snapFseuuidCommand(Cli& cli);    // SnapCommands.cpp
int snapTopCommand(Cli& cli);        // SnapCommands.cpp
int snapReconcileCommand(Cli& cli);  // SnapCatchUpCommands.cpp
int snapReplayCommand(Cli& cli);     // SnapCatchUpCommands.cpp
int apiCommand(Cli& cli);            // ApiCommand.cpp
int mcpCommand(Cli& cli);            // McpCommand.cpp
int audioInfoCommand(Cli& cli);      // AudioCommands.cpp
int audioCheckCommand(Cli& cli);     // AudioCommands.cpp
int audioIndexCommand(Cli& cli);     // AudioIndexCommand.cpp
int dupesCommand(Cli& cli);          // DupesCommand.cpp

}  // namespace quorvanta::cli
