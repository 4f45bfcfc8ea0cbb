"""The exceptions of the tav package: one class per error code of the library.

Every failure the library reports is raised as a subclass of :class:`Error`
carrying the library's code, the name of the function that reported it and
its message (often empty).
"""


class Error(Exception):
    """A failure reported by the tav library.

    Attributes: ``code`` (the library's error code, e.g. 0x80000003),
    ``function`` (the name of the reporting function, e.g. "TavLoad_native")
    and ``message`` (the library's message text, or "").
    """

    code = 0x80000001

    def __init__(self, message="", function="", code=None):
        if code is not None:
            self.code = code
        self.function = function
        self.message = message
        text = message or type(self).__doc__.splitlines()[0].rstrip(".")
        super().__init__(f"{text} (0x{self.code:08x}, {function})" if function else text)


class FailureError(Error):
    """General failure."""
    code = 0x80000001


class InvalidArgumentError(Error, ValueError):
    """Invalid argument: a null, released or wrong-kind object, or an empty text."""
    code = 0x80000002


class FileError(Error, OSError):
    """A file that cannot be written or read, or is damaged."""
    code = 0x80000003


class OutOfMemoryError(Error, MemoryError):
    """An object could not be created."""
    code = 0x80000005


class InvalidImageError(Error):
    """An image argument that is not an image."""
    code = 0x80000010


class ExpiredError(Error):
    """A link to an object that no longer exists."""
    code = 0x80000011


class InvalidOperationError(Error):
    """A file without the type descriptors of a list, or with unknown ones."""
    code = 0x80000013


class EmptyListError(Error):
    """A transform of a list without entries."""
    code = 0x80000016


class InvalidValueError(Error, ValueError):
    """A value out of range: a dimension below 1 or a misplaced feature window."""
    code = 0x8000001A


class IncompatibleError(Error, TypeError):
    """An item or label that does not fit the list's types."""
    code = 0x8000001C


class BufferTooSmallError(Error):
    """A buffer too small for the result."""
    code = 0x8000002B


class IndexOutOfRangeError(Error, IndexError):
    """An index beyond the entries it selects."""
    code = 0x80000030


_BY_CODE = {cls.code: cls for cls in Error.__subclasses__()}


def _from_report(code, function, message):
    """The exception for one error report of the library (used by the extension)."""
    return _BY_CODE.get(code, Error)(message, function, code)
