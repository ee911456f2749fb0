// One frame of the demo's beam.
#include "tracking/frame.h"

uint32_t cullbeam(dynarray* beam, const framehooks& hooks) {
    uint32_t removed = 0;
    for (int64_t i = static_cast<int64_t>(beam->count) - 1; i >= 0; --i) {
        const particle& p = static_cast<const particle*>(beam->data)[i];  // removal may move the storage
        if (!inaperture(p)) {
            dynarrayremove(beam, static_cast<uint32_t>(i));
            ++removed;
        } else if (hooks.plot) {
            hooks.plot(p, hooks.context);
        }
    }
    return removed;
}

framestatus beamstatus(double distance, uint32_t count, uint32_t initialcount) {
    return {distance, displaytimems(distance), beampercent(count, initialcount), count};
}

void stepframe(engine& e, dynarray* beam, double* distance, frameactions actions) {
    advanceandaccelerate(e, static_cast<particle*>(beam->data), beam->count, distance, actions.fast,
                         actions.accelerate);
}

void runframe(engine& e, dynarray* beam, double* distance, uint32_t initialcount, frameactions actions,
              const framehooks& hooks) {
    cullbeam(beam, hooks);
    if (hooks.report) hooks.report(beamstatus(*distance, beam->count, initialcount), hooks.context);
    stepframe(e, beam, distance, actions);
}
