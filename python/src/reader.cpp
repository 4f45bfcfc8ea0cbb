// tav.Reader: a list file read on demand, items straight into NumPy arrays.
#include <algorithm>
#include <memory>

#include <pybind11/stl.h>

#include "binding.hpp"

namespace tavpy {
namespace {

// The reader handle with what opening it learnt: the file's types, labels
// and flags, which never change while it is open.
class Reader : public Guarded {
public:
    Reader(Owned handle, py::object path) : Guarded(std::move(handle)), path_(std::move(path)) {
        TAVREADER r = live();
        Reports reports;
        reports.status(TavReaderGetInfo(r, &info_), "TavReaderGetInfo");
        if (info_.labelTypeEnum == 1)
            labels_ = VectorType{static_cast<int32_t>(info_.labelDimension)};
        else
            labels_ = std::string("string");
        if (info_.dataTypeEnum == 1) {
            data_ = VectorType{static_cast<int32_t>(info_.dimension)};
        } else {
            ImageType t;
            t.width = info_.width, t.height = info_.height, t.planes = info_.planes, t.pixel = info_.pixelDataType;
            reports.status(TavGetFeatureWindow(reports.handle(TavReaderGetDataType(r), "TavReaderGetDataType"), &t.left,
                                               &t.top, &t.window_width, &t.window_height, &t.origin_x, &t.origin_y),
                           "TavGetFeatureWindow");
            data_ = t;
        }
        std::size_t size = pixel_bytes(item_word(data_));
        for (auto extent : item_shape(data_))
            size *= static_cast<std::size_t>(extent);
        if (size != info_.itemSize)
            throw std::runtime_error("the reader's item size does not match its data type");
        for (int32_t k = 0; k < info_.labelCount; ++k) {
            TAVLABEL label = reports.handle(TavReaderGetLabel(r, k), "TavReaderGetLabel");
            values_.push_back(read_label(label, labels_));
            int32_t flag = 0;
            reports.status(TavGetExcludedFlag(label, &flag), "TavGetExcludedFlag");
            excluded_.push_back(flag != 0);
        }
        for (const auto& value : values_)
            label_objects_.append(to_python(value));
    }

