#include "tav/store/list_file_reader.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "tav/frame/error_codes.hpp"
#include "tav/frame/make_object.hpp"
#include "tav/frame/two_halves.hpp"
#include "tav/samples/data_float32_vector.hpp"
#include "tav/samples/data_image.hpp"
#include "tav/samples/label_float32_vector.hpp"
#include "tav/samples/label_string.hpp"
#include "tav/store/list_file_layout.hpp"
#include "tav/store/systemtime_stream.hpp"
#include "tav/types/data_type_float32_vector.hpp"
#include "tav/types/data_type_image.hpp"
#include "tav/types/label_type_float32_vector.hpp"
#include "tav/types/label_type_string.hpp"
#include "tav/types/type_words.hpp"
#include "tav/xriff/chunk_types.hpp"
#include "tav/xriff/errors.hpp"

namespace Korvu2::TAV::store {

using namespace Objects;
namespace chunk = vxIO::xriff_type;
using Type = vxIO::xriff_fixed_string<8>;
using Name = vxIO::xriff_fixed_string<16>;

namespace {

[[noreturn]] void corrupt() { throw std::xriff_io_error(kCorruptFile); }

enum ChunkKind : uint32_t { KindImage = 0, KindFloats = 1, KindText = 2, KindOther = 3 };

// Chunk types as one word and names as two, compared without a call for
// every chunk of the walk.
uint64_t type_key(const Type& type) {
    uint64_t key;
    std::memcpy(&key, type.data(), 8);
    return key;
}

bool same_name(const char* stored, const Name& name) {
    uint64_t a[2], b[2];
    std::memcpy(a, stored, 16);
    std::memcpy(b, name.data(), 16);
    return a[0] == b[0] && a[1] == b[1];
}

const uint64_t kImageKey = type_key(chunk::image), kFloatsKey = type_key(chunk::array_f32),
               kTextKey = type_key(chunk::text_utf8), kWordsKey = type_key(chunk::array_u32),
               kCompositeKey = type_key(chunk::composite), kDataTypeKey = type_key(chunk::data_type),
               kLabelTypeKey = type_key(chunk::label_type), kTimeKey = type_key(chunk::system_time);

ChunkKind kind_of(uint64_t type) {
    if (type == kImageKey)
        return KindImage;
    if (type == kFloatsKey)
        return KindFloats;
    if (type == kTextKey)
        return KindText;
    return KindOther;
}

} // namespace

// --- positional reads --------------------------------------------------------

ByteSource::~ByteSource() {
    if (fd_ >= 0)
        ::close(fd_);
}

void ByteSource::open_file(const std::string& fs_path) {
    const int fd = ::open(fs_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::xriff_io_error("file open error");
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size < 0) {
        ::close(fd);
        throw std::xriff_io_error("file open error");
    }
    fd_ = fd;
    size_ = static_cast<uint64_t>(st.st_size);
}

void ByteSource::open_memory(std::string bytes) {
    bytes_ = std::move(bytes);
    size_ = bytes_.size();
}

void ByteSource::read_at(uint64_t position, void* buffer, uint64_t n) const {
    if (n == 0)
        return;
    if (position > size_ || n > size_ - position)
        throw std::xriff_eof_error();
    if (fd_ < 0) {
        std::memcpy(buffer, bytes_.data() + position, n);
        return;
    }
    auto* out = static_cast<char*>(buffer);
    while (n > 0) {
        const ssize_t got = ::pread(fd_, out, std::min<uint64_t>(n, SSIZE_MAX), static_cast<off_t>(position));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw std::xriff_io_error("read failed");
        // The file has become shorter since it was opened.
        if (got == 0)
            throw std::xriff_eof_error();
        out += got;
        position += static_cast<uint64_t>(got);
        n -= static_cast<uint64_t>(got);
    }
}

void ByteSource::read_scattered(uint64_t position, const iovec* pieces, int count) const {
    uint64_t total = 0;
    for (int i = 0; i < count; ++i)
        total += pieces[i].iov_len;
    if (fd_ >= 0 && total > 0) {
        const ssize_t got = ::preadv(fd_, pieces, count, static_cast<off_t>(position));
        if (got >= 0 && static_cast<uint64_t>(got) == total)
            return;
    }
    // From memory, or after a short or interrupted read: piece by piece,
    // which reports the end of a file that has become shorter.
    for (int i = 0; i < count; ++i) {
        read_at(position, pieces[i].iov_base, pieces[i].iov_len);
        position += pieces[i].iov_len;
    }
}

// --- the walk over the chunk headers -------------------------------------------

// One pass over the file's chunks with the xriff directory's rules (NUL bytes
// between chunks are skipped, a composite's payload is entered, a payload
// must lie inside the file and inside every composite that encloses it),
// keeping only what the load looks up: the first chunk of each (type, name)
// it needs, the children of the first "TavData" and "TavLabels" composites,
// and the first text chunk after the first "TavInfo2" composite.
class ListFileReader::Walk {
public:
    // A window no larger than the file, which always holds a whole header.
    // With trusting set, items may be taken on trust; their chunk type then
    // goes to trusted_key (left alone otherwise).
    Walk(const ByteSource& source, bool trusting, uint64_t& trusted_key)
        : source_(source), window_(std::min<uint64_t>(kWindow, source.size())), trusting_(trusting),
          trusted_key_(trusted_key) {}

