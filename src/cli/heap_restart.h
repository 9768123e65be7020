// A whole genome, or tens of thousands of records, is held in heap memory
// that the reader touches once; on machines where each first touch of a
// 4 KiB page is slow, letting the C library back the heap with transparent
// huge pages makes reading several times faster. One heap for all threads
// keeps the scan threads' few allocations on those pages too (a fresh
// per-thread heap would fault its pages in one by one), and growing the heap
// 32 MiB at a time lets the many small records of a large result (one text
// per hit) land on those pages instead of a trickle of 4 KiB ones; memory
// that is never touched costs nothing. Blocks up to 32 MiB (sort orders,
// copied site texts, the results table's buffers) come from that heap too
// rather than from separate mappings of 4 KiB pages, and freed memory stays
// in the heap for the next allocation instead of going back to the system
// and being faulted in again. The library reads
// these settings only at start-up, so the program restarts itself once with
// them, unless the user has set GLIBC_TUNABLES (then nothing changes).
//
// Only commands that scan restart: the others hold little memory.
#pragma once

// Restarts the program (execv of /proc/self/exe with the same arguments)
// with the heap settings above; returns only when it does not restart (the
// settings are already in force, GLIBC_TUNABLES is the user's, or the
// restart failed).
void restartWithHugePageHeap(char** argv);
