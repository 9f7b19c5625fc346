#pragma once

#include <cstddef>

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

// `size` bytes of fresh memory aligned to `size` (a power of two, a multiple of the page size),
// taken straight from the system; with `hugePages` the kernel is asked to back them with huge
// pages. Nothing is resident until touched. Null when no memory could be had.
void* MapAlignedBlock(size_t size, bool hugePages);
// Gives a block MapAlignedBlock made back to the system.
void UnmapBlock(void* block, size_t size);

}  // namespace quillon::platform
