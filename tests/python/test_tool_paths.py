import os
import subprocess

import numpy as np
from PIL import Image

import tav


def run(*args):
    """The tool's exit status and its one line of complaint ("" on success)."""
    done = subprocess.run([os.environ["TAV_TOOL"], *map(str, args)], capture_output=True, text=True)
    return done.returncode, done.stderr.strip()


def png_samples(path):
    """The samples of a gray PNG, read by Pillow, as a (height, width) array."""
    return np.asarray(Image.open(path))


def test_wide_and_float_pixels_labels_needing_quotes_and_the_mask_export(tmp_path):
    u16 = tav.List("string", tav.ImageType(3, 2, dtype="uint16"))
    pixels = np.array([[0, 1000, 65535], [1, 2, 3]], np.uint16)
    u16.add(pixels, 'a,"b"')
    u16.mask = pixels[::-1].copy()
    floats = tav.List(tav.VectorType(2), tav.ImageType(2, 2, dtype="float32"))
    floats.add(np.array([[-1, 0], [1, 3]], np.float32), [1, 2])
    for lst, name in [(u16, "u16"), (floats, "f32")]:
        lst.store(tmp_path / f"{name}.tav")
        assert run("export", tmp_path / f"{name}.tav", tmp_path / name) == (0, "")
    assert (tmp_path / "u16" / "labels.csv").read_text().splitlines()[1] == '0,"a,""b""",1,no,"a,""b"""'
    assert (png_samples(tmp_path / "u16" / 'a,"b"' / "000000.png") == pixels).all()
    assert (png_samples(tmp_path / "u16" / "mask.png") == pixels[::-1]).all()
    # Float pixels are stretched from their least to their greatest value.
    assert (tmp_path / "f32" / "labels.csv").read_text().splitlines()[1] == '0,label_0,1,no,"1,2"'
    assert png_samples(tmp_path / "f32" / "label_0" / "000000.png").tolist() == [[0, 16384], [32768, 65535]]


def test_vector_labels_are_excluded_and_a_failed_edit_changes_no_byte(tmp_path, tool):
    lst = tav.List(tav.VectorType(2), tav.VectorType(1))
    lst.add([1], [1, 2])
    lst.add([2], [0.5, 2])
    path = tmp_path / "v.tav"
    lst.store(path)
    assert run("exclude", path, "1,2") == (0, "")
    assert [entry["excluded"] for entry in tool.info(path)["labels"]] == [False, True]
    before = path.read_bytes()
    for args, status in [(["exclude", path, "9,9"], 1), (["exclude", path, "1"], 1), (["exclude", path, "x,y"], 2),
                         (["exclude", path, "1,2", "--off=1"], 2), (["set-comment", path, ""], 2)]:
        assert run(*args)[0] == status, args
    assert path.read_bytes() == before
    assert run("exclude", path, "1,2", "--off") == (0, "")
    assert [entry["excluded"] for entry in tool.info(path)["labels"]] == [False, False]


def test_options_with_equals_a_missing_value_and_the_end_of_options(tmp_path, tool):
    path = tmp_path / "v.tav"
    tav.List("string", tav.VectorType(1)).store(path)
    assert run("set-comment", path, "--", "--text") == (0, "") and tool.info(path)["comment"] == "--text"
    assert run("export", path, tmp_path / "none") == (0, "")  # no labels, no items
    assert run("info", "--", "--json") == (1, "tav: info: cannot load '--json': No such file or directory")
    assert run("info", path, "--json=1") == (2, "tav: info: unknown option --json=1")
    (tmp_path / "images" / "a").mkdir(parents=True)
    (tmp_path / "images" / "a" / "x.pgm").write_bytes(b"P5\n2 2\n255\n\x00\x40\x80\xff")
    out = tmp_path / "made.tav"
    assert run("create-from-dir", tmp_path / "images", out, "--size") == (
        2, "tav: create-from-dir: option --size needs a value")
    assert run("create-from-dir", tmp_path / "images", out, "--size=2x2", "--origin=1,1")[0] == 0
    assert tool.info(out)["data_type"]["origin"] == {"x": 1, "y": 1}


def test_limits_of_verify_output_and_png_width(tmp_path):
    # Without its links each of 16 items and 4 labels is a problem: exactly
    # the 20 shown, with no line for more.
    lst = tav.List("string", tav.VectorType(1))
    for k in range(16):
        lst.add([k], str(k % 4))
    path = tmp_path / "unlinked.tav"
    lst.store(path)
    path.write_bytes(path.read_bytes().replace(b"LabelRefs", b"LabelRefX"))
    done = subprocess.run([os.environ["TAV_TOOL"], "verify", path], capture_output=True, text=True)
    assert done.returncode == 1 and done.stdout.count("\n") == 20 and "more" not in done.stdout

    (tmp_path / "in" / "a").mkdir(parents=True)
    for name, width in [("widest", 32768), ("too_wide", 32769)]:  # gray PNGs one pixel high
        Image.new("L", (width, 1)).save(tmp_path / "in" / "a" / f"{name}.png")
    assert run("create-from-dir", tmp_path / "in", tmp_path / "w.tav", "--size", "8x8") == (
        0, f"tav: create-from-dir: not used: '{tmp_path}/in/a/too_wide.png': PNG file: Invalid IHDR data")
