// Clang's thread-safety attributes, so that the compiler checks which lock guards what: with
// -Wthread-safety, reading or writing a GUARDED_BY member, or calling a REQUIRES function, without
// its lock held is a warning (an error in the clang build), and so is calling an EXCLUDES function
// with it held. Other compilers see nothing.
#pragma once

#if defined(__clang__)
#define QIRAOID_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define QIRAOID_THREAD_ATTRIBUTE(x)
#endif

// A type whose objects are locks.
#define CAPABILITY(name) QIRAOID_THREAD_ATTRIBUTE(capability(name))
// A type whose objects hold a lock for their scope.
#define SCOPED_CAPABILITY QIRAOID_THREAD_ATTRIBUTE(scoped_lockable)
// A member read or written only with the lock held.
#define GUARDED_BY(lock) QIRAOID_THREAD_ATTRIBUTE(guarded_by(lock))
// A function called only with the locks held.
#define REQUIRES(...) QIRAOID_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
// A function called only without the locks held (it takes them itself).
#define EXCLUDES(...) QIRAOID_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
// A function that takes the locks and returns holding them.
#define ACQUIRE(...) QIRAOID_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
// A function that lets the locks go.
#define RELEASE(...) QIRAOID_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
