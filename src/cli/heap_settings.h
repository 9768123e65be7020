// A whole genome, or tens of thousands of records, is held in heap memory
// that the reader touches once; on machines where each first touch of a
// 4 KiB page is slow, backing the heap with transparent huge pages makes
// reading several times faster. One heap for all threads keeps the scan
// threads' few allocations on those pages too (a fresh per-thread heap
// would fault its pages in one by one); the heap's address space is
// reserved ahead (512 MiB, 32 MiB at a time past it or under a memory
// limit) so that the many small records of a large result land on huge
// pages instead of a trickle of 4 KiB ones, and memory that is never
// touched costs nothing. Blocks up to 32 MiB (sort orders, copied site
// texts, the results table's buffers) come from that heap too rather than
// from separate mappings of 4 KiB pages, and freed memory stays in the heap
// for the next allocation instead of going back to the system and being
// faulted in again.
//
// Only commands that scan call it: the others hold little memory.
#pragma once

// Sets the heap up as above, in place (the C library's allocator settings
// and a huge-page hint over the reserved heap). Nothing changes when the
// user has set GLIBC_TUNABLES, under a limit on the address space or data
// segment below 512 MiB (where reserving ahead would make the run fail
// sooner than the defaults), or with another C library.
void tuneHeapForScanning();
