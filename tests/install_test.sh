#!/usr/bin/env bash
# Installs the build into a temporary prefix and runs the installed programs from elsewhere:
# voxda-track and voxda-da give the built programs' output, the demo finds its installed font,
# and Debian's Python imports the installed module.
# usage: install_test.sh BUILD_DIR SOURCE_DIR PYTHON
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
python=${3:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/voxda-install.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "install_test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" > "$work/install.log" || fail "cmake --install failed"
[ -f "$prefix/share/voxda/font.dat" ] || fail "font.dat not installed"
[ -f "$prefix/share/doc/voxda/font.LICENSE" ] || fail "the font's licence is not installed"
cmp -s "$source/assets/font.dat" "$prefix/share/voxda/font.dat" || fail "installed font.dat differs"

mkdir "$work/elsewhere"
cd "$work/elsewhere"

# The installed tracker gives the built one's output.
"$prefix/bin/voxda-track" --fast --frames 5 --accelerate 1:3 --out installed.beam > installed.csv
"$build/voxda-track" --fast --frames 5 --accelerate 1:3 --out built.beam > built.csv
cmp -s installed.csv built.csv || fail "installed voxda-track prints other rows"
cmp -s installed.beam built.beam || fail "installed voxda-track writes another beam"

# The dynamic-aperture scan, when this build has it.
if [ -x "$build/voxda-da" ]; then
    [ -x "$prefix/bin/voxda-da" ] || fail "voxda-da not installed"
    "$prefix/bin/voxda-da" --amplitude 10mm:90mm:5 --angles 0:90:3 --cells 10 --quiet -o installed > /dev/null
    "$build/voxda-da" --amplitude 10mm:90mm:5 --angles 0:90:3 --cells 10 --quiet -o built > /dev/null
    cmp -s installed.csv built.csv || fail "installed voxda-da writes another table"
fi

# The installed demo, started here (no font.dat in this folder), draws with the installed font:
# its frame equals that of a run in a folder holding font.dat, and differs from that of a
# run without any font (placeholder glyphs), which the built program shows here.
demo() {  # program, capture folder
    VOXDA_DISPLAY=headless VOXDA_SCREEN=320x240 VOXDA_KEYS=Q@1 VOXDA_CAPTURE="$2:1-9" "$1" > /dev/null 2>&1 \
        || fail "$1 failed"
}
mkdir "$work/withfont" && cp "$source/assets/font.dat" "$work/withfont/"
demo "$build/voxda" "$work/warmup"  # writes the colour tables' cache, so that no run shows a progress bar
cp crarray.cgf "$work/withfont/"
demo "$prefix/bin/voxda" "$work/installed"
(cd "$work/withfont" && demo "$build/voxda" "$work/withfont/frames")
demo "$build/voxda" "$work/nofont"
last() { ls "$1"/frame*.bmp | tail -1; }  # the demo's frame, after what set-up presents
cmp -s "$(last "$work/installed")" "$(last "$work/withfont/frames")" \
    || fail "the installed demo did not draw with the installed font"
cmp -s "$(last "$work/nofont")" "$(last "$work/withfont/frames")" \
    && fail "a run without font.dat looks like one with it: the check above proves nothing"

# The installed Python module, imported by Debian's Python from the prefix.
if [ -n "$python" ]; then
    site=$(find "$prefix/lib" -name 'voxda*.so' -printf '%h\n' | head -1)
    [ -n "$site" ] || fail "the Python module is not installed"
    PYTHONPATH=$site "$python" -c "
import sys, voxda
assert voxda.__file__.startswith(sys.argv[1]), voxda.__file__
assert voxda.make_beam().shape == (10000, 5)
" "$prefix" || fail "the installed Python module does not import"
fi
echo "install_test: installed programs run"