    int64_t size() const { return info_.itemCount; }
    const LabelKind& labels() const { return labels_; }
    const DataKind& data() const { return data_; }
    const std::vector<LabelValue>& values() const { return values_; }
    const std::vector<bool>& excluded() const { return excluded_; }
    const py::list& label_objects() const { return label_objects_; }
    const py::object& path() const { return path_; }

private:
    py::object path_;
    TavReaderInfo info_{};
    LabelKind labels_;
    DataKind data_;
    std::vector<LabelValue> values_;
    std::vector<bool> excluded_;
    py::list label_objects_; // labels as Python objects, for reader[i]
};

// The label index of each selected item.
std::vector<int32_t> item_labels(TAVREADER r, const Selection& s) {
    Reports reports;
    std::vector<int32_t> out(static_cast<std::size_t>(s.size()));
    if (!s.listed || s.indices.empty()) {
        reports.status(TavReaderGetItemLabels(r, s.first, s.count, out.data()), "TavReaderGetItemLabels");
        return out;
    }
    // A dense set of indices reads the labels of the span it covers at once.
    auto [low, high] = std::minmax_element(s.indices.begin(), s.indices.end());
    const int64_t span = *high - *low + 1;
    if (span <= 4 * s.size() + 4096) {
        std::vector<int32_t> all(static_cast<std::size_t>(span));
        reports.status(TavReaderGetItemLabels(r, *low, span, all.data()), "TavReaderGetItemLabels");
        for (std::size_t k = 0; k < out.size(); ++k)
            out[k] = all[static_cast<std::size_t>(s.indices[k] - *low)];
        return out;
    }
    for (std::size_t k = 0; k < out.size(); ++k)
        reports.status(TavReaderGetItemLabels(r, s.indices[k], 1, &out[k]), "TavReaderGetItemLabels");
    return out;
}

void read_items(TAVREADER r, const Selection& s, void* out, uint64_t bytes) {
    Reports reports;
    if (s.listed)
        reports.status(TavReaderReadItems(r, s.indices.data(), s.size(), out, bytes), "TavReaderReadItems");
    else if (s.count)
        reports.status(TavReaderReadRange(r, s.first, s.count, out, bytes), "TavReaderReadRange");
}

std::pair<py::object, py::object> gather(const Reader& reader, const py::handle& indices, bool excluded, bool data,
                                         bool targets) {
    Selection s = resolve(parse_which(indices), reader.size());
    py::object x = py::none(), y = py::none();
    std::vector<int32_t> labels;
    if (targets || !excluded)
        labels = reader.read([&](TAVREADER r) { return item_labels(r, s); });
    if (!excluded) {
        std::vector<int32_t> kept;
        Selection chosen;
        chosen.listed = true;
        for (int64_t k = 0; k < s.size(); ++k)
            if (!reader.excluded().at(static_cast<std::size_t>(labels[k]))) {
                chosen.indices.push_back(s.at(k));
                kept.push_back(labels[k]);
            }
        s = std::move(chosen);
        labels = std::move(kept);
    }
    if (targets)
        y = targets_of(reader.labels(), labels, reader.values());
    if (data) {
        py::array array = new_items(reader.data(), static_cast<std::size_t>(s.size()), true);
        void* out = array.mutable_data();
        const auto bytes = static_cast<uint64_t>(array.nbytes());
        reader.read([&](TAVREADER r) { read_items(r, s, out, bytes); });
        x = std::move(array);
    }
    return {std::move(x), std::move(y)};
}

py::object get_item(const Reader& reader, const py::object& key) {
    if (!is_item_index(key)) {
        auto [x, y] = gather(reader, key, true, true, true);
        return py::make_tuple(std::move(x), std::move(y));
    }
    int64_t index = key.cast<int64_t>();
    if (index < 0)
        index += reader.size();
    if (index < 0 || index >= reader.size())
        throw py::index_error("reader index out of range");
    py::array values = new_items(reader.data(), 1, false);
    void* out = values.mutable_data();
    const auto bytes = static_cast<uint64_t>(values.nbytes());
    const int32_t label = reader.read([&](TAVREADER r) {
        Reports reports;
        int32_t k = 0;
        reports.status(TavReaderGetItemLabels(r, index, 1, &k), "TavReaderGetItemLabels");
        reports.status(TavReaderReadRange(r, index, 1, out, bytes), "TavReaderReadRange");
        return k;
    });
    py::object name = reader.label_objects()[static_cast<std::size_t>(label)];
    if (std::holds_alternative<VectorType>(reader.labels()))
        name = to_python(reader.values().at(static_cast<std::size_t>(label))); // a copy of its own
    return py::make_tuple(std::move(values), std::move(name));
}

// The index of label value among the reader's labels, or -1.
int64_t label_index(const Reader& reader, const py::handle& value) {
    const auto& values = reader.values();
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (auto* text = std::get_if<std::u16string>(&values[k])) {
            if (py::isinstance<py::str>(value) && value.cast<std::u16string>() == *text)
                return static_cast<int64_t>(k);
            continue;
        }
        if (py::isinstance<py::str>(value))
            continue;
        auto given = py::array_t<float, py::array::forcecast>::ensure(value);
        const auto& floats = std::get<std::vector<float>>(values[k]);
        if (given && given.ndim() == 1 && static_cast<std::size_t>(given.size()) == floats.size() &&
            std::equal(floats.begin(), floats.end(), given.data()))
            return static_cast<int64_t>(k);
    }
    return -1;
}

std::unique_ptr<Reader> open_reader(const py::object& path) {
    std::u16string text = path_text(path);
    py::object absolute = py::module_::import("os").attr("path").attr("abspath")(py::cast(text));
    Owned handle = naming_file(text, false, [&] {
        py::gil_scoped_release unlocked;
        Reports reports;
        TAVREADER r = 0;
        int32_t status = TavReaderOpenW(text.c_str(), &r);
        Owned opened(r);
        reports.status(status, "TavReaderOpenW");
        return opened;
    });
    return std::make_unique<Reader>(std::move(handle), std::move(absolute));
}

// The stored creation and modification times.
std::pair<SYSTEMTIME, SYSTEMTIME> stored_times(const Reader& r) {
    SYSTEMTIME created{}, modified{};
    r.read([&](TAVREADER h) { Reports().status(TavReaderGetTimes(h, &created, &modified), "TavReaderGetTimes"); });
    return {created, modified};
}

} // namespace

