// Preloaded by scripts/sanitize.sh into the programs of the ThreadSanitizer
// run, so that a test which starts a process still has its races reported.
//
// Qt 6.4 starts a process with clone(CLONE_VM | CLONE_VFORK): the child runs
// in the parent's memory until it executes the program. ThreadSanitizer
// (GCC 12) intercepts clone and, in the child, does what it does after a
// multi-threaded fork: it stops checking and reporting the thread that forked.
// In shared memory that befalls the parent: once a test had started mosquitto
// or kpv-sim, no race of its main thread was reported (seen with a two-thread
// program and with MqttDiscoveryTest). Without the two flags the child is a
// copy, as after fork(), and only the copy is changed; Qt's child reports a
// failed start through a pipe, not through shared memory.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <sched.h>
#include <stdarg.h>
#include <sys/types.h>

typedef int (*CloneCall)(int (*)(void*), void*, int, void*, ...);

int clone(int (*fn)(void*), void* stack, int flags, void* arg, ...)
{
    // glibc reads the three optional arguments whatever the flags, as here.
    va_list rest;
    va_start(rest, arg);
    pid_t* parentTid = va_arg(rest, pid_t*);
    void* tls = va_arg(rest, void*);
    pid_t* childTid = va_arg(rest, pid_t*);
    va_end(rest);
    if ((flags & CLONE_VFORK) && !(flags & CLONE_THREAD))
        flags &= ~(CLONE_VM | CLONE_VFORK);
    // ThreadSanitizer's clone, which then does its fork bookkeeping in the copy.
    const CloneCall next = (CloneCall)dlsym(RTLD_NEXT, "clone");
    return next(fn, stack, flags, arg, parentTid, tls, childTid);
}
