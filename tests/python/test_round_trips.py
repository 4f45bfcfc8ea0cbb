import datetime

import numpy as np
import pytest

import tav


def write_pnm(path, pixels):
    """A plain PGM (H, W) or PPM (H, W, 3) file of 8-bit pixels."""
    kind = "P3" if pixels.ndim == 3 else "P2"
    height, width = pixels.shape[:2]
    path.write_text(f"{kind}\n{width} {height}\n255\n" + " ".join(map(str, pixels.ravel())) + "\n")


@pytest.mark.parametrize("planes", [1, 3])
def test_a_folder_list_made_by_the_tool_reads_back_pixel_for_pixel(tmp_path, tool, planes):
    rng = np.random.default_rng(planes)
    images = {}
    for name, count in [("zebra", 2), ("ant", 3)]:
        (tmp_path / "in" / name).mkdir(parents=True)
        for k in range(count):
            pixels = rng.integers(0, 256, size=(4, 7, 3) if planes == 3 else (4, 7), dtype=np.uint8)
            write_pnm(tmp_path / "in" / name / f"{k}.p{'p' if planes == 3 else 'g'}m", pixels)
            images.setdefault(name, []).append(pixels)
    tool("create-from-dir", tmp_path / "in", tmp_path / "out.tav", "--size", "7x4", "--planes", planes)
    lst = tav.load(tmp_path / "out.tav")
    assert lst.labels == ["ant", "zebra"] and lst.data_type.planes == planes
    stacked, targets = lst.arrays(), lst.targets()
    assert stacked.shape == (5, 4, 7, 3)[: 4 if planes == 3 else 3]
    for name, expected in images.items():
        mine = lst.items_of(name)
        assert sorted(map(bytes, stacked[mine])) == sorted(map(bytes, expected))
        assert (targets[mine] == lst.labels.index(name)).all()


def test_metadata_written_in_python_is_what_the_tool_reads(small_list, tool):
    path, _ = small_list
    lst = tav.load(path)
    lst.comment = "grün, 四"
    lst.set_excluded("b")
    lst.mask = np.full((4, 5), 7, np.uint8)
    lst.store(path)
    info = tool.info(path)
    assert info["comment"] == "grün, 四"
    assert [(x["label"], x["items"], x["excluded"]) for x in info["labels"]] == [
        ("a", 2, False), ("b", 2, True), ("c", 2, False)]
    assert info["data_type"]["window"] == {"left": 1, "top": 1, "width": 3, "height": 2}
    assert info["data_type"]["origin"] == {"x": 1, "y": 0}
    tool("set-comment", path, "from the tool")
    back = tav.load(path)
    assert (back.comment, back.excluded) == ("from the tool", [False, True, False])
    np.testing.assert_array_equal(back.mask, lst.mask)
    assert back.created == lst.created and isinstance(back.modified, datetime.datetime)


def test_deleting_by_a_negative_index(small_list):
    lst = tav.load(small_list[0])
    del lst[-2]  # the last "c" of "bcabca": its label stays, held by the first "c"
    assert len(lst) == 5 and lst.items_of("c") == [1] and lst[-1][1] == "a"


def test_values_are_copies_that_outlive_the_list(small_list):
    path, pixels = small_list
    with tav.load(path) as lst:
        first, stacked, labels = lst[0][0], lst.arrays(), lst.labels
        first[:] = 0  # must not reach the list
        np.testing.assert_array_equal(lst[0][0], pixels[0])
    assert lst.closed
    for use in [len, lambda l: l[0], lambda l: l.arrays(), lambda l: l.store("x.tav")]:
        with pytest.raises(ValueError, match="closed"):
            use(lst)
    lst.close()
    np.testing.assert_array_equal(stacked, pixels)
    assert labels == ["a", "b", "c"] and first.sum() == 0
