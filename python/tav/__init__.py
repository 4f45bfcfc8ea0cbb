"""Sample image lists of the tav library, with NumPy arrays for training code.

    import tav
    with tav.load("shapes.tav") as lst:
        x, y = lst.arrays(), lst.targets()      # (N, H, W) pixels, (N,) class indices
        names = lst.labels                      # y indexes this list

    lst = tav.List(labels="string", data=tav.ImageType(32, 32, dtype="uint8"))
    lst.add(numpy.zeros((32, 32), numpy.uint8), "empty")
    lst.store("new.tav")

Failures of the library raise subclasses of tav.Error (see tav.errors).
"""

from .errors import *  # noqa: F401,F403  (first: the extension raises these)
from .errors import Error
from ._tav import ImageType, List, VectorType, import_korvu, load

# The project's version (set by the build from CMake's project version).
__version__ = "1.0.0"

__all__ = ["Error", "ImageType", "List", "VectorType", "import_korvu", "load"] + [
    name for name in dir() if name.endswith("Error") and name != "Error"
]
