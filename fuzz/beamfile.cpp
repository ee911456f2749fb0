// voxda-track's beam files: read as the tool reads them (full layout, element size 40), then
// tracked for a few frames of single steps and one whole cell, with acceleration.
#include "fuzz/fuzztarget.h"
#include "particles/decays.h"
#include "simulation/beam.h"
#include "util/dynarray.h"

VOXDA_FUZZ_TARGET(beamfile) {
    if (fuzzsetupneeded("beamfile")) makedecaytables();
    FILE* file = fuzzstream(data, size);
    bool ok = false;
    dynarray beam = dynarrayread(file, &ok);
    std::fclose(file);
    FUZZ_CHECK(beam.data && beam.count <= beam.capacity);
    if (ok && beam.elemsize == sizeof(particle) && beam.count <= 2000) {
        double distance = startdistance;
        for (int frame = 0; frame < 4; ++frame) {
            uint32_t before = beam.count;
            uint32_t removed = cullbeam(&beam);
            FUZZ_CHECK(beam.count + removed == before);
            const particle* p = static_cast<const particle*>(beam.data);
            for (uint32_t i = 0; i < beam.count; ++i) FUZZ_CHECK(inaperture(p[i]));
            advancebeam(&beam, &distance, frame == 3);
            acceleratebeam(&beam);
        }
    }
    dynarrayrelease(beam);
    return 0;
}
