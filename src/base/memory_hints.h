// Hints to the system about large buffers, the one place that gives them.
// On the project's machines every first touch of a 4 KiB page is costly (a
// trap and a page cleared), so genome-sized buffers ask for 2 MiB pages and
// have their pages faulted in with one request. Hints only: they apply to
// ranges of at least 1 MiB, fail harmlessly where the platform lacks them,
// and never change a buffer's contents. releasePages is the exception: it
// hands memory that will not be read again back to the system.
#pragma once

#include <cstddef>

namespace xoprex {

// Asks for huge pages over the whole 2 MiB pages inside [data, data + size).
void askForHugePages(void* data, size_t size);

// Faults in the whole 4 KiB pages inside [data, data + size) with one request.
void populate(void* data, size_t size);

// Both, for a range about to be written in full. Call before the first write.
void prepareForWriting(void* data, size_t size);

// Hands the heap's free memory back to the system (the heap keeps freed
// memory for later allocations otherwise). For after a large temporary
// structure made of many small blocks was freed, before a large allocation
// of another kind.
void returnFreedMemory();

// Hands the whole 4 KiB pages inside [data, data + size) back to the system
// (whatever the range's size). Their contents are lost: a later read gives
// zeros. For the unused tail of a large buffer.
void releasePages(void* data, size_t size);

}  // namespace xoprex
