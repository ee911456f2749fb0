// fontedit: edits the glyphs of a font file on the screen and saves it back.
//
// usage: fontedit [font-file]     (default font.dat in the current directory)
//
// The display opens full screen in 8-bit mode. Left button: paint with the current colour,
// pick a colour from the palette panel, or select a glyph in the table at the bottom right;
// right button on the glyph: take the colour under the pointer (transparent included);
// arrows: remove or add the bottom row / right column; D: double the glyph; T: make black
// pixels transparent and trim every glyph; Q: save and quit. The previous file is kept as
// <font-file>.bak.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "display/graphics.h"
#include "display/screen.h"
#include "platform/platform.h"
#include "text/fontstore.h"
#include "util/helpers.h"
#include "util/outputfile.h"
#include "text/glyphedit.h"

namespace {

std::string fontpath = "font.dat";
constexpr const char* editname = "edited font";

int editorentry(pfinstance* instance, pfinstance*, const char*, int) {
    screen.instance = instance;
    GRAPHICS(screen.instance, 0, 0, "voxda font editor", 1, 0);
    if (screen.width == 0) {
        std::fprintf(stderr, "fontedit: no display\n");
        return 1;
    }
    if (!loadfont(fontpath.c_str(), editname))
        std::printf("fontedit: %s could not be read; starting from blank glyphs\n", fontpath.c_str());
    selectfont(findfont(editname));
    editfont();
    endgraphics();

    std::error_code error;
    std::string backup = fontpath + ".bak";
    if (std::filesystem::exists(fontpath, error)) {
        int length = -1;  // stays -1 when the file cannot be opened
        errno = 0;
        unsigned char* old = readwholefile(fontpath.c_str(), &length);
        bool kept = length >= 0 && (old || length == 0) &&
                    writewholefile(backup.c_str(), old, static_cast<size_t>(length));
        std::free(old);
        if (!kept) {
            std::fprintf(stderr, "fontedit: cannot keep a backup as %s (%s); the font was not saved\n",
                         backup.c_str(), std::strerror(errno ? errno : EIO));
            return 1;
        }
    }
    if (!savefont(fontpath.c_str(), editname)) {
        std::fprintf(stderr, "fontedit: cannot write %s\n", fontpath.c_str());
        return 1;
    }
    std::printf(
        "fontedit: saved %s%s\n", fontpath.c_str(),
        std::filesystem::exists(backup, error) ? (" (previous file kept as " + backup + ")").c_str() : "");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help"))) {
        std::fprintf(stderr, "usage: fontedit [font-file]   (default font.dat)\n");
        return argc > 2 ? 2 : 0;
    }
    if (argc == 2) fontpath = argv[1];
    return pfrun(argc, argv, editorentry);
}
