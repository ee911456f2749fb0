#!/usr/bin/env bash
# Builds the Debian package with CPack into a temporary folder, checks its dependencies and
# contents, unpacks it (without installing) and runs the unpacked programs and module.
# usage: package_test.sh BUILD_DIR PYTHON
set -euo pipefail
build=$(cd "$1" && pwd)
python=${2:-}
work=$(mktemp -d "${TMPDIR:-/tmp}/voxda-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() { echo "package_test: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1 \
    || { cat "$work/cpack.log" >&2; fail "cpack failed"; }
deb=$(ls "$work"/voxda_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for needed in libsdl2 libstdc++6 ${python:+python3-numpy}; do
    [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
if [ -n "$python" ]; then
    version=$("$python" -c 'import sys; print("%d.%d" % sys.version_info[:2])')
    [[ $depends == *"python3 (>= $version)"* ]] || fail "Depends does not name Python $version: $depends"
fi

dpkg-deb -x "$deb" "$work/root"
usr=$work/root/usr
for file in bin/voxda bin/voxda-track share/voxda/font.dat share/doc/voxda/font.LICENSE; do
    [ -e "$usr/$file" ] || fail "the package lacks /usr/$file"
done
cd "$work"
"$usr/bin/voxda-track" --fast --frames 3 > unpacked.csv
"$build/voxda-track" --fast --frames 3 > built.csv
cmp -s unpacked.csv built.csv || fail "the packaged voxda-track prints other rows"
if [ -n "$python" ]; then
    [ -f "$usr"/lib/python3/dist-packages/voxda*.so ] || fail "the package lacks the Python module"
    PYTHONPATH=$usr/lib/python3/dist-packages "$python" -c "
import voxda
print(voxda.track(voxda.make_beam(), 10)[1].max())" > max.txt || fail "the packaged module does not import"
    [ "$(cat max.txt)" = "-1" ] || fail "the packaged module tracks differently: $(cat max.txt)"
fi
echo "package_test: the package holds working programs"
