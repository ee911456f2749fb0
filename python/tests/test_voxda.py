"""The Python module against the command-line programs, bit for bit, and its handling of bad input."""
import os
import sys
import threading
import _thread

import numpy as np
import pytest

import voxda
from conftest import csv_rows, read_beam, run, write_beam

NAN = float("nan")


def need_math(math):
    """Skips a test of a math mode this build does not have."""
    try:
        voxda.track(np.zeros((0, 5)), 0, math=math)
    except ValueError as error:
        pytest.skip(str(error))

# Single particles with known fates over 30 cells at 800 MeV: (row, lost_at_cell).
FATES = [
    ((0.03, 0.0, 0.0, 0.0, 800.0), -1),  # well inside: survives
    ((0.09, 0.0, 0.0, 0.0, 800.0), 21),  # near the edge: lost after a few cells
    ((0.0, 0.0, 0.07, 0.001, 800.0), 8),  # vertical, with an angle
    ((0.35, 0.0, 0.0, 0.0, 800.0), 1),  # lost in the first cell
    ((0.6, 0.0, 0.0, 0.0, 800.0), 0),  # outside at the start
    ((NAN, 0.0, 0.0, 0.0, 800.0), 0),  # not-a-number: outside
    ((0.01, 0.0, NAN, 0.0, 800.0), 0),
]


def test_make_beam_is_the_beam_voxda_track_starts_with(tmp_path, track_program):
    path = tmp_path / "start.beam"
    run([track_program, "--frames", "0", "--out", str(path)])
    beam = voxda.make_beam()
    assert beam.shape == (10000, 5) and beam.dtype == np.float64 and beam.flags.c_contiguous
    assert beam.tobytes() == read_beam(path).tobytes()
    # Every call the same beam: the generator restarts and is left as it was.
    assert voxda.make_beam().tobytes() == beam.tobytes()
    assert np.all(beam[:, 4] == 800.0)


@pytest.mark.parametrize(
    "fast,frames,accelerate,math",
    [(True, 40, (5, 30), "exact"), (False, 120, (10, 90), "exact"), (True, 12, None, "exact"),
     (True, 40, (5, 30), "vector")],
)
def test_tracker_frames_are_voxda_tracks_frames(tmp_path, track_program, fast, frames, accelerate, math):
    need_math(math)
    out = tmp_path / "end.beam"
    args = [track_program, "--frames", str(frames), "--out", str(out), "--math", math]
    if fast:
        args.append("--fast")
    if accelerate:
        args += ["--accelerate", f"{accelerate[0]}:{accelerate[1]}"]
    rows = csv_rows(run(args))

    tracker = voxda.Tracker(voxda.make_beam(), math=math)
    start = tracker.count
    for frame in range(frames):
        tracker.cull()
        row = rows[frame]
        assert int(row["frame"]) == frame
        assert float(row["distance_m"]) == tracker.distance
        assert int(row["count"]) == tracker.count
        assert float(row["beam_percent"]) == 100.0 * tracker.count / start
        tracker.advance(fast=fast)
        if accelerate and accelerate[0] <= frame <= accelerate[1]:
            tracker.accelerate()
    assert tracker.particles.tobytes() == read_beam(out).tobytes()
    assert len(tracker) == tracker.count


def test_tracker_particles_is_a_copy_and_cull_counts_what_it_removes():
    rows = np.array([r for r, _ in FATES])
    tracker = voxda.Tracker(rows)
    snapshot = tracker.particles
    snapshot[:] = 0.0  # a copy: the tracker's beam is untouched
    assert np.array_equal(tracker.particles, rows, equal_nan=True)
    assert tracker.cull() == 3  # the two NaN rows and the one outside
    assert tracker.count == len(rows) - 3
    assert tracker.cull() == 0
    assert np.array_equal(tracker.particles[:2], rows[:2])  # the demo's order: holes filled from the end
    tracker.distance = 10.0
    assert tracker.distance == 10.0
    assert "count=4" in repr(tracker)


def test_track_gives_voxda_tracks_frame_of_loss_for_single_particles(tmp_path, track_program):
    rows = np.array([r for r, _ in FATES])
    final, lost = voxda.track(rows, 30)
    assert lost.dtype == np.int64 and lost.tolist() == [fate for _, fate in FATES]
    for i, row in enumerate(rows):
        write_beam(tmp_path / "one.beam", row[None, :])
        out = tmp_path / "end.beam"
        counts = [int(r["count"]) for r in csv_rows(run(
            [track_program, "--in", str(tmp_path / "one.beam"), "--fast", "--frames", "30", "--out", str(out)]))]
        # The first frame whose row leaves it out.
        assert lost[i] == (counts.index(0) if 0 in counts else -1)
        if lost[i] == -1:
            assert final[i].tobytes() == read_beam(out)[0].tobytes()
        elif lost[i] == 0:
            assert final[i].tobytes() == row.tobytes()
        else:
            assert not final[i, 0] ** 2 + final[i, 2] ** 2 <= 0.25  # kept where it was found outside


