import pathlib

import numpy as np
import pytest

import tav

KORVU1 = pathlib.Path(__file__).parents[2] / "fuzz" / "corpus" / "korvu1_import"
IMAGE = np.zeros((4, 5), np.uint8)
BAD_ITEMS = [  # list kind, data, label, exception, reporting function
    ("image", IMAGE.astype(np.float64), "a", tav.IncompatibleError, "TavAddItem"),
    ("image", np.zeros((4, 5, 2), np.uint8), "a", tav.IncompatibleError, "TavAddItem"),
    ("image", IMAGE, [1.0], tav.IncompatibleError, "TavAddItem"),
    ("image", IMAGE, "", tav.InvalidArgumentError, "TavCreateStringLabel"),
    ("image", IMAGE.astype(np.complex64), "a", TypeError, None),
    ("image", IMAGE.astype(">u2"), "a", TypeError, None),
    ("image", IMAGE[0], "a", ValueError, None),
    ("image", IMAGE[None, None], "a", ValueError, None),
    ("image", IMAGE[:0], "a", ValueError, None),
    ("image", IMAGE, "a\0b", ValueError, None),
    ("vector", np.zeros(2, np.float32), "a", tav.IncompatibleError, "TavAddItem"),
    ("vector", np.zeros((1, 3), np.float32), "a", ValueError, None),
    ("vector", ["x", "y", "z"], "a", TypeError, None),
]


@pytest.mark.parametrize("kind, data, label, error, function", BAD_ITEMS)
def test_items_that_do_not_fit_are_refused_and_leave_the_list_alone(kind, data, label, error, function):
    lst = tav.List("string", tav.ImageType(5, 4) if kind == "image" else tav.VectorType(3))
    with pytest.raises(error) as caught:
        lst.add(data, label)
    if function:
        assert caught.value.function == function and caught.value.code == type(caught.value).code
    assert len(lst) == 0 and lst.labels == []


@pytest.mark.parametrize("make, error, function, message", [
    (lambda: tav.List("string", tav.ImageType(8, 8, window=(4, 4, 5, 4))), tav.InvalidValueError,
     "TavCreateDataTypeImage", "partly outside the image"),
    (lambda: tav.List(tav.VectorType(0), tav.VectorType(2)), tav.InvalidValueError,
     "TavCreateLabelTypeFloatVector", ""),
    (lambda: tav.List("strings", tav.VectorType(2)), ValueError, None, "string"),
    (lambda: tav.ImageType(8, 8, dtype="complex64"), TypeError, None, "pixels"),
])
def test_bad_types_name_the_reporting_function(make, error, function, message):
    with pytest.raises(error, match=message) as caught:
        make()
    if function:
        assert caught.value.function == function and message in caught.value.message


def test_labels_the_list_lacks_are_key_errors():
    strings, vectors = tav.List("string", tav.VectorType(1)), tav.List(tav.VectorType(2), tav.VectorType(1))
    strings.add([1], "a")
    vectors.add([1], [1, 2])
    for lst, label in [(strings, "b"), (vectors, [9, 9]), (vectors, [1])]:
        with pytest.raises(KeyError):
            lst.items_of(label)
        with pytest.raises(KeyError):
            lst.set_excluded(label)
    assert strings.excluded == [False] and vectors.excluded == [False]


def test_a_failure_the_library_does_not_report_is_named_after_the_call():
    # The image library refuses more than 65536 planes by its result alone.
    lst = tav.List("string", tav.ImageType(1, 1, planes=65537))
    with pytest.raises(tav.FailureError) as caught:
        lst.add(np.zeros((1, 1, 65537), np.uint8), "a")
    assert (caught.value.function, caught.value.message, len(lst)) == ("ZtImageCreate", "", 0)


def test_a_version_1_file_imports():
    lst = tav.import_korvu(KORVU1 / "v1_0_exact")
    assert len(lst) == 2 and lst.labels == ["a", "b"] and lst.arrays().shape == (2, 8, 8)
    with pytest.raises(tav.FileError):
        tav.import_korvu(KORVU1 / "missing")