    struct Found {
        std::optional<ChunkSpan> data_type, label_type, creation, modification, references, excluded, image_mask,
            vector_mask, comment;
    };

    void run(Items& items, Items& labels, Found& found) {
        // The header: the magic, then the file's name (not looked at).
        if (source_.size() < vxIO::xriff_magic.size())
            throw std::xriff_io_error("file is too short to be a valid xriff file");
        if (Name::from_bytes(bytes_at(0, 16)) != vxIO::xriff_magic)
            throw std::xriff_io_error("xriff file format not compatible with this reader");
        bytes_at(16, 16);
        uint64_t pos = 32;
        const uint64_t size = source_.size();
        for (;;) {
            pos = skip_nul(pos);
            if (pos >= size)
                break;
            const char* header = bytes_at(pos, vxIO::xriff_header_size);
            uint64_t type, length;
            std::memcpy(&type, header, 8);
            std::memcpy(&length, header + 24, 8);
            const uint64_t position = pos + vxIO::xriff_header_size;
            if (length > size - position)
                throw std::xriff_eof_error();
            record(type, header + 8, length, position, items, labels, found);
            pos = type == kCompositeKey ? position : position + length;
            if (resume_ != 0)
                pos = std::exchange(resume_, 0);
        }
    }

private:
    // Reading the file through a window that stays in the cache costs less
    // than a positional read per chunk header, unless payloads are large.
    static constexpr uint64_t kWindow = 128 * 1024;

    // The n (<= the window) bytes at pos, read with the window that starts there.
    const char* bytes_at(uint64_t pos, uint64_t n) {
        if (pos >= start_ && pos - start_ + n <= length_)
            return window_.data() + (pos - start_);
        if (pos > source_.size() || n > source_.size() - pos)
            throw std::xriff_eof_error();
        length_ = std::min<uint64_t>(window_.size(), source_.size() - pos);
        start_ = pos;
        source_.read_at(pos, window_.data(), length_);
        return window_.data();
    }

    uint64_t skip_nul(uint64_t pos) {
        const uint64_t size = source_.size();
        while (pos < size) {
            const char* p = bytes_at(pos, 1);
            const uint64_t available = length_ - (pos - start_);
            const char* end = p + available;
            const char* q = std::find_if(p, end, [](char c) { return c != 0; });
            pos += static_cast<uint64_t>(q - p);
            if (q != end)
                break;
        }
        return pos;
    }

