import gc
import os
import threading
import tracemalloc

import numpy as np
import pytest

import tav


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def test_ten_thousand_loads_and_reads_leak_nothing(tmp_path):
    # 40 images of 16x16: a list or a stacked array left behind per round
    # would grow the process by over 100 MB.
    lst = tav.List("string", tav.ImageType(16, 16))
    for k in range(40):
        lst.add(np.full((16, 16), k, np.uint8), f"label {k % 4}")
    path = tmp_path / "leak.tav"
    lst.store(path)

    def rounds(count):
        for k in range(count):
            with tav.load(path) as loaded:
                loaded.arrays(), loaded.targets(), loaded[-1], loaded.labels, loaded.comment, loaded.mask
                loaded.items_of("label 1")
            if k % 10 == 0:
                with pytest.raises(tav.FileError):
                    tav.load(tmp_path / "missing.tav")

    rounds(500)
    gc.collect()
    tracemalloc.start()
    before, python_before = resident_bytes(), tracemalloc.get_traced_memory()[0]
    rounds(10_000)
    gc.collect()
    python_growth = tracemalloc.get_traced_memory()[0] - python_before
    tracemalloc.stop()
    assert resident_bytes() - before < 16 * 2**20
    assert python_growth < 2**20


def test_threads_read_while_one_adds_and_then_closes():
    lst = tav.List("string", tav.ImageType(5, 4))
    lst.add(np.zeros((4, 5), np.uint8), "0")
    failures, stop = [], threading.Event()

    def read():
        try:
            while not stop.is_set():
                image, label = lst[-1]  # one consistent item
                assert (image == int(label)).all()
                stacked = lst.arrays()
                assert all((stacked[i] == stacked[i, 0, 0]).all() for i in range(0, len(stacked), 50))
                lst.labels, lst.targets(), len(lst)
        except ValueError as e:  # the list was closed under us
            if "closed" not in str(e):
                failures.append(e)
        except Exception as e:  # noqa: BLE001  (reported below)
            failures.append(e)

    readers = [threading.Thread(target=read) for _ in range(3)]
    for reader in readers:
        reader.start()
    try:
        for k in range(1, 400):
            lst.add(np.full((4, 5), k % 9, np.uint8), str(k % 9))
            if k % 100 == 0:
                del lst[0]
        assert len(lst) == 397 and lst.labels == [str(k) for k in range(9)]
        lst.close()
    finally:
        stop.set()
        for reader in readers:
            reader.join()
    assert failures == []
