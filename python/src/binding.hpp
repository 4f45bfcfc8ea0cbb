#pragma once
// What the binding's source files share: the type descriptions, the pixel
// blocks that cross from the library to NumPy, and the List wrapper.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <utility>
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
py::dtype pixel_dtype(uint32_t word); // TypeError for words NumPy cannot hold
uint32_t pixel_word(const py::dtype& dtype); // TypeError for dtypes images cannot hold
std::size_t pixel_bytes(uint32_t word);
std::string pixel_name(uint32_t word); // "uint8", or the word in hex
std::vector<py::ssize_t> item_shape(const DataKind& kind);
uint32_t item_word(const DataKind& kind); // the element type of an item's array
std::string describe(const DataKind& kind); // "32x32 uint8 images", for messages
// An uninitialised array that NumPy allocates: count items stacked (or one
// item's shape when stacked is false). Needs the GIL.
py::array new_items(const DataKind& kind, std::size_t count, bool stacked);
// Copies one data object's values to out (item_shape, C order); the object
// must fit kind.
void read_data(TAVDATA data, const DataKind& kind, std::byte* out);
// The mask of a list or a reader as an array like an item's, or None.
// get_mask(handle) gives the mask's data handle, 0 when none is set.
template <class Owner, class GetMask>
py::object mask_array(const Owner& owner, GetMask get_mask) {
    py::array values = new_items(owner.data(), 1, false);
    auto* out = static_cast<std::byte*>(values.mutable_data());
    const bool set = owner.read([&](auto handle) {
        const TAVDATA mask = get_mask(handle);
        if (mask)
            read_data(mask, owner.data(), out);
        return mask != 0;
    });
    return set ? py::object(std::move(values)) : py::object(py::none());
}
// A new data object from a NumPy array (images: (H, W) or (H, W, C) of a
// pixel dtype; vectors: 1-D, converted to float32).
Owned make_data(const py::handle& values, const DataKind& kind);
// Data objects for the rows of a stacked array checked against kind, made
// without the GIL; images are cut from a few large images, not one each.
class StackedData {
public:
    StackedData(const py::handle& values, const DataKind& kind); // needs the GIL
    std::size_t size() const { return count_; }
    // The rows back to back, in the layout of TavAddItems.
    const void* data() const { return array_.data(); }
    uint64_t bytes() const { return static_cast<uint64_t>(array_.nbytes()); }

private:
    py::array array_;
    std::size_t count_ = 0;
};
// A float32 copy of a 1-D sequence of numbers.
std::vector<float> float_vector(const py::handle& values, const char* what);

// Which items an arrays() call or an index selects: a range or a list.
struct Which {
    enum Kind { All, Slice, Indices } kind = All;
    py::ssize_t start = 0, stop = 0, step = 1; // a slice, before it meets a length
    std::vector<int64_t> indices;                  // may be negative
    bool mask = false;                             // indices came from a bool mask
    std::size_t mask_length = 0;
};
Which parse_which(const py::handle& which); // None, slice, int sequence, bool mask; needs the GIL
struct Selection {
    int64_t first = 0, count = 0; // a range, when indices is empty
    std::vector<int64_t> indices;
    bool listed = false;
    int64_t size() const { return listed ? static_cast<int64_t>(indices.size()) : count; }
    int64_t at(int64_t k) const { return listed ? indices[k] : first + k; }
};
// The items of a list of n that which names (IndexError beyond them); no GIL needed.
Selection resolve(const Which& which, int64_t n);
// Leaves out the items whose label is excluded; label_of(i) is item i's label index.
template <class LabelOf>
void drop_excluded(Selection& s, const std::vector<bool>& excluded, LabelOf&& label_of) {
    std::vector<int64_t> kept;
    kept.reserve(static_cast<std::size_t>(s.size()));
    for (int64_t k = 0; k < s.size(); ++k)
        if (!excluded[static_cast<std::size_t>(label_of(s.at(k)))])
            kept.push_back(s.at(k));
    s.indices = std::move(kept);
    s.listed = true;
}

// arrays() and targets(), defined alike for lists and readers: gather reads
// the selected items' data and/or targets.
template <class Object>
void def_arrays_and_targets(py::class_<Object>& cls,
                            std::pair<py::object, py::object> (*gather)(const Object&, const py::handle&, bool,
                                                                        bool, bool)) {
    cls.def(
           "arrays",
           [gather](const Object& o, const py::object& indices, bool excluded) {
               return gather(o, indices, excluded, true, false).first;
           },
           py::arg("indices") = py::none(), py::arg("excluded") = true,
           R"(The items' data as one array: (N, H, W), (N, H, W, planes) or (N, D).

indices selects items (a slice, a sequence of indices or a bool mask; None:
all, in order). excluded=False leaves out the items whose label is excluded.
targets() with the same arguments gives the matching labels.)")
        .def(
            "targets",
            [gather](const Object& o, const py::object& indices, bool excluded) {
                return gather(o, indices, excluded, false, true).second;
            },
            py::arg("indices") = py::none(), py::arg("excluded") = true,
            R"(Each item's label: its index in labels (int64, (N,)) for string labels, or
the vectors (float32, (N, D)). indices and excluded select as in arrays().)");
}

// --- errors (errors.cpp) ---------------------------------------------------
void register_errors();
// Runs work; a file failure it raises names path, so that the exception
// carries the system's errno and the file name (writing: path is written).
template <class F>
auto naming_file(const std::u16string& path, bool writing, F&& work) {
    try {
        return work();
    } catch (LibraryError& e) {
        if (e.code == TAV_E_FILE) {
            e.filename = path;
            e.access = writing ? LibraryError::Write : LibraryError::Read;
        }
        throw;
    }
}

// --- shared handles --------------------------------------------------------
// A handle and the lock that lets Python threads share it: reads run
// together, changes and closing alone. Library calls run without the GIL;
// the lock is only ever awaited without the GIL, so the two cannot deadlock
// (work may take the GIL back while it holds the lock).
class Guarded {
public:
    explicit Guarded(Owned handle) : handle_(std::move(handle)) {}

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

protected:
    ZTHANDLE live() const;

private:
    // The shared mutex lets readers overtake a waiting writer forever; the
    // gate, held by a writer while it waits, stops new readers meanwhile.
    mutable std::mutex gate_;
    mutable std::shared_mutex mutex_;
    Owned handle_;
};

// --- the list (list.cpp) ---------------------------------------------------
class List : public Guarded {
public:
    explicit List(Owned handle);
    const LabelKind& labels() const { return labels_; }
    const DataKind& data() const { return data_; }

private:
    LabelKind labels_; // fixed for the list's life
    DataKind data_;
};
void bind_list(py::module_& m);

// --- the reader (reader.cpp) -----------------------------------------------
void bind_reader(py::module_& m);

// Shared by list.cpp and reader.cpp.
using LabelValue = std::variant<std::u16string, std::vector<float>>;
LabelValue read_label(TAVLABEL label, const LabelKind& kind);
py::object to_python(const LabelValue& label);
std::u16string path_text(const py::object& path);
py::object time_of(const SYSTEMTIME& t);
// Targets for items of these label indices: the indices (int64) for string
// labels, the labels' rows (float32) for vector labels. Needs the GIL.
py::array targets_of(const LabelKind& kind, const std::vector<int32_t>& label_index,
                     const std::vector<LabelValue>& labels);
// Whether a key selects one item (an int) rather than several.
bool is_item_index(const py::handle& key);

} // namespace tavpy
