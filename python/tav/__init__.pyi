# Types of the package tav: the names it re-exports from tav.errors and from
# the extension tav._tav, where they are declared.
from ._tav import ImageType as ImageType
from ._tav import List as List
from ._tav import VectorType as VectorType
from ._tav import import_korvu as import_korvu
from ._tav import load as load
from .errors import *

__version__: str
__all__: list[str]
