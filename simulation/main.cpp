// Program entry of the demo: hands the platform our entry, which runs the main routine.
#include "display/screen.h"
#include "platform/platform.h"
#include "simulation/appmain.h"

namespace {

// The application's entry: keep the instance, run the main routine, end with status 0.
int demoentry(pfinstance* instance, pfinstance* previous, const char* commandline, int showcmd) {
    (void)previous;
    (void)commandline;
    (void)showcmd;
    screen.instance = instance;
    appmain(pfgetcommandline());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    demoengineoptions();  // a bad VOXDA_MATH, VOXDA_THREADS or VOXDA_SIMD stops it before the display opens
    return pfrun(argc, argv, demoentry);
}
