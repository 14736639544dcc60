// This process's resident memory, for tests that look for leaks in it.
#pragma once

#include <unistd.h>

#include <fstream>

// The address sanitizer's quarantine keeps freed memory resident.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kFreedMemoryIsHeldBack = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kFreedMemoryIsHeldBack = true;
#else
inline constexpr bool kFreedMemoryIsHeldBack = false;
#endif
#else
inline constexpr bool kFreedMemoryIsHeldBack = false;
#endif

// Resident memory in KiB, from /proc; -1 when it cannot be read.
inline long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = -1;
    statm >> pages >> resident;
    return resident < 0 ? -1 : resident * (::sysconf(_SC_PAGESIZE) / 1024);
}
