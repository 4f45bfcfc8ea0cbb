import json
import os
import subprocess

import numpy as np
import pytest

import tav


@pytest.fixture
def tool():
    """Runs the command-line tool; returns its stdout (failing the test on a non-zero exit)."""
    def run(*args):
        done = subprocess.run([os.environ["TAV_TOOL"], *map(str, args)], capture_output=True, text=True)
        assert done.returncode == 0, done.stderr
        return done.stdout
    run.info = lambda path: json.loads(run("info", "--json", path))
    return run


@pytest.fixture
def small_list(tmp_path):
    """A stored list of 6 images of 5x4 uint8 in labels "a" < "b" < "c", with its pixels."""
    rng = np.random.default_rng(3)
    pixels = rng.integers(0, 256, size=(6, 4, 5), dtype=np.uint8)
    lst = tav.List(labels="string", data=tav.ImageType(5, 4, window=(1, 1, 3, 2), origin=(1, 0)))
    for image, label in zip(pixels, "bcabca"):
        lst.add(image, label)
    path = tmp_path / "small.tav"
    lst.store(path)
    return path, pixels