@pytest.mark.parametrize(
    "cells,accelerate,math,threads",
    [(25, None, "exact", 0), (20, (3, 12), "exact", 1), (6, 2, "exact", 3), (20, (3, 12), "vector", 0),
     (25, None, "vector", 2)],
)
def test_track_of_the_beam_matches_voxda_track_byte_for_byte(tmp_path, track_program, cells, accelerate, math,
                                                             threads):
    need_math(math)
    beam = voxda.make_beam()
    beam[::25, 0] += np.linspace(0.05, 0.3, 400)  # some near the edge, so that losses happen
    write_beam(tmp_path / "in.beam", beam)
    out = tmp_path / "end.beam"
    args = [track_program, "--in", str(tmp_path / "in.beam"), "--fast", "--frames", str(cells), "--out", str(out),
            "--math", math]
    if accelerate is not None:
        span = (accelerate, accelerate) if isinstance(accelerate, int) else accelerate
        args += ["--accelerate", f"{span[0]}:{span[1]}"]
    rows = csv_rows(run(args))
    final, lost = voxda.track(beam, cells, accelerate=accelerate, math=math, threads=threads)
    # voxda-track's row of frame k counts the particles not lost before cell k.
    for k, row in enumerate(rows):
        assert int(row["count"]) == np.count_nonzero((lost == -1) | (lost > k))
    assert np.count_nonzero(lost > 0) > 0
    # Its output beam (not checked after the last cell) holds the survivors and the last cell's losses.
    kept = final[(lost == -1) | (lost == cells)]
    assert sorted(map(bytes, kept)) == sorted(map(bytes, read_beam(out)))


def test_track_leaves_its_input_alone_unless_in_place():
    beam = voxda.make_beam()[:100]
    before = beam.copy()
    final, lost = voxda.track(beam, 3)
    assert np.array_equal(beam, before) and not np.shares_memory(final, beam)
    again, lost2 = voxda.track(beam, 3, inplace=True)
    assert again is beam and np.array_equal(beam, final) and np.array_equal(lost, lost2)


@pytest.mark.parametrize(
    "convert",
    [np.asfortranarray, lambda a: np.repeat(a, 2, axis=0)[::2], lambda a: a.tolist()],
    ids=["fortran", "strided", "list"],
)
def test_any_layout_tracks_like_the_contiguous_array(convert):
    beam = voxda.make_beam()[:200]
    beam[:, 0] *= 8  # some losses
    expected_final, expected_lost = voxda.track(beam, 10)
    final, lost = voxda.track(convert(beam), 10)
    assert final.tobytes() == expected_final.tobytes() and np.array_equal(lost, expected_lost)
    assert np.count_nonzero(lost >= 0) > 0


def test_integer_and_float32_input_is_converted():
    rows = np.array([[0, 0, 0, 0, 800]], dtype=np.int32)
    final, lost = voxda.track(rows, 2)
    assert final.dtype == np.float64 and lost.tolist() == [-1]
    final32, _ = voxda.track(np.array([[0.01, 0, 0, 0, 800]], dtype=np.float32), 2)
    final64, _ = voxda.track(np.array([[np.float32(0.01), 0, 0, 0, 800]]), 2)
    assert final32.tobytes() == final64.tobytes()


def test_empty_beams_and_zero_cells():
    final, lost = voxda.track(np.empty((0, 5)), 10)
    assert final.shape == (0, 5) and lost.shape == (0,)
    beam = voxda.make_beam()[:10]
    final, lost = voxda.track(beam, 0)
    assert np.array_equal(final, beam) and lost.tolist() == [-1] * 10
    tracker = voxda.Tracker(np.empty((0, 5)))
    tracker.advance()
    tracker.accelerate()
    assert tracker.cull() == 0 and tracker.particles.shape == (0, 5)


