#pragma once

#include <cstddef>

namespace quillon::platform {

// Readies the process heap for loads of many small blocks (the rows of a database source, each a
// string of its own; records themselves live in blocks of their own, see RecordText) and for the
// arrays a command takes for a while (blocks up to 32 MB come from the heap): on a
// machine where each first touch of a 4 KB page is slow, taking tens of megabytes of them in
// costs more in page faults than reading them. This grows the heap once by
// `reserve` bytes of address space (nothing is resident until used), asks the kernel to back
// that range with huge pages, and keeps it for later allocations instead of handing it back.
// Returns the bytes advised; 0 when the allocator or kernel does not allow it (a sanitizer's
// allocator, huge pages switched off), in which case nothing has changed but the heap's trim
// and mapping thresholds. Call once, early, before other threads start.
size_t PrepareHeapForLargeLoads(size_t reserve = size_t{256} << 20);

// Gives the system back the free pages inside the heap (the range readied above stays mapped).
void ReturnFreeHeapPages();
// Gives the system back the pages of the free space at the top of the calling thread's heap
// (the window's thread: the main heap), which stays mapped, so that what a command took there
// for a while (the keys of a sort, the copy of an undo point) is not left resident. Huge pages
// are given back whole, so the range takes them again.
void ReturnHeapTopPages();

// `size` bytes of fresh memory aligned to `size` (a power of two, a multiple of the page size),
// taken straight from the system; with `hugePages` the kernel is asked to back them with huge
// pages. Nothing is resident until touched. Null when no memory could be had.
void* MapAlignedBlock(size_t size, bool hugePages);
// `count` blocks of `size` bytes one after another, the first aligned to `size`, as MapAlignedBlock
// makes them (each may be given back on its own). Null when no memory could be had.
void* MapAlignedBlocks(size_t count, size_t size, bool hugePages);
// Makes the pages of [at, at + size) resident and writable without changing what they hold, so
// that a thread writing there meanwhile loses nothing. False when the system cannot (then
// nothing has changed: the pages come in as they are written).
bool Populate(void* at, size_t size);

// Gives a block MapAlignedBlock made back to the system.
void UnmapBlock(void* block, size_t size);

}  // namespace quillon::platform