void bind_reader(py::module_& m) {
    py::class_<Reader> cls(m, "Reader", R"(A list file opened for reading items on demand (made by tav.open).

It holds only the file's index (where each item lies and which label it
has, the labels and the metadata), so lists larger than memory can be read;
items are read from the file into arrays that NumPy allocates.

len(reader) counts the items; reader[i] is a pair (array, label) as for a
tav.List; reader[a:b], reader[index_array] and reader[bool_mask] give a pair
(X, y) as arrays() and targets() do; `label in reader` tells whether the file
holds that label. A reader is a context manager (leaving the block closes
it), may be shared by threads, and pickles by its path, so that a process it
is sent to (a DataLoader worker) opens the file again.)");
    def_arrays_and_targets(cls, &gather);
    cls.def("__len__", [](const Reader& r) { return r.read([&](TAVREADER) { return r.size(); }); })
        .def("__getitem__", &get_item, py::arg("index"))
        .def("__contains__", [](const Reader& r, const py::handle& label) { return label_index(r, label) >= 0; },
             py::arg("label"))
        .def_property_readonly(
            "labels",
            [](const Reader& r) {
                py::list out;
                for (const auto& value : r.values())
                    out.append(to_python(value));
                return out;
            },
            "The labels, in the list's sorted order.")
        .def_property_readonly(
            "excluded", [](const Reader& r) { return r.excluded(); },
            "The excluded flag of each label, in the order of labels.")
        .def(
            "items_of",
            [](const Reader& r, const py::object& label) {
                const int64_t k = label_index(r, label);
                if (k < 0)
                    throw py::key_error("the list has no such label");
                auto all = r.read([&](TAVREADER h) {
                    Selection s;
                    s.count = r.size();
                    return item_labels(h, s);
                });
                std::vector<int64_t> out;
                for (std::size_t i = 0; i < all.size(); ++i)
                    if (all[i] == k)
                        out.push_back(static_cast<int64_t>(i));
                return out;
            },
            py::arg("label"), "Indices of the items with this label (KeyError if none).")
        .def_property_readonly(
            "comment",
            [](const Reader& r) {
                std::string text = r.read([](TAVREADER h) {
                    Reports reports;
                    uint64_t size = 0;
                    reports.status(TavReaderGetComment(h, nullptr, &size), "TavReaderGetComment");
                    std::string out(size, '\0');
                    reports.status(TavReaderGetComment(h, out.data(), &size), "TavReaderGetComment");
                    out.resize(std::min<std::size_t>(out.find('\0'), size));
                    return out;
                });
                return py::str(text);
            },
            "The list's comment.")
        .def_property_readonly(
            "created", [](const Reader& r) { return time_of(stored_times(r).first); },
            "Creation time, local, as a naive datetime.")
        .def_property_readonly(
            "modified", [](const Reader& r) { return time_of(stored_times(r).second); },
            "Time of the last change, local, as a naive datetime.")
        .def_property_readonly(
            "mask",
            [](const Reader& r) { return mask_array(r, TavReaderGetMaskData); },
            "The mask data (an array like an item's data) or None.")
        .def_property_readonly("label_type", &Reader::labels, "\"string\" or a tav.VectorType.")
        .def_property_readonly("data_type", &Reader::data, "A tav.ImageType or a tav.VectorType.")
        .def_property_readonly("path", &Reader::path, "The file's absolute path.")
        .def("close", &Reader::close, "Closes the file; later use raises ValueError.")
        .def_property_readonly("closed", &Reader::closed, "Whether close() was called.")
        .def("__enter__", [](Reader& r) -> Reader& { return r; }, py::return_value_policy::reference)
        .def("__exit__", [](Reader& r, const py::args&) { r.close(); })
        .def("__repr__", [](const Reader& r) {
            if (r.closed())
                return "<tav.Reader (closed): " + py::repr(r.path()).cast<std::string>() + ">";
            return "<tav.Reader: " + std::to_string(r.size()) + " items, " + std::to_string(r.values().size()) +
                   " labels, " + py::repr(r.path()).cast<std::string>() + ">";
        });

    m.def("open", &open_reader, py::arg("path"),
          R"(Opens a list file for reading items on demand: a tav.Reader.

Opening reads the file's index, not its items. A damaged file raises
tav.FileError (a damaged item when it is read); a missing one
tav.MissingFileError (also a FileNotFoundError), an unreadable one
tav.FileAccessError (also a PermissionError), with errno and filename set.)");
}

} // namespace tavpy
