// Test helper: the system's Python with the imaging library, an image reader independent of ours.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "tests/testprocess.h"

// "/usr/bin/python3" when it can import PIL, else "" (the python3 first on PATH may be a build
// without PIL, so the system's interpreter is always the one asked).
inline const std::string& pilpython() {
    static const std::string python =
        runcommand("/usr/bin/python3 -c 'import PIL.Image' 2>/dev/null") == 0 ? "/usr/bin/python3" : "";
    return python;
}

// Size, mode and RGB pixels of an image file as read by PIL: one 0xRRGGBB value per pixel, top
// row first. False when PIL is missing or cannot read the file.
inline bool pilreadrgb(const std::string& path, int& w, int& h, std::string& mode,
                       std::vector<unsigned>& rgb) {
    if (pilpython().empty()) return false;
    std::string command =
        pilpython() +
        " -c 'import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
        "print(im.size[0], im.size[1], im.mode); "
        "print(\" \".join(str(r << 16 | g << 8 | b) for r, g, b in im.convert(\"RGB\").getdata()))' " +
        shellquoted(path);
    std::FILE* p = popen(command.c_str(), "r");
    if (!p) return false;
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
    if (pclose(p) != 0) return false;
    std::istringstream in(out);
    in >> w >> h >> mode;
    rgb.clear();
    unsigned v;
    while (in >> v) rgb.push_back(v);
    return true;
}