BAD_CALLS = [
    (lambda: voxda.track(np.zeros((3, 4)), 1), ValueError, "shape"),
    (lambda: voxda.track(np.zeros(5), 1), ValueError, "shape"),
    (lambda: voxda.track(np.zeros((2, 5, 1)), 1), ValueError, "shape"),
    (lambda: voxda.track(np.zeros((2, 5), dtype=complex), 1), TypeError, "dtype"),
    (lambda: voxda.track(np.zeros((2, 5), dtype=bool), 1), TypeError, "dtype"),
    (lambda: voxda.track(np.array([["a"] * 5]), 1), TypeError, "dtype"),
    (lambda: voxda.track([[1, 2, 3, 4, "x"]], 1), TypeError, "dtype"),
    (lambda: voxda.track(np.zeros((2, 5)), -1), ValueError, "cells"),
    (lambda: voxda.track(np.zeros((2, 5)), 1.5), TypeError, ""),
    (lambda: voxda.track(np.zeros((2, 5)), 1, math="fast"), ValueError, "math"),
    (lambda: voxda.track(np.zeros((2, 5)), 1, threads=-2), ValueError, "threads"),
    (lambda: voxda.track(np.zeros((2, 5)), 1, threads=100000), ValueError, "threads"),
    (lambda: voxda.track(np.zeros((2, 5)), 1, accelerate=(5, 2)), ValueError, "accelerate"),
    (lambda: voxda.track(np.zeros((2, 5)), 1, accelerate=(-1, 2)), ValueError, "accelerate"),
    (lambda: voxda.track(np.zeros((2, 5)), 1, accelerate="0:3"), TypeError, "accelerate"),
    (lambda: voxda.track(np.zeros((2, 5)), 1, accelerate=(1, 2, 3)), TypeError, "accelerate"),
    (lambda: voxda.track(np.zeros((2, 5), dtype=np.float32), 1, inplace=True), TypeError, "inplace"),
    (lambda: voxda.track(np.zeros((4, 5))[::2], 1, inplace=True), TypeError, "inplace"),
    (lambda: voxda.Tracker(np.zeros((2, 6))), ValueError, "shape"),
    (lambda: voxda.Tracker(np.zeros((2, 5)), math="Exact"), ValueError, "math"),
    (lambda: voxda.Tracker(np.zeros((2, 5)), threads=-1), ValueError, "threads"),
    (lambda: voxda.Tracker(None), TypeError, ""),
]


@pytest.mark.parametrize("call,error,word", BAD_CALLS)
def test_bad_input_raises_a_clear_error(call, error, word):
    with pytest.raises(error) as raised:
        call()
    assert word in str(raised.value)


def test_read_only_input_is_refused_in_place_and_tracked_otherwise():
    beam = voxda.make_beam()[:5]
    beam.flags.writeable = False
    with pytest.raises(ValueError, match="writeable"):
        voxda.track(beam, 1, inplace=True)
    final, lost = voxda.track(beam, 1)
    assert final.flags.writeable and lost.tolist() == [-1] * 5


def test_ctrl_c_interrupts_a_long_track():
    beam = voxda.make_beam()
    timer = threading.Timer(0.3, _thread.interrupt_main)
    timer.start()
    try:
        with pytest.raises(KeyboardInterrupt):
            voxda.track(beam, 5000)  # a minute or more if it were not interrupted
    finally:
        timer.cancel()


def test_track_releases_the_gil():
    beam = voxda.make_beam()[:2000]
    ticks = []
    stop = threading.Event()

    def count():
        while not stop.is_set():
            ticks.append(1)
            stop.wait(0.001)

    other = threading.Thread(target=count)
    other.start()
    try:
        before = len(ticks)
        voxda.track(beam, 300)
        during = len(ticks) - before
    finally:
        stop.set()
        other.join()
    assert during > 3  # the other thread ran while the engine tracked


def test_help_describes_every_public_name():
    names = [n for n in dir(voxda) if not n.startswith("_")]
    for name in names:
        if callable(getattr(voxda, name)):
            assert len(getattr(voxda, name).__doc__) > 40, name
        else:
            assert name in voxda.__doc__, name  # constants are described in the module's help
    assert "make_beam" in voxda.__doc__ and "track" in voxda.__doc__


def test_the_example_scan_makes_its_picture(tmp_path):
    pytest.importorskip("matplotlib")
    image = pytest.importorskip("PIL.Image")
    example = os.path.join(os.path.dirname(__file__), "..", "..", "examples", "da_scan.py")
    out = tmp_path / "scan.png"
    printed = run([sys.executable, example, str(out)], env=dict(os.environ, MPLCONFIGDIR=str(tmp_path)))
    assert "dynamic aperture after 200 cells" in printed
    with image.open(out) as picture:
        assert picture.size == (640, 400)
        assert len(picture.convert("RGB").getcolors(1 << 16)) > 50  # a drawing, not a blank page
