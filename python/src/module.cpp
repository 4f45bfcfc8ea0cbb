// The extension module tav._tav; the package tav re-exports what it defines.
#include "binding.hpp"

PYBIND11_MODULE(_tav, m) {
    m.doc() = "Sample image lists of the tav library (use the package tav).";
    tavpy::register_errors();
    tavpy::bind_types(m);
    tavpy::bind_list(m);
    tavpy::bind_reader(m);
}