    // The name points into the window; nothing is read while it is used.
    void record(uint64_t type, const char* name, uint64_t size, uint64_t position, Items& items,
                Items& labels, Found& found) {
        // Composites that end at or before this chunk's header are closed,
        // as the directory closes them.
        const uint64_t header_start = position - vxIO::xriff_header_size;
        while (!ends_.empty() && ends_.back() <= header_start)
            ends_.pop_back();
        if (!ends_.empty() && position + size > ends_.back())
            throw std::xriff_io_error("chunk runs past the end of its composite");
        const std::size_t level = ends_.size();
        const ChunkSpan span{position, size};

        // The children of a composite are the entries after it of a greater
        // level, up to the first that is not.
        if (data_open_ && level <= data_level_)
            data_open_ = false;
        if (data_open_) {
            // Items are mostly of one size: room for as many as the rest of
            // the composite holds of the first one's size.
            if (items.empty())
                items.reserve((data_end_ - header_start) / (vxIO::xriff_header_size + size));
            items.push_back({position, size, kNoLabel, kind_of(type)});
        }
        if (labels_open_ && level <= labels_level_)
            labels_open_ = false;
        if (labels_open_)
            labels.push_back({position, size, kNoLabel, kind_of(type)});
        if (comment_armed_ && !found.comment && type == kTextKey)
            found.comment = span;

        auto first = [&](std::optional<ChunkSpan>& slot, const Name& n) {
            if (!slot && same_name(name, n))
                slot = span;
        };
        // Looked up by type first: most chunks are items and labels.
        static const Name kNone{};
        if (type == kImageKey) {
            first(found.image_mask, kMaskName);
        } else if (type == kFloatsKey) {
            first(found.vector_mask, kMaskName);
        } else if (type == kDataTypeKey) {
            first(found.data_type, kNone);
        } else if (type == kLabelTypeKey) {
            first(found.label_type, kNone);
        } else if (type == kTimeKey) {
            first(found.creation, kCreationTimeName);
            first(found.modification, kModificationTimeName);
        } else if (type == kWordsKey) {
            first(found.references, kReferencesName);
            first(found.excluded, kExcludedName);
        } else if (type == kCompositeKey) {
            bool trust = false;
            if (!data_seen_ && same_name(name, kDataName)) {
                data_seen_ = data_open_ = true;
                data_level_ = level;
                data_end_ = position + size;
                trust = trusting_ && size != 0 && !labels_open_;
            }
            if (!labels_seen_ && same_name(name, kLabelsName)) {
                labels_seen_ = labels_open_ = true;
                labels_level_ = level;
            }
            if (same_name(name, kInfoName))
                comment_armed_ = true;
            if (size != 0)
                ends_.push_back(position + size);
            // Last: it may move the window the name lies in.
            if (trust)
                take_items_on_trust(position, size, items);
        }
    }

    // The composite's payload at position is taken to hold only chunks like
    // its first: an item chunk with no name, back to back, filling it
    // exactly. Such chunks change nothing the walk keeps but the items, so
    // the walk resumes after the composite. Otherwise nothing happens.
    void take_items_on_trust(uint64_t position, uint64_t size, Items& items) {
        constexpr uint64_t header_size = vxIO::xriff_header_size;
        if (size < header_size)
            return;
        const char* header = bytes_at(position, header_size);
        uint64_t type, length;
        std::memcpy(&type, header, 8);
        std::memcpy(&length, header + 24, 8);
        static const Name kNone{};
        const ChunkKind kind = kind_of(type);
        if ((kind != KindImage && kind != KindFloats) || !same_name(header + 8, kNone) ||
            length > size - header_size || size % (header_size + length) != 0)
            return;
        const uint64_t count = size / (header_size + length);
        items.reserve(count);
        for (uint64_t i = 0; i < count; ++i)
            items.push_back({position + i * (header_size + length) + header_size, length, kNoLabel, kind});
        trusted_key_ = type;
        resume_ = position + size;
    }

