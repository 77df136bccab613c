// Poppler writes its parse errors to standard error unless told otherwise, and library code never
// prints. Every user of poppler in the process (the content index's PDF text, the results table's
// page counts) calls silencePoppler() before it loads a document.
//
// Threads: safe from any thread; the first call installs a handler that drops the messages, later
// calls do nothing.
#pragma once

namespace quorvanta::core {

void silencePoppler();

}  // namespace quorvanta::core
