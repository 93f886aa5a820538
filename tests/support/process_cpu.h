// CPU time another process has used, read from /proc (Linux).
#pragma once

#include <sys/types.h>

// User plus system CPU time of `pid` in seconds; negative when unknown.
double ProcessCpuSeconds(pid_t pid);
// Times the main thread of `pid` went to sleep and woke so far (its
// voluntary context switches); negative when unknown.
long MainThreadWakeups(pid_t pid);
