import pathlib

import numpy as np
import pytest

import tav

KORVU1 = pathlib.Path(__file__).parents[2] / "fuzz" / "corpus" / "korvu1_import"


@pytest.fixture
def vectors():
    """Vector labels (1, 2) for items 0 and 2, (3, 4) for item 1."""
    lst = tav.List(tav.VectorType(2), tav.VectorType(1))
    for value, label in [(1, [1, 2]), (2, [3, 4]), (3, [1, 2])]:
        lst.add([value], label)
    return lst


def test_labels_the_list_lacks_are_key_errors(vectors):
    strings = tav.List("string", tav.VectorType(1))
    strings.add([1], "a")
    for lst, label in [(strings, "b"), (vectors, [9, 9]), (vectors, [1])]:
        with pytest.raises(KeyError):
            lst.items_of(label)
        with pytest.raises(KeyError):
            lst.set_excluded(label)
    assert strings.excluded == [False] and vectors.excluded == [False, False]


def test_vector_labels_are_found_and_excluded_by_value(vectors):
    assert vectors.items_of(np.array([1, 2], np.float32)) == [0, 2] and vectors.items_of([3, 4]) == [1]
    vectors.set_excluded([3, 4])
    assert vectors.excluded == [False, True]
    vectors.set_excluded([3, 4], False)
    assert vectors.excluded == [False, False]


def test_a_failure_the_library_does_not_report_is_named_after_the_call():
    # The image library refuses more than 65536 planes by its result alone.
    lst = tav.List("string", tav.ImageType(1, 1, planes=65537))
    with pytest.raises(tav.FailureError) as caught:
        lst.add(np.zeros((1, 1, 65537), np.uint8), "a")
    assert (caught.value.function, caught.value.message, len(lst)) == ("ZtImageCreate", "", 0)


def test_a_version_1_file_imports():
    lst = tav.import_korvu(KORVU1 / "v1_0_exact")
    assert len(lst) == 2 and lst.labels == ["a", "b"] and lst.comment == "Imported from Korvu TAV 'plain'."
    assert lst.data_type.width == 8 and lst.arrays().shape == (2, 8, 8)
    with pytest.raises(tav.FileError):
        tav.import_korvu(KORVU1 / "missing")
