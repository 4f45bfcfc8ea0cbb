"""Times lst.arrays() and lst.targets() against tav.load() of the same file:
100,000 images of 32x32 uint8 pixels in 10 classes. Prints the ratios; the
stacking should stay within twice the load time."""
import os
import sys
import tempfile
import time

import numpy as np

import tav

COUNT = int(sys.argv[1]) if len(sys.argv) > 1 else 100_000


def best_of(runs, work):
    best = float("inf")
    for _ in range(runs):
        start = time.perf_counter()
        work()
        best = min(best, time.perf_counter() - start)
    return best


def main():
    rng = np.random.default_rng(1)
    pixels = rng.integers(0, 256, size=(COUNT, 32, 32), dtype=np.uint8)
    lst = tav.List(labels="string", data=tav.ImageType(32, 32))
    for i in range(COUNT):
        lst.add(pixels[i], f"class{i % 10}")
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "bench.tav")
        lst.store(path)
        loaded = tav.load(path)
        load = best_of(3, lambda: tav.load(path).close())
    arrays = best_of(3, loaded.arrays)
    targets = best_of(3, loaded.targets)
    assert (loaded.arrays() == pixels).all()
    print(f"{COUNT} images 32x32 u8: load {load * 1e3:.1f} ms, arrays() {arrays * 1e3:.1f} ms, "
          f"targets() {targets * 1e3:.1f} ms")
    print(f"arrays()/load = {arrays / load:.2f}, (arrays() + targets())/load = {(arrays + targets) / load:.2f}")


if __name__ == "__main__":
    main()
