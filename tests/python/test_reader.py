import errno
import os
import pickle
import subprocess
import sys

import numpy as np
import pytest

import tav

FORMS = [  # label type, data type, item shape, dtype
    ("string", tav.ImageType(5, 3, planes=3, dtype="uint16", window=(1, 0, 3, 2)), (3, 5, 3), np.uint16),
    (tav.VectorType(2), tav.ImageType(2, 2, dtype="float32"), (2, 2), np.float32),
    (tav.VectorType(2), tav.VectorType(4), (4,), np.float32),
]


def random_list(labels, data, shape, dtype, count=40, seed=5):
    rng = np.random.default_rng(seed)
    x = rng.integers(0, 60000, size=(count, *shape)).astype(dtype)
    if dtype == np.float32:
        x.flat[-2:] = -1.5, np.inf
    if labels == "string":
        names = [["moon", "sün", "星"][k] for k in rng.integers(0, 3, count)]
    else:
        names = rng.integers(0, 3, size=(count, 2)).astype(np.float32)
    lst = tav.List(labels, data)
    lst.extend(x, names)
    lst.set_excluded(lst.labels[0])
    lst.set_excluded(lst.labels[0], False)
    lst.set_excluded(lst.labels[1])
    assert lst.excluded == [k == 1 for k in range(len(lst.labels))]
    lst.comment, lst.mask = "kept", x[0]
    return lst, x


@pytest.mark.parametrize("labels, data, shape, dtype", FORMS)
def test_reader_lists_and_their_copies_agree_on_every_selection(tmp_path, tool, labels, data, shape, dtype):
    lst, original = random_list(labels, data, shape, dtype)
    np.testing.assert_array_equal(lst.arrays(), original)
    path = tmp_path / "l.tav"
    lst.store(path)
    tool("verify", path)
    loaded, pickled = tav.load(path), pickle.loads(pickle.dumps(lst))
    with tav.open(path) as reader:
        unpickled_reader = pickle.loads(pickle.dumps(reader))
        for other in [loaded, pickled, unpickled_reader]:
            assert (other.labels == reader.labels if labels == "string"
                    else np.array_equal(other.labels, reader.labels))
            assert (len(other), other.excluded, other.comment, other.created, other.modified) == (
                len(reader), reader.excluded, reader.comment, reader.created, reader.modified)
            assert (other.label_type, other.data_type) == (labels, data)
            np.testing.assert_array_equal(other.mask, reader.mask)
        mask = np.arange(40) % 3 == 0
        for which in [None, slice(3, 30, 4), slice(-5, None), [39, 0, 0, -2], np.array([], int), mask]:
            for excluded in [True, False]:
                for other in [lst, loaded, pickled, reader]:
                    x, y = other.arrays(which, excluded), other.targets(which, excluded)
                    np.testing.assert_array_equal(x, lst.arrays(which, excluded))
                    np.testing.assert_array_equal(y, lst.targets(which, excluded))
                    assert x.dtype == dtype and x.shape[1:] == shape
            if which is not None:
                x, y = reader[which]
                np.testing.assert_array_equal(x, lst.arrays(which))
                np.testing.assert_array_equal(y, lst.targets(which))
        for i in [0, 17, -1, -40]:
            assert np.array_equal(reader[i][0], lst[i][0]) and np.array_equal(reader[i][1], lst[i][1])
        for label in lst.labels:
            assert label in reader and label in lst and reader.items_of(label) == lst.items_of(label)
        for stranger in ["comet", [9.0, 9.0], 3, None]:
            assert stranger not in reader and stranger not in lst
        for bad, error in [(40, IndexError), (-41, IndexError), (2**40, IndexError), ([40], IndexError),
                           ([0.5], TypeError), (mask[1:], IndexError)]:
            with pytest.raises(error):
                reader[bad]
            with pytest.raises(error):
                lst[bad]
    assert reader.closed and "closed" in repr(reader)
    with pytest.raises(ValueError, match="closed"):
        reader[0]


