#pragma once

#include <cstddef>
#include <memory>

namespace quillon::platform {

// Readies the process heap for loads of many records. Every record is its own small block, and
// on a machine where each first touch of a 4 KB page is slow, taking tens of megabytes of
// records in costs more in page faults than reading them. This grows the heap once by
// `reserve` bytes of address space (nothing is resident until used), asks the kernel to back
// that range with huge pages, and keeps it for later allocations instead of handing it back.
// Returns the bytes advised; 0 when the allocator or kernel does not allow it (a sanitizer's
// allocator, huge pages switched off), in which case nothing has changed but the heap's trim
// and mapping thresholds. Call once, early, before other threads start.
size_t PrepareHeapForLargeLoads(size_t reserve = size_t{256} << 20);

// A block for one large copy (hundreds of megabytes filled at once), taken straight from the
// system and backed by huge pages where the kernel allows, so that filling it costs a few
// hundred page faults instead of one per 4 KB. Its bytes are not cleared. Empty when no memory
// could be had.
struct LargeBlockRelease {
    size_t size = 0;
    void operator()(char* block) const;
};
using LargeBlock = std::unique_ptr<char[], LargeBlockRelease>;
LargeBlock AllocateLargeBlock(size_t size);

// Makes sure a block of `size` bytes is kept ready, its pages already given by the kernel, so
// that the next AllocateLargeBlock of that size costs no page clearing. Slow: meant for a
// thread beside the window.
void ReadyLargeBlock(size_t size);

}  // namespace quillon::platform
