"""Reading and writing training arrays with tav beside NumPy's .npy and HDF5 (h5py),
in one run: COUNT images of 32x32 uint8 pixels in 10 class names (default
100,000), read from the page cache into X (N, 32, 32) and y (N,).

    build/python/python bench/python_arrays.py [COUNT]

Prints each reader's best time of three and the ratios the package aims at:
tav.open + arrays() + targets() within 1.5x of np.load and at most 1/3 of h5py;
tav.load + arrays() + targets() within 3x of np.load; the reader's peak memory
at most 1.1x the file; reader[i] at most 20 us; List.extend + store no slower
than h5py's create_dataset of the same arrays.
"""
import os
import random
import subprocess
import sys
import tempfile
import time

import numpy as np

import tav

COUNT = int(sys.argv[1]) if len(sys.argv) > 1 and sys.argv[1].isdigit() else 100_000
NAMES = [f"class{k}" for k in range(10)]


class Took(tuple):
    """(elapsed, processor) seconds; on a busy machine the second is steadier."""

    def __truediv__(self, other):
        return f"{self[0] / other[0]:.2f} ({self[1] / other[1]:.2f} in processor time)"

    def ms(self):
        return f"{self[0] * 1e3:.1f} ms ({self[1] * 1e3:.1f})"


def timed(work):
    start, cpu = time.perf_counter(), time.process_time()
    work()
    return Took((time.perf_counter() - start, time.process_time() - cpu))


def best_of(runs, work):
    runs = [timed(work) for _ in range(runs)]
    return Took((min(t[0] for t in runs), min(t[1] for t in runs)))


def build_tav(path, pixels, names):
    """Adds the arrays to a new list and stores it; returns the list."""
    lst = tav.List(labels="string", data=tav.ImageType(32, 32))
    if hasattr(tav.List, "extend"):
        lst.extend(pixels, names)
    else:  # the package before List.extend
        for image, name in zip(pixels, names):
            lst.add(image, name)
    lst.store(path)
    return lst  # released after the timing


def extend_only(pixels, names):
    lst = tav.List(labels="string", data=tav.ImageType(32, 32))
    lst.extend(pixels, names)
    return lst


def build_h5(path, pixels, y, sync=False):
    import h5py
    with h5py.File(path, "w") as f:
        f.create_dataset("X", data=pixels)
        f.create_dataset("y", data=y)
    if sync:  # as a store does: the file on the device before it returns
        fd = os.open(path, os.O_RDONLY)
        os.fsync(fd)
        os.close(fd)


def read_h5(path):
    import h5py
    with h5py.File(path, "r") as f:
        return f["X"][:], f["y"][:]


def read_npy(folder):
    return np.load(os.path.join(folder, "X.npy")), np.load(os.path.join(folder, "y.npy"))


def read_loaded(path):
    with tav.load(path) as lst:
        return lst.arrays(), lst.targets()


def read_open(path):
    with tav.open(path) as reader:
        return reader.arrays(), reader.targets()


def peak_growth(reader, path):
    """Peak resident memory a fresh process gains while reading, in bytes
    (VmHWM, which unlike ru_maxrss does not start at the parent's peak)."""
    code = ("import numpy, tav, python_arrays as b\n"
            "hwm = lambda: int(open('/proc/self/status').read().split('VmHWM:')[1].split()[0]) * 1024\n"
            f"before = hwm()\nx, y = b.{reader}({path!r})\nprint(hwm() - before)\n")
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([os.path.dirname(os.path.abspath(__file__)), *sys.path]))
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, env=env, check=True)
    return int(done.stdout)


def main():
    rng = np.random.default_rng(1)
    pixels = rng.integers(0, 256, size=(COUNT, 32, 32), dtype=np.uint8)
    y = np.arange(COUNT, dtype=np.int64) % 10
    names = [NAMES[k] for k in y]
    has_reader = hasattr(tav, "open")
    with tempfile.TemporaryDirectory() as folder:
        path, h5 = os.path.join(folder, "bench.tav"), os.path.join(folder, "bench.h5")
        built = []
        t_build = best_of(3, lambda: built.append(build_tav(path, pixels, names)))
        # What holding the arrays in memory costs a peer: a copy kept alive,
        # as the lists are, in memory touched for the first time.
        copies = []
        t_copy = best_of(3, lambda: copies.append(pixels.copy()))
        t_extend = best_of(3, lambda: built.append(extend_only(pixels, names)))
        del copies
        for lst in built:
            lst.close()
        t_h5_build = best_of(3, lambda: build_h5(h5, pixels, y))
        t_h5_sync = best_of(3, lambda: build_h5(h5, pixels, y, sync=True))
        np.save(os.path.join(folder, "X.npy"), pixels)
        np.save(os.path.join(folder, "y.npy"), y)
        size = os.path.getsize(path)

        t_npy = best_of(3, lambda: read_npy(folder))
        t_h5 = best_of(3, lambda: read_h5(h5))
        t_load = best_of(3, lambda: read_loaded(path))
        x, t = read_loaded(path)
        assert (x == pixels).all() and (t == y).all()
        print(f"{COUNT} images 32x32 u8, 10 classes; file {size / 1e6:.1f} MB; elapsed (processor) times")
        print(f"build: tav {'extend' if hasattr(tav.List, 'extend') else 'add'} + store {t_build.ms()}, "
              f"h5py create_dataset {t_h5_build.ms()}, with fsync {t_h5_sync.ms()}")
        print(f"       / h5py = {t_build / t_h5_build}, / h5py with fsync = {t_build / t_h5_sync} (aim <= 1)")
        print(f"       extend alone {t_extend.ms()}, a NumPy copy of the arrays kept in memory {t_copy.ms()}: "
              f"extend / copy = {t_extend / t_copy}")
        print(f"read:  np.load {t_npy.ms()}, h5py {t_h5.ms()}, tav.load+arrays+targets {t_load.ms()}")
        print(f"       tav.load path / np.load = {t_load / t_npy} (aim <= 3)")
        with tav.load(path) as lst:
            parts = [best_of(3, lambda: tav.load(path).close()), best_of(3, lst.arrays), best_of(3, lst.targets)]
        print("       (load {}, arrays() {}, targets() {})".format(*[t.ms() for t in parts]))
        if has_reader:
            t_open = best_of(3, lambda: read_open(path))
            x, t = read_open(path)
            assert (x == pixels).all() and (t == y).all()
            print(f"       tav.open+arrays+targets {t_open.ms()}: / np.load = {t_open / t_npy} (aim <= 1.5),")
            print(f"       / h5py = {t_open / t_h5} (aim <= 0.33)")
            with tav.open(path) as reader:
                parts = [best_of(3, lambda: tav.open(path).close()), best_of(3, reader.arrays),
                         best_of(3, reader.targets)]
                print("       (open {}, arrays() {}, targets() {})".format(*[t.ms() for t in parts]))
                picks = [random.randrange(COUNT) for _ in range(20000)]
                start = time.perf_counter()
                for i in picks:
                    reader[i]
                per_item = (time.perf_counter() - start) / len(picks)
            print(f"       reader[i], random i: {per_item * 1e6:.1f} us (aim <= 20)")
        for name in ["read_npy_path", "read_loaded"] + (["read_open"] if has_reader else []):
            target = folder if name == "read_npy_path" else path
            growth = peak_growth(name, target)
            print(f"peak memory of {name[5:]}: {growth / size:.2f}x the file" + (" (aim <= 1.1)" if name == "read_open" else ""))


def read_npy_path(folder):
    return read_npy(folder)


if __name__ == "__main__":
    main()
