"""The exceptions of the tav package: one class per error code of the library.

Every failure the library reports is raised as a subclass of :class:`Error`
carrying the library's code, the name of the function that reported it and
its message (often empty).
"""
import errno as _errno
import os as _os
import stat as _stat


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
    """A file that cannot be written or read, or is damaged.

    When the system refused the file, ``errno``, ``strerror`` and ``filename``
    say why, as for any OSError; a missing file raises MissingFileError and a
    refused permission FileAccessError. A damaged file leaves ``errno`` None.
    """
    code = 0x80000003


class MissingFileError(FileError, FileNotFoundError):
    """A file, or the folder it should be in, that does not exist."""


class FileAccessError(FileError, PermissionError):
    """A file that the system does not allow to be read or written."""


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
_BY_ERRNO = {_errno.ENOENT: MissingFileError, _errno.ENOTDIR: MissingFileError,
             _errno.EACCES: FileAccessError, _errno.EPERM: FileAccessError}


def _system_refusal(path, writing):
    """The errno with which the system refuses to read path (writing: to
    replace it), or 0 when it allows that. Asked after the library failed on
    path, to tell a missing or forbidden file from a damaged one."""
    try:
        if writing:
            folder = _os.path.dirname(_os.path.abspath(path))
            _os.stat(folder)  # a missing folder raises here
            if _os.path.isdir(path):
                return _errno.EISDIR
            # A store writes a new file beside the old one and renames it.
            return 0 if _os.access(folder, _os.W_OK | _os.X_OK) else _errno.EACCES
        fd = _os.open(path, _os.O_RDONLY)
        try:
            return _errno.EISDIR if _stat.S_ISDIR(_os.fstat(fd).st_mode) else 0
        finally:
            _os.close(fd)
    except OSError as refusal:
        return refusal.errno or 0


def _from_report(code, function, message, os_error=0, filename=None):
    """The exception for one error report of the library (used by the extension).

    os_error is the system's errno for the file named filename, when the
    extension found the system refusing it."""
    cls = _BY_CODE.get(code, Error)
    if cls is FileError and os_error:
        cls = _BY_ERRNO.get(os_error, FileError)
    error = cls(message, function, code)
    if os_error:
        # OSError's own fields: str(error) then reads as any OSError's does.
        error.errno, error.strerror, error.filename = os_error, _os.strerror(os_error), filename
    return error
