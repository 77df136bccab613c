// What committing a source draft asks of the application model. The model implements it; tests
// record the call.
//
// Threads: main thread only.
#pragma once

namespace quorvanta::app {

class SourceCommitTarget {
public:
    virtual ~SourceCommitTarget() = default;

    // Called once the drafted sources and include-only text are saved: marks the sources as
    // configured, then rebuilds the volume list from the saved sources for the current drives
    // (dropping, creating and rescanning volumes as their settings changed) and searches again.
    virtual void applySources() = 0;
};

}  // namespace quorvanta::app
