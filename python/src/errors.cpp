// Library error reports become exceptions of the tav.Error family.
#include <pybind11/pybind11.h>

#include "binding.hpp"
#include "handles.hpp"

namespace py = pybind11;

namespace tavpy {

void Reports::raise(const char* called, int32_t code) const {
    // Only a report made during this call belongs to it; an older one in the
    // thread's record would name the wrong failure.
    if (ZtErrorReportCount() != before_) {
        const char* function = nullptr;
        const char* message = nullptr;
        if (int32_t reported = ZtGetLastError(&function, &message))
            throw LibraryError(reported, function ? function : called, message ? message : "");
    }
    throw LibraryError(code, called, "");
}

void register_errors() {
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown)
                std::rethrow_exception(thrown);
        } catch (const LibraryError& e) {
            // The classes live in tav/errors.py, which the package imports first.
            py::module_ errors = py::module_::import("tav.errors");
            py::object error;
            if (e.access != LibraryError::None) {
                int os_error = errors.attr("_system_refusal")(e.filename, e.access == LibraryError::Write).cast<int>();
                error = errors.attr("_from_report")(static_cast<uint32_t>(e.code), e.function, e.message, os_error,
                                                    e.filename);
            } else {
                error = errors.attr("_from_report")(static_cast<uint32_t>(e.code), e.function, e.message);
            }
            PyErr_SetObject(reinterpret_cast<PyObject*>(Py_TYPE(error.ptr())), error.ptr());
        }
    });
}

} // namespace tavpy
