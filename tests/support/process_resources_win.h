#pragma once

// What this process holds of the system's objects, for the leak tests: GDI objects, USER objects,
// kernel handles and private memory. The documented counters (GetGuiResources,
// GetProcessHandleCount, the PrivateUsage of GetProcessMemoryInfo) are used where they work; Wine
// answers all of them with zero, so there each count is taken from what the process can see of
// its own tables instead (see the .cpp for how).

#include <cstddef>
#include <string>

namespace corvalo::test {

bool RunningUnderWine();

// Each is -1 when it cannot be counted here.
long GdiObjectCount();
long UserObjectCount();
long KernelHandleCount();
// Bytes of committed memory that belong to this process alone.
size_t PrivateBytes();

struct ResourceSnapshot {
    long gdi = 0;
    long user = 0;
    long kernel = 0;
    size_t privateBytes = 0;
};
ResourceSnapshot TakeResourceSnapshot();
std::string Describe(const ResourceSnapshot& snapshot);

}  // namespace corvalo::test
