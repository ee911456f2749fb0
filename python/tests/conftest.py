"""Shared fixtures: the built programs and reading and writing their beam files."""
import os
import struct
import subprocess

import numpy as np
import pytest

BUILD_DIR = os.environ.get("VOXDA_BUILD_DIR", "build")


def program(name):
    """Path of a built program, or skip the test when this build has none."""
    path = os.path.join(BUILD_DIR, name)
    if not os.access(path, os.X_OK):
        pytest.skip(f"{name} is not built")
    return path


def run(args, **kwargs):
    """Runs a program and returns its standard output; a failure fails the test."""
    done = subprocess.run(args, capture_output=True, text=True, **kwargs)
    assert done.returncode == 0, f"{args} failed ({done.returncode}): {done.stderr}"
    return done.stdout


def write_beam(path, rows):
    """A beam file in the growable array's full layout (count, 40, minimum capacity, growth)."""
    rows = np.ascontiguousarray(rows, dtype="<f8")
    with open(path, "wb") as f:
        f.write(struct.pack("<IIIf", len(rows), 40, 1, 60.0))
        f.write(rows.tobytes())


def read_beam(path):
    """The particles of a beam file as an (N, 5) float64 array, checking its header."""
    with open(path, "rb") as f:
        data = f.read()
    count, elemsize, _, _ = struct.unpack("<IIIf", data[:16])
    assert elemsize == 40 and len(data) == 16 + 40 * count
    return np.frombuffer(data[16:], dtype="<f8").reshape(count, 5)


def csv_rows(text):
    """The rows of a CSV text as dicts of strings."""
    lines = text.strip().split("\n")
    header = lines[0].split(",")
    return [dict(zip(header, line.split(","))) for line in lines[1:]]


@pytest.fixture
def track_program():
    return program("voxda-track")
