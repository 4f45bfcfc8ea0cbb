# Types of the package tav: the names it re-exports from tav.errors and from
# the extension tav._tav, where they are declared. A new public name goes into
# its module's stub, an import here and __all__.
from ._tav import ImageType as ImageType
from ._tav import List as List
from ._tav import Reader as Reader
from ._tav import VectorType as VectorType
from ._tav import import_korvu as import_korvu
from ._tav import load as load
from ._tav import open as open
from .errors import *

__version__: str
__all__ = [
    "Error",
    "ImageType",
    "List",
    "Reader",
    "VectorType",
    "import_korvu",
    "load",
    "open",
    "BufferTooSmallError",
    "EmptyListError",
    "ExpiredError",
    "FailureError",
    "FileAccessError",
    "FileError",
    "IncompatibleError",
    "IndexOutOfRangeError",
    "InvalidArgumentError",
    "InvalidImageError",
    "InvalidOperationError",
    "InvalidValueError",
    "MissingFileError",
    "OutOfMemoryError",
]
