// Quality-of-service classes of the queues, as per-thread nice values: Linux has no classes of its
// own, and a thread's nice value is what its scheduler weighs.
//
//   userInteractive, userInitiated, standard  -> the process's own nice value (offset 0)
//   utility                                   -> offset +5
//   background                                -> offset +10
//
// Offsets are added to the nice value of the process's main thread, capped at 19. An unprivileged
// thread can only raise its nice value, so a thread that already runs nicer than its class asks
// keeps its value.
#pragma once

namespace quorvanta::platform {

enum class Qos { userInteractive, userInitiated, standard, utility, background };

int niceOffset(Qos qos);

// Sets the calling thread's nice value for `qos`. Failures (no privilege) leave it unchanged.
void applyQosToCurrentThread(Qos qos);

// The calling thread's nice value.
int currentThreadNice();

}  // namespace quorvanta::platform
