// MPI glue of the scan: the rows of each batch spread over the processes, results gathered on all.
#include "studies/mpi/mpiscan.h"

#include <mpi.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <vector>

namespace {

constexpr size_t slicerowsperprocess = 256;  // between exchanges, so checkpoints stay recent

}  // namespace

mpiplace mpibegin(int* argc, char*** argv) {
    int provided = 0;
    MPI_Init_thread(argc, argv, MPI_THREAD_FUNNELED, &provided);
    mpiplace place;
    MPI_Comm_rank(MPI_COMM_WORLD, &place.rank);
    MPI_Comm_size(MPI_COMM_WORLD, &place.size);
    return place;
}

void mpiend() { MPI_Finalize(); }

batchtracker mpitracker(const dasettings& settings, const cellcontrol& control, scanwatch watch,
                        const mpiplace& place) {
    return [settings, control, watch, place](datable& table, size_t first, size_t end) {
        std::vector<size_t> waiting;
        for (size_t i = first; i < end; ++i)
            if (table.lost[i] == pending) waiting.push_back(i);
        const size_t size = static_cast<size_t>(place.size), rank = static_cast<size_t>(place.rank);
        const size_t slice = slicerowsperprocess * size;
        for (size_t start = 0; start < waiting.size(); start += slice) {
            size_t stop = std::min(waiting.size(), start + slice);
            // Row start + j goes to process j mod size.
            std::vector<size_t> mine;
            for (size_t j = rank; start + j < stop; j += size) mine.push_back(waiting[start + j]);
            bool finished = trackrows(table, mine, settings, control, scanwatch());
            std::vector<int64_t> sent(mine.size());
            for (size_t k = 0; k < mine.size(); ++k) sent[k] = table.lost[mine[k]];
            std::vector<int> counts(size), offsets(size);
            for (size_t r = 0; r < size; ++r) {
                size_t n = start + r < stop ? (stop - start - r + size - 1) / size : 0;
                counts[r] = static_cast<int>(n);
                offsets[r] = r ? offsets[r - 1] + counts[r - 1] : 0;
            }
            std::vector<int64_t> all(stop - start);
            MPI_Allgatherv(sent.data(), static_cast<int>(sent.size()), MPI_INT64_T, all.data(), counts.data(),
                           offsets.data(), MPI_INT64_T, MPI_COMM_WORLD);
            for (size_t r = 0; r < size; ++r)
                for (int k = 0; k < counts[r]; ++k)
                    table.lost[waiting[start + r + static_cast<size_t>(k) * size]] =
                        all[static_cast<size_t>(offsets[r] + k)];
            int stopped = finished ? 0 : 1, anystopped = 0;
            MPI_Allreduce(&stopped, &anystopped, 1, MPI_INT, MPI_MAX, MPI_COMM_WORLD);
            if (rank == 0 && watch) {
                scanprogress p;
                p.rows = static_cast<int64_t>(table.size());
                for (size_t i = 0; i < table.size(); ++i) p.done += table.lost[i] != pending;
                p.batchrows = static_cast<int64_t>(waiting.size());
                p.batchdone = static_cast<int64_t>(stop);
                for (size_t j = 0; j < stop; ++j) {
                    int64_t l = table.lost[waiting[j]];
                    p.particlecells += l == survived ? settings.tracking.cells : std::max<int64_t>(l, 0);
                }
                watch(p, [&table] { return table; });
            }
            if (anystopped) return false;
        }
        return true;
    };
}
