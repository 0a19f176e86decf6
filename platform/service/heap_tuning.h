#pragma once
// Heap settings for a process that serves requests on many threads at once.

namespace vgl {

/// Keeps freed heap memory for the next request instead of handing it back to the system: large
/// blocks (a label's bitmaps run to several MB) come from the heap up to 64 MiB instead of fresh
/// mappings, a heap is trimmed only when more than 32 MiB lie free at its top (a label request
/// frees some 20 MB at once; at 16 MiB every request trimmed and faulted its memory in again). The
/// number of heaps stays the library's (eight per core), so that the threads serving requests
/// seldom share one heap's lock. Without this, every request maps, faults in, zeroes and unmaps its
/// large blocks again, and the unmapping interrupts every core the process runs on. Call once, at
/// the start of main, before any thread is made.
void TuneHeapForConcurrentRequests();

} // namespace vgl
