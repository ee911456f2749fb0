// MPI glue of the scan: the rows of each batch spread over the processes, results gathered on all.
#pragma once

#include "studies/dascan.h"

// This process's place among the scan's processes.
struct mpiplace {
    int rank = 0, size = 1;
};

// Starts MPI (threads in use, calls from the main thread only); returns this process's place.
mpiplace mpibegin(int* argc, char*** argv);
// Ends MPI.
void mpiend();
// The rows of each batch are dealt round-robin to the processes in slices; after every slice each
// process holds every result, so every process runs the same scan. Rank 0 calls watch (with
// the whole table) after each slice. A stop on any process stops all after the slice.
batchtracker mpitracker(const dasettings& settings, const cellcontrol& control, scanwatch watch,
                        const mpiplace& place);
