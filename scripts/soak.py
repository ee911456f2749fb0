#!/usr/bin/env python3
"""Soak run of the demo: the real program, scripted, for many frames.

The script turns fast mode on, accelerates until the beam is lost, then minimises and restores
the window again and again (toggling fast mode between restores) and saves screenshots. It
checks that the run ends with status 0, that memory stays flat after warm-up (VmRSS sampled
from /proc), that no file descriptor leaks (/proc/PID/fd), and that the picture comes back
identical after every sampled restore (outside the status text, which counts the distance).

    scripts/soak.py [--frames N] [--cycles N] [--samples N] [--sdl] [--program build/voxda]

--short is a quick variant for the tests. --sdl runs the SDL window (under Xvfb when DISPLAY
is not set). Prints the figures; exit status 1 when a check fails.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def readbmp(path):
    """(width, height, palette bytes, rows top-down) of an 8- or 24-bit BMP."""
    with open(path, 'rb') as f:
        data = f.read()
    offset, = struct.unpack_from('<I', data, 10)
    width, height = struct.unpack_from('<ii', data, 18)
    bits, = struct.unpack_from('<H', data, 28)
    palette = data[54:offset] if bits == 8 else b''
    rowbytes = (width * bits // 8 + 3) // 4 * 4
    rows = [data[offset + r * rowbytes: offset + r * rowbytes + width * bits // 8] for r in range(abs(height))]
    if height > 0:
        rows.reverse()
    return width, abs(height), bits // 8, palette, rows


def samepicture(a, b, textrows, textcols):
    """True when two frames agree everywhere outside the status text box at the top left."""
    wa, ha, pa, pala, rowsa = readbmp(a)
    wb, hb, pb, palb, rowsb = readbmp(b)
    if (wa, ha, pa, pala) != (wb, hb, pb, palb):
        return False
    for y in range(ha):
        if y < textrows:
            if rowsa[y][textcols * pa:] != rowsb[y][textcols * pa:]:
                return False
        elif rowsa[y] != rowsb[y]:
            return False
    return True


def status(pid):
    fields = {}
    try:
        with open('/proc/%d/status' % pid) as f:
            for line in f:
                key, _, value = line.partition(':')
                if key in ('VmRSS', 'VmHWM'):
                    fields[key] = int(value.split()[0])  # kB
        fields['fds'] = len(os.listdir('/proc/%d/fd' % pid))
    except (FileNotFoundError, ProcessLookupError):
        return None
    return fields


def main():
    p = argparse.ArgumentParser()
    p.add_argument('--frames', type=int, default=100000)
    p.add_argument('--cycles', type=int, default=1000)
    p.add_argument('--samples', type=int, default=40, help='restores whose pictures are compared')
    p.add_argument('--short', action='store_true', help='3000 frames, 20 cycles (for the tests)')
    p.add_argument('--sdl', action='store_true')
    p.add_argument('--size', default='640x480')
    p.add_argument('--program', default=os.path.join(ROOT, 'build', 'voxda'))
    p.add_argument('--keep', action='store_true', help='keep the working directory')
    a = p.parse_args()
    if a.short:
        a.frames, a.cycles, a.samples = 3000, 20, 10

    # Fast mode from frame 2, acceleration held until the beam is long lost (by frame 311 in fast
    # mode), then the minimise cycles, each followed half a period later by a fast-mode toggle.
    # MIN@n is taken by pump n, which follows frame n - 1: frames n - 1 and n bracket the restore.
    first = 600
    period = max(4, (a.frames - first - 50) // max(1, a.cycles))
    keys = ['F@2', 'A@3-450']
    mins = []
    for k in range(a.cycles):
        n = first + k * period
        if n + period // 2 >= a.frames:
            break
        mins.append(n)
        keys += ['MIN@%d' % n, 'F@%d' % (n + period // 2)]
    keys.append('Q@%d' % (a.frames + 1))
    step = max(1, len(mins) // max(1, a.samples))
    sampled = mins[::step][:a.samples]
    captures = sorted({f for n in sampled for f in (n - 1, n)} |
                      set(range(10000, a.frames + 1, 10000)) | {a.frames})

    work = tempfile.mkdtemp(prefix='voxda-soak-')
    shutil.copy(os.path.join(ROOT, 'assets', 'font.dat'), work)
    env = dict(os.environ)
    env['VOXDA_SCREEN'] = a.size
    env['VOXDA_KEYS'] = ' '.join(keys)
    env['VOXDA_CAPTURE'] = os.path.join(work, 'frames') + ':' + ','.join(str(f) for f in captures)
    xvfb = None
    if a.sdl:
        env['VOXDA_DISPLAY'] = 'sdl'
        if not env.get('DISPLAY'):
            display = ':%d' % (90 + os.getpid() % 100)
            xvfb = subprocess.Popen(['Xvfb', display, '-screen', '0', '1280x1024x24', '-nolisten', 'tcp'],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            env['DISPLAY'] = display
            time.sleep(1.0)
    else:
        env['VOXDA_DISPLAY'] = 'headless'

    start = time.time()
    proc = subprocess.Popen([a.program], cwd=work, env=env, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    samples = []
    while proc.poll() is None:
        s = status(proc.pid)
        if s and s.get('VmRSS', 0) > 1024:  # the program itself, not the fork before exec
            samples.append((time.time() - start, s))
        time.sleep(0.05)
    err = proc.stderr.read().decode(errors='replace')
    elapsed = time.time() - start
    if xvfb:
        xvfb.terminate()
        xvfb.wait()

    failures = []
    if proc.returncode != 0:
        failures.append('exit status %d: %s' % (proc.returncode, err.strip()))
    frames = sorted(os.listdir(os.path.join(work, 'frames'))) if os.path.isdir(os.path.join(work, 'frames')) else []
    if len(frames) != len(captures):
        failures.append('%d of %d captured frames saved' % (len(frames), len(captures)))
    restoresseen = 0
    for n in sampled:
        before = os.path.join(work, 'frames', 'frame%06d.bmp' % (n - 1))
        after = os.path.join(work, 'frames', 'frame%06d.bmp' % n)
        if os.path.exists(before) and os.path.exists(after):
            restoresseen += 1
            if not samepicture(before, after, textrows=60, textcols=320):
                failures.append('the picture changed across the restore at frame %d' % n)

    # Memory: after warm-up (the first quarter of the run) the resident size may not grow.
    if len(samples) >= 8:
        quarter = len(samples) // 4
        warm = [s['VmRSS'] for _, s in samples[quarter:2 * quarter]]
        late = [s['VmRSS'] for _, s in samples[-quarter:]]
        growth = max(late) - max(warm)
        fdsearly, fdslate = samples[quarter][1]['fds'], samples[-1][1]['fds']
        if growth > 4096:
            failures.append('resident memory grew by %d kB after warm-up' % growth)
        if fdslate > fdsearly:
            failures.append('file descriptors grew from %d to %d' % (fdsearly, fdslate))
        print('soak: %d frames, %d minimise/restore cycles, %.1f s, %s' %
              (a.frames, len(mins), elapsed, 'SDL under Xvfb' if a.sdl else 'headless'))
        print('soak: VmRSS %d kB at the first sample, %d kB after warm-up, %d kB at the end (peak %d kB)' %
              (samples[0][1]['VmRSS'], max(warm), samples[-1][1]['VmRSS'], samples[-1][1]['VmHWM']))
        print('soak: file descriptors %d after warm-up, %d at the end' % (fdsearly, fdslate))
    else:
        print('soak: %d frames, %d cycles in %.1f s (too quick for memory samples)' % (a.frames, len(mins), elapsed))
    print('soak: %d restores compared picture by picture' % restoresseen)
    if not a.keep:
        shutil.rmtree(work, ignore_errors=True)
    else:
        print('soak: kept', work)
    for f in failures:
        print('soak: FAILED:', f)
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
