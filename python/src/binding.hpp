#pragma once
// What the binding's source files share: the type descriptions, the pixel
// blocks that cross from the library to NumPy, and the List wrapper.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <variant>
#include <vector>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "handles.hpp"

namespace tavpy {
namespace py = pybind11;

// --- types (types.cpp) -----------------------------------------------------
struct ImageType {
    int32_t width = 0, height = 0, planes = 1;
    uint32_t pixel = ZT_DT_U8; // the image library's data-type word
    int32_t left = 0, top = 0, window_width = 0, window_height = 0;
    int32_t origin_x = 0, origin_y = 0;
};
struct VectorType {
    int32_t dimension = 0;
};
// "string" or a vector type; image or vector data.
using LabelKind = std::variant<std::string, VectorType>;
using DataKind = std::variant<ImageType, VectorType>;

Owned make_label_type(const LabelKind& kind);
Owned make_data_type(const DataKind& kind);
LabelKind read_label_type(TAV list);
DataKind read_data_type(TAV list);
void bind_types(py::module_& m);

// --- arrays (arrays.cpp) ---------------------------------------------------
// Bytes bound for one NumPy array of the given shape and element type (a
// data-type word); filled without the GIL, handed over without a copy.
struct Block {
    std::vector<std::byte> bytes;
    std::vector<py::ssize_t> shape;
    uint32_t word = ZT_DT_F32;
};
py::dtype pixel_dtype(uint32_t word); // TypeError for words NumPy cannot hold
uint32_t pixel_word(const py::dtype& dtype); // TypeError for dtypes images cannot hold
std::size_t pixel_bytes(uint32_t word);
std::string pixel_name(uint32_t word); // "uint8", or the word in hex
py::array to_numpy(Block&& block);
std::vector<py::ssize_t> item_shape(const DataKind& kind);
// Copies one data object's values to out (item_shape, C order); the object
// must fit kind.
void read_data(TAVDATA data, const DataKind& kind, std::byte* out);
// A new data object from a NumPy array (images: (H, W) or (H, W, C) of a
// pixel dtype; vectors: 1-D, converted to float32).
Owned make_data(const py::handle& values, const DataKind& kind);
// A float32 copy of a 1-D sequence of numbers.
std::vector<float> float_vector(const py::handle& values, const char* what);

// --- errors (errors.cpp) ---------------------------------------------------
void register_errors();

// --- the list (list.cpp) ---------------------------------------------------
// A list handle and the lock that lets Python threads share it: reads run
// together, changes alone. Library calls run without the GIL; the list lock
// is only ever awaited without the GIL, so the two cannot deadlock.
class List {
public:
    explicit List(Owned handle);

    template <class F>
    auto read(F&& work) const {
        py::gil_scoped_release unlocked;
        { std::lock_guard turn(gate_); } // waits behind a change that is waiting
        std::shared_lock lock(mutex_);
        return work(live());
    }
    template <class F>
    auto change(F&& work) {
        py::gil_scoped_release unlocked;
        std::lock_guard turn(gate_);
        std::unique_lock lock(mutex_);
        return work(live());
    }
    void close();
    bool closed() const;
    const LabelKind& labels() const { return labels_; }
    const DataKind& data() const { return data_; }

private:
    TAV live() const;

    // The shared mutex lets readers overtake a waiting writer forever; the
    // gate, held by a writer while it waits, stops new readers meanwhile.
    mutable std::mutex gate_;
    mutable std::shared_mutex mutex_;
    Owned handle_;
    LabelKind labels_; // fixed for the list's life
    DataKind data_;
};
void bind_list(py::module_& m);

} // namespace tavpy