    const ByteSource& source_;
    std::vector<char> window_;
    uint64_t start_ = 0, length_ = 0;
    // End offsets of the enclosing composites, innermost last.
    std::vector<uint64_t> ends_;
    bool data_seen_ = false, data_open_ = false, labels_seen_ = false, labels_open_ = false;
    bool comment_armed_ = false;
    std::size_t data_level_ = 0, labels_level_ = 0;
    uint64_t data_end_ = 0;
    bool trusting_;
    uint64_t& trusted_key_;
    // Where the walk goes on after items taken on trust; 0 when it goes on as usual.
    uint64_t resume_ = 0;
};

// --- the load's checks ----------------------------------------------------------

namespace {

std::vector<char> read_payload(const ByteSource& source, const ChunkSpan& span) {
    std::vector<char> bytes(span.size);
    source.read_at(span.position, bytes.data(), span.size);
    return bytes;
}

// The payload as 32-bit words; its size must be a whole number of units of
// `unit` bytes (4 for a word, 8 for a pair). Read straight into the words,
// each then put in the machine's order where it stands.
ListFileReader::Words read_words(const ByteSource& source, const ChunkSpan& span, uint64_t unit) {
    if (span.size % unit != 0)
        corrupt();
    ListFileReader::Words words(span.size / 4);
    source.read_at(span.position, words.data(), span.size);
    auto* bytes = reinterpret_cast<const uint8_t*>(words.data());
    for (std::size_t i = 0; i < words.size(); ++i)
        words[i] = type_words::word_at(bytes, i);
    return words;
}

// A type object from its chunk: the class for enum 0 or the class for enum 1,
// each of which checks its own words.
template <class Interface, class Enum0Class, class Enum1Class>
SharedHandle<Interface> make_type(const ByteSource& source, const ChunkSpan& span) {
    const std::vector<char> bytes = read_payload(source, span);
    switch (type_words::stored_type_enum(bytes.data(), bytes.size()).value_or(-1)) {
    case Enum0Class::kTypeEnum:
        return make_object<Enum0Class>(bytes.data(), bytes.size());
    case Enum1Class::kTypeEnum:
        return make_object<Enum1Class>(bytes.data(), bytes.size());
    default:
        throw std::runtime_error(kInvalidTypeDescriptors);
    }
}

std::optional<SYSTEMTIME> read_time(const ByteSource& source, const std::optional<ChunkSpan>& span) {
    if (!span)
        return std::nullopt;
    if (span->size < systemtime_stream::kStoredSize)
        throw std::xriff_io_error("read past end of chunk");
    SYSTEMTIME time;
    source.read_at(span->position, &time, systemtime_stream::kStoredSize);
    return time;
}

// A label from one child of "TavLabels"; empty when the child is not one.
SharedHandle<ITavLabel> make_label(uint32_t kind, const char* bytes, uint64_t size) {
    const StoredPayload payload{bytes, size};
    try {
        if (kind == KindText)
            return make_object<CLabelString>(payload);
        if (kind == KindFloats)
            return make_object<CLabelFloat32Vector>(payload);
    } catch (const invalid_stored_form&) {
    }
    return {};
}

// The stored form of an image (the image library's blob, version 1): magic,
// version, width, height, plane count, one data-type word per plane, then the
// planes one after another, row by row, each element in its container.
constexpr char kImageMagic[8] = {'Z', 'T', 'C', 'I', 'M', 'G', '\r', '\n'};
// The image library's bound on the pixel bytes of one image and on its planes.
constexpr uint64_t kMaxImageBytes = uint64_t{1} << 34;
constexpr int32_t kMaxPlanes = 1 << 16;

// The blob the image library loads into an image that fits the type has
// exactly this form: its header repeats the type's geometry and each plane's
// word has the type's pixel type in its low 10 bits (the flags above are
// free), and the pixel type is one the library knows.
ItemForm image_form(const CDataTypeImage& type) {
    ItemForm f;
    f.image = true;
    f.width = type.Width();
    f.height = type.Height();
    f.planes = type.Planes();
    f.pixel_type = type.PixelDataType();
    f.bits = static_cast<int>(f.pixel_type & 0xFF);
    f.is_signed = (f.pixel_type & 0x100) != 0;
    const bool is_float = (f.pixel_type & 0x200) != 0;
    if (f.bits < 1 || f.bits > 64 || (is_float && (!f.is_signed || (f.bits != 32 && f.bits != 64))) ||
        f.planes > kMaxPlanes) {
        f.impossible = true;
        return f;
    }
    f.element_bytes = f.bits <= 8 ? 1 : f.bits <= 16 ? 2 : f.bits <= 32 ? 4 : 8;
    f.check_values = !is_float && f.bits != f.element_bytes * 8;
    // Width, height and planes are at least 1 (the type's invariants).
    const auto w = static_cast<uint64_t>(f.width), h = static_cast<uint64_t>(f.height);
    const auto planes = static_cast<uint64_t>(f.planes), e = static_cast<uint64_t>(f.element_bytes);
    if (w * h > kMaxImageBytes || w * h * e > kMaxImageBytes / planes) {
        f.impossible = true;
        return f;
    }
    f.item_size = w * h * e * planes;
    f.header_size = 24 + 4 * planes;
    f.payload_size = f.header_size + f.item_size;
    return f;
}

ItemForm vector_form(const CDataTypeFloat32Vector& type) {
    ItemForm f;
    f.item_size = f.payload_size = 4 * static_cast<uint64_t>(type.Dimension());
    return f;
}

template <class T>
T load_as(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Whether every element of n holds a value of the pixel type.
bool values_fit(const ItemForm& f, const uint8_t* values, uint64_t n) {
    for (uint64_t i = 0; i < n; ++i) {
        const uint8_t* p = values + i * static_cast<uint64_t>(f.element_bytes);
        if (f.is_signed) {
            int64_t v;
            switch (f.element_bytes) {
            case 1: v = load_as<int8_t>(p); break;
            case 2: v = load_as<int16_t>(p); break;
            case 4: v = load_as<int32_t>(p); break;
            default: v = load_as<int64_t>(p); break;
            }
            const int64_t max = static_cast<int64_t>((uint64_t{1} << (f.bits - 1)) - 1);
            if (v > max || v < -max - 1)
                return false;
        } else {
            uint64_t v;
            switch (f.element_bytes) {
            case 1: v = load_as<uint8_t>(p); break;
            case 2: v = load_as<uint16_t>(p); break;
            case 4: v = load_as<uint32_t>(p); break;
            default: v = load_as<uint64_t>(p); break;
            }
            if (v > (uint64_t{1} << f.bits) - 1)
                return false;
        }
    }
    return true;
}

} // namespace

SharedHandle<ITavData> make_stored_data(const vxIO::xriff_fixed_string<8>& type, const void* bytes,
                                        uint64_t size) {
    const StoredPayload payload{bytes, size};
    try {
        if (type == chunk::image)
            return make_object<CDataImage>(payload);
        if (type == chunk::array_f32)
            return make_object<CDataFloat32Vector>(payload);
    } catch (const invalid_stored_form&) {
    }
    return {};
}

int32_t ListFileReader::open(const std::string& fs_path, bool trusting) {
    try {
        source_.open_file(fs_path);
    } catch (...) {
        return ErrFile;
    }
    return index(trusting);
}

int32_t ListFileReader::open_bytes(std::string bytes, bool trusting) {
    source_.open_memory(std::move(bytes));
    return index(trusting);
}

int32_t ListFileReader::reindex() {
    label_type_ = {};
    data_type_ = {};
    form_ = {};
    Items().swap(items_);
    labels_.clear();
    pairs_.clear();
    mask_ = {};
    comment_.clear();
    creation_.reset();
    modification_.reset();
    trusted_key_ = 0;
    return index(false);
}

int32_t ListFileReader::settle(int32_t code) {
    if (!trusted())
        return code;
    if (code == 0 && headers_check_out()) {
        trusted_key_ = 0;
        return 0;
    }
    return reindex();
}

// When the header at each item's place is an item header of the payload's
// size, the items are exactly the chunks a walk over every header finds:
// each header checked leads the walk to the next.
bool ListFileReader::headers_check_out() const {
    const uint64_t bytes = items_.empty() ? 0 : items_.size() * items_[0].size;
    try {
        in_two_halves(items_.size(), bytes, [this](std::size_t first, std::size_t count) {
            visit_payloads(first, count, [](std::size_t, const char*, uint64_t) {});
        });
        return true;
    } catch (...) {
        return false;
    }
}

void ListFileReader::check_header(const char* header, uint64_t key, uint64_t size) {
    static_assert(vxIO::xriff_header_size == 32);
    static const Name kNone{};
    uint64_t type, length;
    std::memcpy(&type, header, 8);
    std::memcpy(&length, header + 24, 8);
    if (type != key || length != size || !same_name(header + 8, kNone))
        corrupt();
}

int32_t ListFileReader::index(bool trusting) {
    Walk::Found found;
    Items label_chunks;
    try {
        // The key is kept even when the walk fails further on: a failure
        // after items were taken on trust is decided again by reindex().
        Walk(source_, trusting, trusted_key_).run(items_, label_chunks, found);
    } catch (...) {
        return ErrFile;
    }

    // The form of the list: both type chunks must be there and lead with a known enum.
    if (!found.data_type || !found.label_type)
        return ErrInvalidOperation;
    uint32_t data_enum = 0, label_enum = 0;
    try {
        if (found.data_type->size < 4 || found.label_type->size < 4)
            return ErrFile;
        source_.read_at(found.data_type->position, &data_enum, 4);
        source_.read_at(found.label_type->position, &label_enum, 4);
    } catch (...) {
        return ErrFile;
    }
    if (data_enum > 1 || label_enum > 1)
        return ErrInvalidOperation;

    try {
        label_type_ = make_type<ITavLabelType, CLabelTypeString, CLabelTypeFloat32Vector>(source_, *found.label_type);
        data_type_ = make_type<ITavDataType, CDataTypeImage, CDataTypeFloat32Vector>(source_, *found.data_type);
        creation_ = read_time(source_, found.creation);
        modification_ = read_time(source_, found.modification);

        // Every child of "TavData" must become an item that fits the data
        // type. What the headers tell is checked now, the payload when read.
        if (auto* image = dynamic_cast<const CDataTypeImage*>(data_type_.get()))
            form_ = image_form(*image);
        else
            form_ = vector_form(dynamic_cast<const CDataTypeFloat32Vector&>(*data_type_));
        const uint32_t item_kind = form_.image ? KindImage : KindFloats;
        for (const Item& item : items_)
            if (item.kind != item_kind || item.size != form_.payload_size || form_.impossible)
                corrupt();
        if (items_.capacity() > items_.size() + items_.size() / 8)
            items_.shrink_to_fit();

        // Every child of "TavLabels" must become a label that fits the label type.
        labels_.reserve(label_chunks.size());
        visit_runs(source_, label_chunks, 0, label_chunks.size(), [&](std::size_t i, const char* bytes, uint64_t size) {
            SharedHandle<ITavLabel> label = make_label(label_chunks[i].kind, bytes, size);
            if (!label || !label->VerifyCompatibility(*label_type_))
                corrupt();
            labels_.push_back(std::move(label));
        });
        read_links(found.references);
        read_excluded(found.excluded);
        read_mask(found.image_mask, found.vector_mask);
        if (found.comment) {
            const std::vector<char> text = read_payload(source_, *found.comment);
            comment_.assign(text.begin(), text.end());
        }
    } catch (...) {
        return ErrFile;
    }
    return 0;
}


void ListFileReader::read_links(const std::optional<ChunkSpan>& span) {
    if (!span)
        return;
    Words pairs = read_words(source_, *span, 8);
    const std::size_t labels = labels_.size(), data = items_.size();
    // Whether each label's items come in data order: then the pairs are
    // what the items' labels say, and need not be kept.
    std::vector<uint32_t> last(labels, kNoLabel);
    bool ordered = true;
    for (std::size_t i = 0; i < pairs.size(); i += 2) {
        const uint32_t l = pairs[i], d = pairs[i + 1];
        // A data entry in two pairs would sit in two labels' references.
        if (l >= labels || d >= data || items_[d].label != kNoLabel)
            corrupt();
        items_[d].label = l;
        if (last[l] != kNoLabel && d < last[l])
            ordered = false;
        last[l] = d;
    }
    if (!ordered)
        pairs_ = std::move(pairs);
}

void ListFileReader::read_excluded(const std::optional<ChunkSpan>& span) {
    if (!span)
        return;
    for (uint32_t l : read_words(source_, *span, 4)) {
        if (l >= labels_.size())
            corrupt();
        labels_[l]->SetExcluded(true);
    }
}

// Mask data that cannot be read or does not fit the data type is dropped.
void ListFileReader::read_mask(const std::optional<ChunkSpan>& image, const std::optional<ChunkSpan>& vector) {
    const bool is_image = data_type_->TypeEnum() == CDataTypeImage::kTypeEnum;
    const std::optional<ChunkSpan>& span = is_image ? image : vector;
    if (!span)
        return;
    const std::vector<char> bytes = read_payload(source_, *span);
    SharedHandle<ITavData> mask =
        make_stored_data(is_image ? chunk::image : chunk::array_f32, bytes.data(), bytes.size());
    if (mask && mask->VerifyCompatibility(*data_type_))
        mask_ = std::move(mask);
}

// --- reading items ----------------------------------------------------------------

namespace {

// Planes one after another to pixels with their planes side by side.
template <std::size_t E>
void interleave(const uint8_t* planar, uint8_t* out, uint64_t pixels, uint64_t planes) {
    for (uint64_t p = 0; p < planes; ++p) {
        const uint8_t* from = planar + p * pixels * E;
        uint8_t* to = out + p * E;
        for (uint64_t i = 0; i < pixels; ++i)
            std::memcpy(to + i * planes * E, from + i * E, E);
    }
}

} // namespace

void ListFileReader::check_item(const uint8_t* header, const uint8_t* values) const {
    if (!form_.image)
        return;
    auto word = [&](std::size_t i) { return type_words::word_at(header, i); };
    if (std::memcmp(header, kImageMagic, sizeof kImageMagic) != 0 || word(2) != 1 ||
        word(3) != static_cast<uint32_t>(form_.width) || word(4) != static_cast<uint32_t>(form_.height) ||
        word(5) != static_cast<uint32_t>(form_.planes))
        corrupt();
    for (int32_t p = 0; p < form_.planes; ++p)
        if ((word(6 + static_cast<std::size_t>(p)) & CDataTypeImage::kPixelDataTypeMask) != form_.pixel_type)
            corrupt();
    if (form_.check_values && !values_fit(form_, values, form_.item_size / static_cast<uint64_t>(form_.element_bytes)))
        corrupt();
}

void ListFileReader::read_one(std::size_t index, uint8_t* out) const {
    std::vector<uint8_t> payload(items_[index].size);
    source_.read_at(items_[index].position, payload.data(), payload.size());
    const uint8_t* values = payload.data() + form_.header_size;
    check_item(payload.data(), values);
    const uint64_t pixels = static_cast<uint64_t>(form_.width) * static_cast<uint64_t>(form_.height);
    const auto planes = static_cast<uint64_t>(form_.planes);
    switch (form_.element_bytes) {
    case 1: interleave<1>(values, out, pixels, planes); break;
    case 2: interleave<2>(values, out, pixels, planes); break;
    case 4: interleave<4>(values, out, pixels, planes); break;
    default: interleave<8>(values, out, pixels, planes); break;
    }
}

// Neighbouring items are read together. Small ones go through a block that
// stays in the cache, from which their values are copied out: one copy from
// the page cache in large pieces costs less than a scattered read in small
// ones. Large ones are read with one scattered read each batch: the values
// straight into the caller's buffer, the headers and the bytes between
// payloads aside.
void ListFileReader::read_run(std::size_t first, std::size_t count, uint8_t* out) const {
    constexpr uint64_t kSmallItem = 16 * 1024;
    const uint64_t hs = form_.header_size, is = form_.item_size;
    const std::size_t last = first + count;
    if (form_.payload_size <= kSmallItem) {
        // Each thread's own: a read of one item then allocates nothing.
        thread_local std::vector<char> block;
        auto copy_out = [&](std::size_t k, const char* bytes, uint64_t) {
            const auto* payload = reinterpret_cast<const uint8_t*>(bytes);
            check_item(payload, payload + hs);
            std::memcpy(out + (k - first) * is, payload + hs, is);
        };
        visit_runs(source_, items_, first, count, copy_out, trusted_key_, &block);
        return;
    }
    constexpr std::size_t kBatch = IOV_MAX / 3;
    constexpr uint64_t kMaxGap = 64 * 1024;
    thread_local std::vector<iovec> pieces;
    thread_local std::vector<uint8_t> headers, gap;
    for (std::size_t i = first; i < last;) {
        std::size_t end = i + 1;
        uint64_t widest = 0;
        for (; end < last && end - i < kBatch; ++end) {
            const uint64_t previous_end = items_[end - 1].position + items_[end - 1].size;
            if (items_[end].position < previous_end || items_[end].position - previous_end > kMaxGap)
                break;
            widest = std::max(widest, items_[end].position - previous_end);
        }
        headers.resize((end - i) * hs);
        gap.resize(widest);
        pieces.clear();
        for (std::size_t k = i; k < end; ++k) {
            if (k > i) {
                const uint64_t between = items_[k].position - (items_[k - 1].position + items_[k - 1].size);
                if (between != 0)
                    pieces.push_back({gap.data(), between});
            }
            if (hs != 0)
                pieces.push_back({headers.data() + (k - i) * hs, hs});
            pieces.push_back({out + (k - first) * is, is});
        }
        source_.read_scattered(items_[i].position, pieces.data(), static_cast<int>(pieces.size()));
        for (std::size_t k = i; k < end; ++k)
            check_item(headers.data() + (k - i) * hs, out + (k - first) * is);
        i = end;
    }
}

void ListFileReader::read_span(std::size_t first, std::size_t count, uint8_t* out) const {
    if (form_.image && form_.planes > 1) {
        for (std::size_t k = 0; k < count; ++k)
            read_one(first + k, out + k * form_.item_size);
        return;
    }
    read_run(first, count, out);
}

void ListFileReader::read_range(std::size_t first, std::size_t count, void* buffer) const {
    auto* out = static_cast<uint8_t*>(buffer);
    in_two_halves(count, count * form_.item_size, [&](std::size_t from, std::size_t n) {
        read_span(first + from, n, out + from * form_.item_size);
    });
}

void ListFileReader::read_items(const int64_t* indices, std::size_t count, void* buffer) const {
    auto* out = static_cast<uint8_t*>(buffer);
    in_two_halves(count, count * form_.item_size, [&](std::size_t from, std::size_t n) {
        // Runs of neighbouring indices are read together.
        for (std::size_t k = from; k < from + n;) {
            std::size_t j = k + 1;
            while (j < from + n && indices[j] == indices[j - 1] + 1)
                ++j;
            read_span(static_cast<std::size_t>(indices[k]), j - k, out + k * form_.item_size);
            k = j;
        }
    });
}

} // namespace Korvu2::TAV::store
