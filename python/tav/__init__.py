"""Sample image lists of the tav library, with NumPy arrays for training code.

    import tav
    with tav.open("shapes.tav") as reader:      # reads items on demand
        x, y = reader.arrays(), reader.targets()  # (N, H, W) pixels, (N,) class indices
        names = reader.labels                   # y indexes this list

    lst = tav.List.from_arrays(x, [names[k] for k in y])
    lst.extend(more_x, more_names)              # one label per row
    lst.store("new.tav")

tav.load() reads a whole list into memory as a tav.List, which can be changed;
tav.open() gives a read-only tav.Reader that holds only the file's index, for
lists larger than memory. tav.torch holds PyTorch datasets over both.
Failures of the library raise subclasses of tav.Error (see tav.errors).
"""
import os as _os
import pathlib as _pathlib
import tempfile as _tempfile

import numpy as _np

from .errors import *  # noqa: F401,F403  (first: the extension raises these)
from .errors import Error
from ._tav import ImageType, List, Reader, VectorType, import_korvu, load, open

# The project's version (set by the build from CMake's project version).
__version__ = "1.0.0"

__all__ = ["Error", "ImageType", "List", "Reader", "VectorType", "import_korvu", "load", "open"] + [
    name for name in dir() if name.endswith("Error") and name != "Error"
]


def _from_arrays(cls, data, labels, window=None, origin=(0, 0)):
    """A new list holding one item per row of data, as List.extend adds them.

    data is (N, H, W) or (N, H, W, planes) of a pixel dtype for images (their
    ImageType takes window and origin), or (N, D) for float vectors; labels is
    a sequence of N str, or an (N, L) array of floats for vector labels."""
    data = _np.asarray(data)
    if data.ndim == 2:
        data_type = VectorType(data.shape[1])
    elif data.ndim in (3, 4):
        height, width = data.shape[1:3]
        planes = data.shape[3] if data.ndim == 4 else 1
        data_type = ImageType(width, height, planes, data.dtype, window, origin)
    else:
        raise ValueError(f"data must be (N, H, W), (N, H, W, planes) or (N, D), not of shape {data.shape}")
    kinds = _np.asarray(labels) if isinstance(labels, (_np.ndarray, list, tuple)) else None
    if kinds is not None and kinds.dtype.kind in "iuf" and kinds.ndim == 2:
        label_type = VectorType(kinds.shape[1])
    elif kinds is not None and kinds.dtype.kind in "iuf":
        raise TypeError(f"labels are class names (str) or an (N, L) array of floats, not {kinds.dtype} "
                        "numbers; class numbers become names with [str(k) for k in labels]")
    else:
        label_type = "string"
    lst = cls(label_type, data_type)
    lst.extend(data, labels)
    return lst


def _list_from_bytes(stored):
    """The list that the stored bytes of a list file hold (unpickling)."""
    with _tempfile.TemporaryDirectory() as folder:
        path = _os.path.join(folder, "list.tav")
        _pathlib.Path(path).write_bytes(stored)
        return load(path)


def _reduce_list(lst):
    """Pickles a list by its stored bytes: the file that store() writes."""
    with _tempfile.TemporaryDirectory() as folder:
        path = _os.path.join(folder, "list.tav")
        lst.store(path)
        return _list_from_bytes, (_pathlib.Path(path).read_bytes(),)


def _reopen(path):
    """The reader of path (unpickling a reader)."""
    return open(path)


List.from_arrays = classmethod(_from_arrays)
Reader.__reduce__ = lambda reader: (_reopen, (reader.path,))
List.__reduce__ = _reduce_list
