#pragma once
// The image library's functions that are looked up by name at run time. The
// module is opened once per process, on first use; a failed open is not
// retried. Each lookup asks the module anew.
#include <stdexcept>
#include <string>

namespace base2 {

class dynload_exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The module could not be opened.
class dynamic_load_error : public dynload_exception {
public:
    dynamic_load_error() : dynload_exception("shared library not loaded") {}
};

// The module lacks the name.
class dynamic_resolution_error : public dynload_exception {
public:
    explicit dynamic_resolution_error(const std::string& name) : dynload_exception("method '" + name + "' not found") {}
};

// Raw symbol lookup in the image library; throws the errors above.
void* image_library_symbol(const char* name);

template <class F>
F* image_library_function(const char* name) {
    return reinterpret_cast<F*>(image_library_symbol(name));
}

} // namespace base2