def test_extend_refuses_misfits_whole_and_names_what_the_list_takes():
    lst = tav.List("string", tav.ImageType(5, 4))
    x = np.zeros((3, 4, 5), np.uint8)
    lst.extend(x, ["a", "b", "a"])
    for data, names, error, text in [
        (x.astype(np.float32), ["a"] * 3, tav.IncompatibleError, r"\(N, 4, 5\) uint8 array; given a \(3, 4, 5\) float32"),
        (x[:, :, :4], ["a"] * 3, tav.IncompatibleError, r"given a \(3, 4, 4\) uint8"),
        (x, ["a", 1.0, "b"], tav.IncompatibleError, "label 1: the list has text labels; given 1.0"),
        (x, ["a"] * 2, ValueError, "2 labels for 3 items"),
        (x, ["a", "", "b"], tav.InvalidArgumentError, ""),
    ]:
        with pytest.raises(error, match=text):
            lst.extend(data, names)
        assert len(lst) == 3 and lst.labels == ["a", "b"]
    with pytest.raises(tav.IncompatibleError, match=r"holds \(4, 5\) uint8 images; given a \(5, 4\) uint8 array"):
        lst.add(x[0].T.copy(), "a")
    with pytest.raises(TypeError, match=r"str\(k\)"):
        tav.List.from_arrays(x, np.arange(3))
    vectors = tav.List.from_arrays(np.ones((2, 3)), np.eye(2))
    assert (vectors.label_type, vectors.data_type, len(vectors)) == (tav.VectorType(2), tav.VectorType(3), 2)
    with pytest.raises(tav.IncompatibleError, match="labels of 2 floats"):
        vectors.add(np.ones(3), [1.0])


def test_missing_and_forbidden_files_are_os_errors_with_errno_and_filename(tmp_path):
    missing = tmp_path / "no" / "l.tav"
    lst = tav.List("string", tav.VectorType(1))
    for attempt in [lambda: tav.load(missing), lambda: tav.open(missing), lambda: lst.store(missing)]:
        with pytest.raises(FileNotFoundError) as caught:
            attempt()
        assert isinstance(caught.value, tav.FileError) and caught.value.errno == errno.ENOENT
        assert caught.value.filename == str(missing)
    for attempt in [lambda: tav.open(tmp_path), lambda: lst.store(tmp_path)]:
        with pytest.raises(tav.FileError) as caught:
            attempt()
        assert caught.value.errno == errno.EISDIR
    assert list(tmp_path.iterdir()) == []  # no file, not even a temporary one, is left
    (tmp_path / "damaged.tav").write_bytes(b"RIFF" + bytes(60))
    with pytest.raises(tav.FileError) as caught:
        tav.open(tmp_path / "damaged.tav")
    assert caught.value.errno is None and not isinstance(caught.value, FileNotFoundError)
    (tmp_path / "secret.tav").write_bytes(b"")
    (tmp_path / "secret.tav").chmod(0)
    # In a child, which gives root's privileges up once tav is imported: root reads any file.
    code = ("import os, sys, tav\nif os.geteuid() == 0:\n    os.setgid(65534)\n    os.setuid(65534)\n"
            "try:\n    tav.open(sys.argv[1])\nexcept tav.FileAccessError as e:\n"
            f"    sys.exit(0 if isinstance(e, PermissionError) and e.errno == {errno.EACCES} else 1)\nsys.exit(2)\n")
    assert subprocess.run([sys.executable, "-c", code, str(tmp_path / "secret.tav")]).returncode == 0


def test_a_list_larger_than_the_address_space_allows_is_read_through_a_reader(tmp_path):
    # 3,000 images of 256x256: 197 MB, where the child may map only 120 MB more.
    path = tmp_path / "big.tav"
    rng = np.random.default_rng(2)
    lst = tav.List("string", tav.ImageType(256, 256))
    sums = []
    for start in range(0, 3000, 500):
        x = rng.integers(0, 256, size=(500, 256, 256), dtype=np.uint8)
        lst.extend(x, [f"c{k % 7}" for k in range(start, start + 500)])
        sums.append(int(x.sum(dtype=np.int64)))
    lst.store(path)
    lst.close()
    child = f"""
import resource, sys, numpy as np, tav
size = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (size + 120 * 2**20, resource.RLIM_INFINITY))
try:
    tav.load({str(path)!r})
    sys.exit("the whole list fit")
except (MemoryError, tav.Error):
    pass
with tav.open({str(path)!r}) as reader:
    sums = [int(reader.arrays(slice(s, s + 500)).sum(dtype=np.int64)) for s in range(0, len(reader), 500)]
    print(sums, reader.targets()[-1], reader[2999][1])
"""
    done = subprocess.run([sys.executable, "-c", child], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split() == f"{sums} 3 c3".split()
