// tav.List: a list handle shared safely by Python threads, and the functions
// that open list files.
#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>

#include <pybind11/stl.h>

#include "binding.hpp"

namespace tavpy {

List::List(Owned handle)
    : handle_(std::move(handle)), labels_(read_label_type(handle_.get())), data_(read_data_type(handle_.get())) {}

TAV List::live() const {
    if (!handle_)
        throw py::value_error("the list is closed");
    return handle_.get();
}

void List::close() {
    py::gil_scoped_release unlocked;
    std::lock_guard turn(gate_);
    std::unique_lock lock(mutex_);
    handle_.reset();
}

bool List::closed() const {
    py::gil_scoped_release unlocked;
    std::shared_lock lock(mutex_);
    return !handle_;
}

namespace {

using LabelValue = std::variant<std::u16string, std::vector<float>>;

template <class Text>
Text without_zeros(Text text, const char* what) {
    if (text.find(typename Text::value_type(0)) != Text::npos)
        throw py::value_error(std::string(what) + " must not contain a zero character");
    return text;
}

std::u16string path_text(const py::object& path) {
    return without_zeros(py::module_::import("os").attr("fsdecode")(path).cast<std::u16string>(), "a path");
}

Owned make_label(const py::handle& value) {
    Reports reports;
    if (py::isinstance<py::str>(value)) {
        std::string utf8 = without_zeros(value.cast<std::string>(), "a label");
        return Owned(reports.handle(TavCreateStringLabel(utf8.c_str()), "TavCreateStringLabel"));
    }
    std::vector<float> values = float_vector(value, "a label");
    return Owned(reports.handle(TavCreateVectorLabel(values.data(), values.size()), "TavCreateVectorLabel"));
}

LabelValue read_label(TAVLABEL label, const LabelKind& kind) {
    Reports reports;
    uint64_t size = 0; // asked first: a null buffer gives the size needed
    if (std::holds_alternative<std::string>(kind)) {
        reports.status(TavGetStringLabelW(label, nullptr, &size), "TavGetStringLabelW");
        std::u16string text(size, u'\0');
        reports.status(TavGetStringLabelW(label, text.data(), &size), "TavGetStringLabelW");
        text.resize(std::min<std::size_t>(text.find(u'\0'), size));
        return text;
    }
    reports.status(TavGetFloatVectorLabel(label, nullptr, &size), "TavGetFloatVectorLabel");
    std::vector<float> values(size);
    reports.status(TavGetFloatVectorLabel(label, values.data(), &size), "TavGetFloatVectorLabel");
    values.resize(size);
    return values;
}

py::object to_python(LabelValue&& label) {
    if (auto* text = std::get_if<std::u16string>(&label))
        return py::cast(*text);
    auto& values = std::get<std::vector<float>>(label);
    return py::array_t<float>(static_cast<py::ssize_t>(values.size()), values.data());
}

// Room for n items of the list's data, stacked when asked.
Block data_block(const DataKind& kind, std::size_t n, bool stacked) {
    Block block;
    block.shape = item_shape(kind);
    if (auto* image = std::get_if<ImageType>(&kind))
        block.word = image->pixel;
    std::size_t bytes = pixel_bytes(block.word) * n;
    for (auto extent : block.shape)
        bytes *= static_cast<std::size_t>(extent);
    block.bytes.resize(bytes);
    if (stacked)
        block.shape.insert(block.shape.begin(), static_cast<py::ssize_t>(n));
    return block;
}

int32_t item_count(TAV list) { return Reports().count(TavGetNumDataEntries(list), "TavGetNumDataEntries"); }

int32_t position(int64_t index, int32_t count) {
    if (index < 0)
        index += count;
    if (index < 0 || index >= count)
        throw py::index_error("list index out of range");
    return static_cast<int32_t>(index);
}

TAVDATA item_data(TAV list, int32_t index) { return Reports().handle(TavGetData(list, index), "TavGetData"); }

TAVLABEL label_of(TAVDATA data) {
    return Reports().handle(TavGetLabelReference(data, 0), "TavGetLabelReference");
}

// The list's own label equal to value; KeyError when it has none.
TAVLABEL find_label(TAV list, TAVLABEL value) {
    Reports reports;
    int32_t index = TavGetLabelIndex(list, value);
    if (index < 0) {
        if (reports.reported())
            reports.raise("TavGetLabelIndex");
        throw py::key_error("the list has no such label");
    }
    return reports.handle(TavGetLabel(list, index), "TavGetLabel");
}

py::object time_of(const SYSTEMTIME& t) {
    return py::module_::import("datetime")
        .attr("datetime")(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds * 1000);
}

py::tuple get_item(const List& list, int64_t index) {
    auto [data, label] = list.read([&](TAV handle) {
        TAVDATA item = item_data(handle, position(index, item_count(handle)));
        Block block = data_block(list.data(), 1, false);
        read_data(item, list.data(), block.bytes.data());
        return std::pair(std::move(block), read_label(label_of(item), list.labels()));
    });
    return py::make_tuple(to_numpy(std::move(data)), to_python(std::move(label)));
}

py::array stacked_data(const List& list) {
    return to_numpy(list.read([&](TAV handle) {
        const std::size_t n = static_cast<std::size_t>(item_count(handle));
        Block block = data_block(list.data(), n, true);
        const std::size_t step = n ? block.bytes.size() / n : 0;
        for (std::size_t i = 0; i < n; ++i)
            read_data(item_data(handle, static_cast<int32_t>(i)), list.data(), block.bytes.data() + i * step);
        return block;
    }));
}

// Class indices (label order) for string labels, float rows for vector labels.
py::array stacked_targets(const List& list) {
    return to_numpy(list.read([&](TAV handle) {
        const int32_t n = item_count(handle);
        Block block;
        if (auto* vector = std::get_if<VectorType>(&list.labels())) {
            const auto dimension = static_cast<uint64_t>(vector->dimension);
            block = {std::vector<std::byte>(n * dimension * sizeof(float)), {n, vector->dimension}, ZT_DT_F32};
            auto* out = reinterpret_cast<float*>(block.bytes.data());
            for (int32_t i = 0; i < n; ++i) {
                uint64_t count = dimension;
                Reports().status(TavGetFloatVectorLabel(label_of(item_data(handle, i)), out + i * dimension, &count),
                                 "TavGetFloatVectorLabel");
                if (count != dimension)
                    throw std::runtime_error("an item's label does not fit the list's label type");
            }
            return block;
        }
        // Items link to the list's own label objects, so a label's handle
        // finds its index without comparing texts.
        std::unordered_map<TAVLABEL, int64_t> index_of;
        const int32_t labels = Reports().count(TavGetNumLabelEntries(handle), "TavGetNumLabelEntries");
        for (int32_t k = 0; k < labels; ++k)
            index_of.emplace(TavGetLabel(handle, k), k);
        block = {std::vector<std::byte>(n * sizeof(int64_t)), {n}, ZT_DT_S64};
        auto* out = reinterpret_cast<int64_t*>(block.bytes.data());
        for (int32_t i = 0; i < n; ++i) {
            auto found = index_of.find(label_of(item_data(handle, i)));
            if (found == index_of.end())
                throw std::runtime_error("an item's label is not among the list's labels");
            out[i] = found->second;
        }
        return block;
    }));
}

py::list all_labels(const List& list) {
    auto values = list.read([&](TAV handle) {
        std::vector<LabelValue> out;
        const int32_t n = Reports().count(TavGetNumLabelEntries(handle), "TavGetNumLabelEntries");
        for (int32_t k = 0; k < n; ++k)
            out.push_back(read_label(TavGetLabel(handle, k), list.labels()));
        return out;
    });
    py::list result;
    for (auto& value : values)
        result.append(to_python(std::move(value)));
    return result;
}

std::vector<bool> excluded_flags(const List& list) {
    return list.read([&](TAV handle) {
        std::vector<bool> out;
        const int32_t n = Reports().count(TavGetNumLabelEntries(handle), "TavGetNumLabelEntries");
        for (int32_t k = 0; k < n; ++k) {
            int32_t flag = 0;
            Reports().status(TavGetExcludedFlag(TavGetLabel(handle, k), &flag), "TavGetExcludedFlag");
            out.push_back(flag != 0);
        }
        return out;
    });
}

std::vector<int64_t> items_of(const List& list, const py::object& label) {
    Owned value = make_label(label);
    return list.read([&](TAV handle) {
        TAVLABEL own = find_label(handle, value.get());
        std::vector<int64_t> out;
        const int32_t n = item_count(handle);
        for (int32_t i = 0; i < n; ++i)
            if (label_of(item_data(handle, i)) == own)
                out.push_back(i);
        return out;
    });
}

std::u16string get_comment(const List& list) {
    return list.read([](TAV handle) {
        Reports reports;
        uint64_t size = 0;
        reports.status(TavGetCommentW(handle, nullptr, &size), "TavGetCommentW");
        std::u16string text(size, u'\0');
        reports.status(TavGetCommentW(handle, text.data(), &size), "TavGetCommentW");
        text.resize(std::min<std::size_t>(text.find(u'\0'), size));
        return text;
    });
}

py::object get_time(const List& list, int32_t (*getter)(TAV, SYSTEMTIME*), const char* name) {
    return time_of(list.read([&](TAV handle) {
        SYSTEMTIME time{};
        Reports().status(getter(handle, &time), name);
        return time;
    }));
}

py::object get_mask(const List& list) {
    auto mask = list.read([&](TAV handle) -> std::optional<Block> {
        TAVDATA data = TavGetMaskData(handle); // 0 when none is set
        if (!data)
            return std::nullopt;
        Block block = data_block(list.data(), 1, false);
        read_data(data, list.data(), block.bytes.data());
        return block;
    });
    return mask ? py::object(to_numpy(std::move(*mask))) : py::object(py::none());
}

std::unique_ptr<List> open_list(const py::object& path, int32_t (*opener)(const char16_t*, TAV*), const char* name) {
    std::u16string text = path_text(path);
    py::gil_scoped_release unlocked;
    Reports reports;
    TAV handle = 0;
    int32_t status = opener(text.c_str(), &handle);
    Owned list(handle);
    reports.status(status, name);
    return std::make_unique<List>(std::move(list));
}

} // namespace

void bind_list(py::module_& m) {
    py::class_<List>(m, "List", R"(A sample list: data items (images or float vectors), each tied to one label
(a text or a float vector). Equal labels are held once, in sorted order.

List(labels, data) makes an empty list. labels is "string" or a
tav.VectorType(dimension); data is a tav.ImageType(...) or a
tav.VectorType(dimension). tav.load() and tav.import_korvu() open files.

len(lst) counts the items; lst[i] (negative i counts from the end) is a pair
(array, label): the image as a (height, width) or (height, width, planes)
array, or the vector as a 1-D float32 array, and the label as a str or a 1-D
float32 array. Iterating gives the same pairs. Values are copies.

A list may be used as a context manager; leaving the block releases it, and
any later use raises ValueError. Several threads may read one list at once;
a change waits until no other thread uses the list.)")
        .def(py::init([](const LabelKind& labels, const DataKind& data) {
                 Owned label_type = make_label_type(labels);
                 Owned data_type = make_data_type(data);
                 Reports reports; // the list keeps references of its own to both types
                 return std::make_unique<List>(Owned(reports.handle(TavCreate(label_type.get(), data_type.get()), "TavCreate")));
             }),
             py::arg("labels"), py::arg("data"))
        .def("__len__", [](const List& l) { return l.read(item_count); })
        .def("__getitem__", &get_item, py::arg("index"))
        .def("__delitem__", [](List& l, int64_t index) {
            l.change([&](TAV h) { Reports().status(TavDeleteData(h, position(index, item_count(h))), "TavDeleteData"); });
        })
        .def("add", [](List& l, const py::object& data, const py::object& label) {
                 Owned item = make_data(data, l.data());
                 Owned name = make_label(label);
                 l.change([&](TAV h) { Reports().status(TavAddItem(h, item.get(), name.get()), "TavAddItem"); });
             },
             py::arg("data"), py::arg("label"),
             R"(Adds one item: data is an image array of the list's geometry and dtype ((H, W) or
(H, W, planes)) or a 1-D vector (converted to float32); label is a str or a
1-D float vector. The list keeps copies. Raises tav.IncompatibleError when
the item does not fit the list's types.)")
        .def("arrays", &stacked_data,
             "All items' data as one array: (N, H, W), (N, H, W, planes) or (N, D).")
        .def("targets", &stacked_targets,
             "Each item's label: its index in labels (int64, (N,)) for string labels, or the vectors (float32, (N, D)).")
        .def_property_readonly("labels", &all_labels, "The labels, in the list's sorted order.")
        .def_property_readonly("excluded", &excluded_flags, "The excluded flag of each label, in the order of labels.")
        .def("items_of", &items_of, py::arg("label"), "Indices of the items with this label (KeyError if none).")
        .def("set_excluded",
             [](List& l, const py::object& label, bool excluded) {
                 Owned value = make_label(label);
                 l.change([&](TAV h) {
                     Reports().status(TavSetExcludedFlag(find_label(h, value.get()), excluded), "TavSetExcludedFlag");
                 });
             },
             py::arg("label"), py::arg("excluded") = true)
        .def_property(
            "comment", &get_comment,
            [](List& l, const std::u16string& text) {
                std::u16string checked = without_zeros(text, "a comment");
                l.change([&](TAV h) { Reports().status(TavSetCommentW(h, checked.c_str()), "TavSetCommentW"); });
            },
            "The list's comment (setting an empty one raises tav.InvalidArgumentError).")
        .def_property_readonly(
            "created", [](const List& l) { return get_time(l, TavGetCreationDate, "TavGetCreationDate"); },
            "Creation time, local, as a naive datetime.")
        .def_property_readonly(
            "modified", [](const List& l) { return get_time(l, TavGetModificationDate, "TavGetModificationDate"); },
            "Time of the last change, local, as a naive datetime.")
        .def_property(
            "mask", &get_mask,
            [](List& l, const py::object& values) {
                Owned data = make_data(values, l.data());
                l.change([&](TAV h) { Reports().status(TavSetMaskData(h, data.get()), "TavSetMaskData"); });
            },
            "The mask data (an array like an item's data) or None; it can be set but not removed.")
        .def_property_readonly("label_type", &List::labels, "\"string\" or a tav.VectorType.")
        .def_property_readonly("data_type", &List::data, "A tav.ImageType or a tav.VectorType.")
        .def("store", [](List& l, const py::object& path) {
                 std::u16string text = path_text(path);
                 l.read([&](TAV h) { Reports().status(TavStoreW(h, text.c_str()), "TavStoreW"); });
             },
             py::arg("path"), "Writes the list to a file; the file is replaced only once the new one is complete.")
        .def("close", &List::close, "Releases the list; later use raises ValueError.")
        .def_property_readonly("closed", &List::closed)
        .def("__enter__", [](List& l) -> List& { return l; }, py::return_value_policy::reference)
        .def("__exit__", [](List& l, const py::args&) { l.close(); })
        .def("__repr__", [](const List& l) {
            if (l.closed())
                return std::string("<tav.List (closed)>");
            auto [items, labels] = l.read([](TAV h) {
                return std::pair(item_count(h), Reports().count(TavGetNumLabelEntries(h), "TavGetNumLabelEntries"));
            });
            return "<tav.List: " + std::to_string(items) + " items, " + std::to_string(labels) + " labels>";
        });

    m.def("load", [](const py::object& path) { return open_list(path, TavLoadW, "TavLoadW"); }, py::arg("path"),
          "Loads a list file; raises tav.FileError for a missing or damaged file.");
    m.def("import_korvu", [](const py::object& path) { return open_list(path, TavImportFromKorvuW, "TavImportFromKorvuW"); },
          py::arg("path"), "Reads a list file of the version-1 format into a new list.");
}

} // namespace tavpy
