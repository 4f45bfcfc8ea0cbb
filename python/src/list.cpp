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
    : Guarded(std::move(handle)), labels_(read_label_type(live())), data_(read_data_type(live())) {}

ZTHANDLE Guarded::live() const {
    if (!handle_)
        throw py::value_error("the object is closed");
    return handle_.get();
}

void Guarded::close() {
    py::gil_scoped_release unlocked;
    std::lock_guard turn(gate_);
    std::unique_lock lock(mutex_);
    handle_.reset();
}

bool Guarded::closed() const {
    py::gil_scoped_release unlocked;
    std::shared_lock lock(mutex_);
    return !handle_;
}

namespace {

template <class Text>
Text without_zeros(Text text, const char* what) {
    if (text.find(typename Text::value_type(0)) != Text::npos)
        throw py::value_error(std::string(what) + " must not contain a zero character");
    return text;
}

} // namespace

std::u16string path_text(const py::object& path) {
    return without_zeros(py::module_::import("os").attr("fsdecode")(path).cast<std::u16string>(), "a path");
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

py::object to_python(const LabelValue& label) {
    if (auto* text = std::get_if<std::u16string>(&label))
        return py::cast(*text);
    auto& values = std::get<std::vector<float>>(label);
    return py::array_t<float>(static_cast<py::ssize_t>(values.size()), values.data());
}

py::object time_of(const SYSTEMTIME& t) {
    return py::module_::import("datetime")
        .attr("datetime")(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds * 1000);
}

py::array targets_of(const LabelKind& kind, const std::vector<int32_t>& label_index,
                     const std::vector<LabelValue>& labels) {
    const auto n = static_cast<py::ssize_t>(label_index.size());
    if (auto* vector = std::get_if<VectorType>(&kind)) {
        py::array_t<float> out({n, static_cast<py::ssize_t>(vector->dimension)});
        float* row = out.mutable_data();
        for (int32_t k : label_index) {
            const auto& values = std::get<std::vector<float>>(labels.at(static_cast<std::size_t>(k)));
            if (values.size() != static_cast<std::size_t>(vector->dimension))
                throw std::runtime_error("a label does not fit the label type");
            row = std::copy(values.begin(), values.end(), row);
        }
        return out;
    }
    py::array_t<int64_t> out(n);
    std::copy(label_index.begin(), label_index.end(), out.mutable_data());
    return out;
}

bool is_item_index(const py::handle& key) {
    return !py::isinstance<py::array>(key) && !py::isinstance<py::bool_>(key) && PyIndex_Check(key.ptr());
}

namespace {

Owned make_label(const py::handle& value) {
    Reports reports;
    if (py::isinstance<py::str>(value)) {
        std::string utf8 = without_zeros(value.cast<std::string>(), "a label");
        return Owned(reports.handle(TavCreateStringLabel(utf8.c_str()), "TavCreateStringLabel"));
    }
    std::vector<float> values = float_vector(value, "a label");
    return Owned(reports.handle(TavCreateVectorLabel(values.data(), values.size()), "TavCreateVectorLabel"));
}

int32_t item_count(TAV list) { return Reports().count(TavGetNumDataEntries(list), "TavGetNumDataEntries"); }
int32_t label_count(TAV list) { return Reports().count(TavGetNumLabelEntries(list), "TavGetNumLabelEntries"); }

int32_t position(int64_t index, int32_t count) {
    if (index < 0)
        index += count;
    if (index < 0 || index >= count)
        throw py::index_error("list index out of range");
    return static_cast<int32_t>(index);
}

TAVDATA item_data(TAV list, int64_t index) {
    return Reports().handle(TavGetData(list, static_cast<int32_t>(index)), "TavGetData");
}

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

std::vector<LabelValue> label_values(TAV handle, const LabelKind& kind) {
    std::vector<LabelValue> out;
    const int32_t n = label_count(handle);
    for (int32_t k = 0; k < n; ++k)
        out.push_back(read_label(TavGetLabel(handle, k), kind));
    return out;
}

std::vector<bool> excluded_flags(TAV handle) {
    std::vector<bool> out;
    const int32_t n = label_count(handle);
    for (int32_t k = 0; k < n; ++k) {
        int32_t flag = 0;
        Reports().status(TavGetExcludedFlag(TavGetLabel(handle, k), &flag), "TavGetExcludedFlag");
        out.push_back(flag != 0);
    }
    return out;
}

// The label index of every item, read in one call.
class LabelIndex {
public:
    explicit LabelIndex(TAV handle) : of_(static_cast<std::size_t>(item_count(handle))) {
        Reports().status(TavListGetItemLabels(handle, nullptr, static_cast<int64_t>(of_.size()), of_.data()),
                         "TavListGetItemLabels");
    }
    int32_t operator()(int64_t item) const {
        const int32_t label = of_[static_cast<std::size_t>(item)];
        if (label < 0)
            throw std::runtime_error("an item's label is not among the list's labels");
        return label;
    }

private:
    std::vector<int32_t> of_;
};

// Copies the data of the selected items to out, back to back, in one call.
void fill_items(TAV handle, const DataKind& kind, const Selection& s, std::byte* out) {
    std::size_t step = pixel_bytes(item_word(kind));
    for (auto extent : item_shape(kind))
        step *= static_cast<std::size_t>(extent);
    const auto count = s.size();
    std::vector<int64_t> range;
    if (!s.listed && s.first != 0)
        for (int64_t k = 0; k < count; ++k)
            range.push_back(s.first + k);
    const int64_t* indices = s.listed ? s.indices.data() : range.empty() ? nullptr : range.data();
    Reports().status(TavListReadItems(handle, indices, count, out, static_cast<uint64_t>(count) * step),
                     "TavListReadItems");
}

// The selected items' data and/or targets, read under one lock.
std::pair<py::object, py::object> gather(const List& list, const py::handle& indices, bool excluded, bool data,
                                         bool targets) {
    Which which = parse_which(indices);
    py::object x = py::none(), y = py::none();
    list.read([&](TAV handle) {
        Selection s = resolve(which, item_count(handle));
        const bool labels_needed = targets || !excluded;
        std::optional<LabelIndex> index;
        if (labels_needed)
            index.emplace(handle);
        if (!excluded)
            drop_excluded(s, excluded_flags(handle), *index);
        std::vector<int32_t> label_index;
        if (targets)
            for (int64_t k = 0; k < s.size(); ++k)
                label_index.push_back((*index)(s.at(k)));
        std::vector<LabelValue> values;
        if (targets && std::holds_alternative<VectorType>(list.labels()))
            values = label_values(handle, list.labels());
        std::byte* out = nullptr;
        {
            py::gil_scoped_acquire held; // x and y are made by NumPy
            if (targets)
                y = targets_of(list.labels(), label_index, values);
            if (data) {
                py::array array = new_items(list.data(), static_cast<std::size_t>(s.size()), true);
                out = static_cast<std::byte*>(array.mutable_data());
                x = std::move(array);
            }
        }
        if (data)
            fill_items(handle, list.data(), s, out);
    });
    return {std::move(x), std::move(y)};
}

py::object get_item(const List& list, const py::object& key) {
    if (!is_item_index(key)) {
        auto [x, y] = gather(list, key, true, true, true);
        return py::make_tuple(std::move(x), std::move(y));
    }
    const int64_t index = key.cast<int64_t>();
    py::array values = new_items(list.data(), 1, false);
    auto* out = static_cast<std::byte*>(values.mutable_data());
    LabelValue label = list.read([&](TAV handle) {
        const int32_t at = position(index, item_count(handle));
        Selection one;
        one.first = at, one.count = 1;
        fill_items(handle, list.data(), one, out);
        return read_label(label_of(item_data(handle, at)), list.labels());
    });
    return py::make_tuple(std::move(values), to_python(label));
}

// Why a label that the list refused does not fit it ("" when that is not it).
std::string label_misfit(const LabelKind& kind, const py::handle& label) {
    const bool text = py::isinstance<py::str>(label);
    if (std::holds_alternative<std::string>(kind))
        return text ? "" : "the list has text labels; given " + py::repr(label).cast<std::string>();
    const auto dimension = std::get<VectorType>(kind).dimension;
    const std::string wanted = "the list has labels of " + std::to_string(dimension) + " floats; given ";
    if (text)
        return wanted + py::repr(label).cast<std::string>();
    auto size = float_vector(label, "a label").size();
    return size == static_cast<std::size_t>(dimension) ? "" : wanted + std::to_string(size) + " values";
}

std::string data_misfit(const DataKind& kind, const py::handle& data) {
    py::array array = py::array::ensure(data);
    if (!array)
        return "";
    std::vector<py::ssize_t> shape(array.shape(), array.shape() + array.ndim()), wanted = item_shape(kind);
    const bool image = std::holds_alternative<ImageType>(kind);
    if (shape == wanted && (!image || array.dtype().equal(pixel_dtype(item_word(kind)))))
        return "";
    std::string given = "(";
    for (std::size_t i = 0; i < shape.size(); ++i)
        given += (i ? ", " : "") + std::to_string(shape[i]);
    return "the list holds " + describe(kind) + "; given a " + given + (shape.size() == 1 ? ",) " : ") ") +
           py::str(static_cast<const py::handle&>(array.dtype())).cast<std::string>() + " array";
}

void add_item(List& list, const py::object& data, const py::object& label) {
    Owned item = make_data(data, list.data());
    Owned name = make_label(label);
    try {
        list.change([&](TAV h) { Reports().status(TavAddItem(h, item.get(), name.get()), "TavAddItem"); });
    } catch (LibraryError& e) {
        if (e.code == TAV_E_INCOMPATIBLE && e.message.empty()) {
            std::string why = data_misfit(list.data(), data);
            e.message = why.empty() ? label_misfit(list.labels(), label) : why;
        }
        throw;
    }
}

// The labels of extend(): one handle per distinct label, and each row's.
struct RowLabels {
    std::vector<Owned> distinct;
    std::vector<uint32_t> row; // index into distinct
};

RowLabels row_labels(const LabelKind& kind, const py::handle& labels, std::size_t rows) {
    RowLabels out;
    Reports reports;
    auto misfit = [&](std::size_t i, const std::string& why) {
        return LibraryError(TAV_E_INCOMPATIBLE, "List.extend", "label " + std::to_string(i) + ": " + why);
    };
    if (auto* vector = std::get_if<VectorType>(&kind)) {
        auto values = py::array_t<float, py::array::c_style | py::array::forcecast>::ensure(labels);
        if (!values || values.ndim() != 2 || values.shape(1) != vector->dimension)
            throw LibraryError(TAV_E_INCOMPATIBLE, "List.extend",
                               "the list has labels of " + std::to_string(vector->dimension) +
                                   " floats, so it takes an (N, " + std::to_string(vector->dimension) +
                                   ") array of them");
        if (static_cast<std::size_t>(values.shape(0)) != rows)
            throw py::value_error(std::to_string(values.shape(0)) + " labels for " + std::to_string(rows) + " items");
        for (std::size_t i = 0; i < rows; ++i) {
            out.distinct.emplace_back(reports.handle(
                TavCreateVectorLabel(values.data() + i * vector->dimension, vector->dimension), "TavCreateVectorLabel"));
            out.row.push_back(static_cast<uint32_t>(i));
        }
        return out;
    }
    std::unordered_map<std::string, uint32_t> seen;
    for (const py::handle& label : labels) {
        if (!py::isinstance<py::str>(label))
            throw misfit(out.row.size(), label_misfit(kind, label));
        auto [at, added] = seen.try_emplace(without_zeros(label.cast<std::string>(), "a label"),
                                            static_cast<uint32_t>(out.distinct.size()));
        if (added)
            out.distinct.emplace_back(reports.handle(TavCreateStringLabel(at->first.c_str()), "TavCreateStringLabel"));
        out.row.push_back(at->second);
    }
    if (out.row.size() != rows)
        throw py::value_error(std::to_string(out.row.size()) + " labels for " + std::to_string(rows) + " items");
    return out;
}

void extend(List& list, const py::object& data, const py::object& labels) {
    StackedData rows(data, list.data());
    RowLabels names = row_labels(list.labels(), labels, rows.size());
    std::vector<TAVLABEL> row_label(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        row_label[i] = names.distinct[names.row[i]].get();
    // All rows or none: the library checks everything before it adds.
    list.change([&](TAV h) {
        Reports().status(TavAddItems(h, rows.data(), rows.bytes(), static_cast<int64_t>(rows.size()), row_label.data()),
                         "TavAddItems");
    });
}

py::list all_labels(const List& list) {
    auto values = list.read([&](TAV handle) { return label_values(handle, list.labels()); });
    py::list result;
    for (auto& value : values)
        result.append(to_python(value));
    return result;
}

bool contains(const List& list, const py::handle& value) {
    Owned label;
    try {
        label = make_label(value);
    } catch (const py::error_already_set&) {
        return false;
    } catch (const py::builtin_exception&) {
        return false;
    } catch (const LibraryError&) {
        return false;
    }
    return list.read([&](TAV handle) { return TavGetLabelIndex(handle, label.get()) >= 0; });
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

py::object get_mask(const List& list) { return mask_array(list, TavGetMaskData); }

std::unique_ptr<List> open_list(const py::object& path, int32_t (*opener)(const char16_t*, TAV*), const char* name) {
    std::u16string text = path_text(path);
    return naming_file(text, false, [&] {
        py::gil_scoped_release unlocked;
        Reports reports;
        TAV handle = 0;
        int32_t status = opener(text.c_str(), &handle);
        Owned list(handle);
        reports.status(status, name);
        return std::make_unique<List>(std::move(list));
    });
}

} // namespace

void bind_list(py::module_& m) {
    py::class_<List> cls(m, "List", R"(A sample list: data items (images or float vectors), each tied to one label
(a text or a float vector). Equal labels are held once, in sorted order.

List(labels, data) makes an empty list. labels is "string" or a
tav.VectorType(dimension); data is a tav.ImageType(...) or a
tav.VectorType(dimension). tav.load() and tav.import_korvu() open files;
List.from_arrays() makes a list from stacked arrays.

len(lst) counts the items; lst[i] (negative i counts from the end) is a pair
(array, label): the image as a (height, width) or (height, width, planes)
array, or the vector as a 1-D float32 array, and the label as a str or a 1-D
float32 array. Iterating gives the same pairs. lst[a:b], lst[index_array]
and lst[bool_mask] give a pair (X, y) as arrays() and targets() do. Values
are copies. `label in lst` tells whether the list holds that label.

A list may be used as a context manager; leaving the block releases it, and
any later use raises ValueError. Several threads may read one list at once;
a change waits until no other thread uses the list. A list pickles by its
stored bytes, so it can be sent to other processes.)");
    def_arrays_and_targets(cls, &gather);
    cls.def(py::init([](const LabelKind& labels, const DataKind& data) {
                 Owned label_type = make_label_type(labels);
                 Owned data_type = make_data_type(data);
                 Reports reports; // the list keeps references of its own to both types
                 return std::make_unique<List>(Owned(reports.handle(TavCreate(label_type.get(), data_type.get()), "TavCreate")));
             }),
             py::arg("labels"), py::arg("data"))
        .def("__len__", [](const List& l) { return l.read(item_count); })
        .def("__getitem__", &get_item, py::arg("index"))
        .def("__contains__", &contains, py::arg("label"))
        .def("__delitem__", [](List& l, int64_t index) {
            l.change([&](TAV h) { Reports().status(TavDeleteData(h, position(index, item_count(h))), "TavDeleteData"); });
        })
        .def("add", &add_item, py::arg("data"), py::arg("label"),
             R"(Adds one item: data is an image array of the list's geometry and dtype ((H, W) or
(H, W, planes)) or a 1-D vector (converted to float32); label is a str or a
1-D float vector. The list keeps copies. Raises tav.IncompatibleError, saying
what the list takes, when the item does not fit the list's types.)")
        .def("extend", &extend, py::arg("data"), py::arg("labels"),
             R"(Adds one item per row of a stacked array, in one call.

data is (N, H, W) or (N, H, W, planes) of the list's pixel dtype for image
lists, (N, D) (converted to float32) for vector lists; labels holds one label
per row: a sequence of N str, or an (N, L) array for vector labels. Either
every row is added or, on an error, none (tav.IncompatibleError says what the
list takes when the shapes, dtype or labels do not fit).)")
        .def_property_readonly("labels", &all_labels, "The labels, in the list's sorted order.")
        .def_property_readonly(
            "excluded", [](const List& l) { return l.read(excluded_flags); },
            "The excluded flag of each label, in the order of labels.")
        .def("items_of", &items_of, py::arg("label"), "Indices of the items with this label (KeyError if none).")
        .def("set_excluded",
             [](List& l, const py::object& label, bool excluded) {
                 Owned value = make_label(label);
                 l.change([&](TAV h) {
                     Reports().status(TavSetExcludedFlag(find_label(h, value.get()), excluded), "TavSetExcludedFlag");
                 });
             },
             py::arg("label"), py::arg("excluded") = true,
             "Marks a label as excluded (or not); KeyError if the list has no such label.")
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
                 naming_file(text, true, [&] {
                     l.read([&](TAV h) { Reports().status(TavStoreW(h, text.c_str()), "TavStoreW"); });
                 });
             },
             py::arg("path"), R"(Writes the list to a file; the file is replaced only once the new one is complete.
A folder that is missing or not writable raises tav.MissingFileError or
tav.FileAccessError (also FileNotFoundError and PermissionError).)")
        .def("close", &List::close, "Releases the list; later use raises ValueError.")
        .def_property_readonly("closed", &List::closed, "Whether close() was called.")
        .def("__enter__", [](List& l) -> List& { return l; }, py::return_value_policy::reference)
        .def("__exit__", [](List& l, const py::args&) { l.close(); })
        .def("__repr__", [](const List& l) {
            if (l.closed())
                return std::string("<tav.List (closed)>");
            auto [items, labels] = l.read([](TAV h) { return std::pair(item_count(h), label_count(h)); });
            return "<tav.List: " + std::to_string(items) + " items, " + std::to_string(labels) + " labels>";
        });

    m.def("load", [](const py::object& path) { return open_list(path, TavLoadW, "TavLoadW"); }, py::arg("path"),
          R"(Loads a list file into a tav.List. A damaged file raises tav.FileError; a missing
one tav.MissingFileError (also a FileNotFoundError), an unreadable one
tav.FileAccessError (also a PermissionError), with errno and filename set.)");
    m.def("import_korvu", [](const py::object& path) { return open_list(path, TavImportFromKorvuW, "TavImportFromKorvuW"); },
          py::arg("path"), "Reads a list file of the version-1 format into a new list.");
}

} // namespace tavpy
