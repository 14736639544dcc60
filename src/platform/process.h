// The running executable and the working directory.
#pragma once

#include <string>

namespace platform {

// Full path of the running executable (from /proc/self/exe); empty on failure.
std::string GetModuleFileName();

// Has malloc give large freed blocks back to the system and keep fewer heaps.
// Call first thing in main, before any thread starts.
void KeepTheHeapSmall();

// The working directory; empty when it cannot be told (it was removed, say).
std::string GetCurrentDirectory();

// Makes `directory` the working directory; false on failure.
bool SetCurrentDirectory(const std::string& directory);

}  // namespace platform
