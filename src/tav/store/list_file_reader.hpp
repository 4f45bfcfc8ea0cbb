#pragma once
// Reading a list file without making a list. Opening walks the file's chunk
// headers once and runs every check the load makes on the file's structure
// (container, types, times, labels, links, excluded flags, mask, comment);
// the data items are only located. An item's payload is read when it is
// asked for, with positional reads, and checked then as the load checks it.
//
// An open reader keeps per item only where its payload lies and which label
// it has (24 bytes), plus the types, labels, mask and comment; it never maps
// the file, so another program truncating it makes a read fail, never crash.
// Reads do not change the reader: several threads may read at once.
#include <sys/uio.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include <tav/tav.h>

#include "tav/frame/interfaces.hpp"
#include "tav/xriff/fixed_string.hpp"
#include "ztbase/packed_blocks.hpp"

namespace Korvu2::TAV::store {

// Where a chunk's payload lies in the file.
struct ChunkSpan {
    uint64_t position = 0;
    uint64_t size = 0;
};

// Positional reads of a file the source owns, or of bytes held in memory.
// Every read is of exact length: a short one raises std::xriff_eof_error.
class ByteSource {
public:
    ByteSource() = default;
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    // Raises std::xriff_io_error when the file cannot be opened.
    void open_file(const std::string& fs_path);
    void open_memory(std::string bytes);

    // The length of the input when it was opened.
    uint64_t size() const { return size_; }
    void read_at(uint64_t position, void* buffer, uint64_t n) const;
    // Reads the pieces back to back from position on.
    void read_scattered(uint64_t position, const iovec* pieces, int count) const;

private:
    int fd_ = -1;
    std::string bytes_;
    uint64_t size_ = 0;
};

// Memory for an index of many entries: from 1 MiB on, whole blocks of huge
// pages, so that indexing a large file takes a page fault per 2 MiB instead
// of one per 4 KiB; below that, ordinary memory (always, where the build
// checks addresses: it sees overruns only in memory it hands out itself).
template <class T>
struct IndexAllocator {
    using value_type = T;
#if defined(ZT_ADDRESS_CHECKS)
    static constexpr std::size_t kMapped = SIZE_MAX;
#else
    static constexpr std::size_t kMapped = std::size_t{1} << 20;
#endif

    IndexAllocator() = default;
    template <class U>
    IndexAllocator(const IndexAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        if (n > SIZE_MAX / sizeof(T))
            throw std::bad_alloc();
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kMapped)
            return static_cast<T*>(::operator new(bytes));
        uint8_t* block = ZTK::detail::map_huge_block(mapped_size(bytes));
        if (block == nullptr)
            throw std::bad_alloc();
        return reinterpret_cast<T*>(block);
    }
    void deallocate(T* p, std::size_t n) noexcept {
        const std::size_t bytes = n * sizeof(T);
        if (bytes < kMapped)
            ::operator delete(p);
        else
            ::munmap(p, mapped_size(bytes));
    }
    template <class U>
    bool operator==(const IndexAllocator<U>&) const noexcept {
        return true;
    }

private:
    static std::size_t mapped_size(std::size_t bytes) {
        const std::size_t block = ZTK::detail::kPackedBlockBytes;
        return (bytes + block - 1) / block * block;
    }
};

// How one data item lies in its payload and in a read buffer, derived from
// the list's data type.
struct ItemForm {
    bool image = false;
    // No payload can hold an item of this type (an image type whose pixel
    // type the image library does not know, or of an image too large).
    bool impossible = false;
    uint64_t payload_size = 0; // exact size of every sound item payload
    uint64_t header_size = 0;  // bytes before the values (images: the blob's header)
    uint64_t item_size = 0;    // bytes of one item in a read buffer
    // Images.
    int32_t width = 0, height = 0, planes = 0;
    uint32_t pixel_type = 0;
    int element_bytes = 0;
    int bits = 0;
    bool is_signed = false;
    // Integers narrower than their container must be checked value by value.
    bool check_values = false;
};

class ListFileReader {
public:
    static constexpr uint32_t kNoLabel = UINT32_MAX;
    using Words = std::vector<uint32_t, IndexAllocator<uint32_t>>;

    ListFileReader() = default;
    ListFileReader(const ListFileReader&) = delete;
    ListFileReader& operator=(const ListFileReader&) = delete;

    // Opens and indexes the file. 0, or the load's code: ErrFile for a file
    // that cannot be read or is not a sound list file, ErrInvalidOperation
    // for missing type chunks or unknown type enums. After a failure the
    // reader must not be used.
    //
    // With `trusting` set, a data composite whose first child is an item and
    // whose size is a whole number of chunks of that item's size is taken to
    // hold only such items, one after another, without reading their
    // headers: the load then reads each payload window once. Each header is
    // checked when visit_payloads reads it (a mismatch raises
    // std::xriff_io_error); a caller that sees any failure of an index taken
    // on trust must call reindex() for the verdict. Reads of items
    // (read_range, read_items) need an index not taken on trust.
    int32_t open(const std::string& fs_path, bool trusting = false);
    // The same from the bytes of a file.
    int32_t open_bytes(std::string bytes, bool trusting = false);
    // Whether open took the items on trust.
    bool trusted() const { return trusted_key_ != 0; }
    // Indexes the same input again, reading every chunk header; 0 or the
    // load's code, as open.
    int32_t reindex();
    // Makes an index taken on trust exact, given open's code: the items'
    // headers are checked (on two threads for a large file), and an index
    // that failed or does not check out is made again header by header. 0 or
    // the load's code, as open without trust would give.
    int32_t settle(int32_t code);

    const SharedHandle<Objects::ITavLabelType>& label_type() const { return label_type_; }
    const SharedHandle<Objects::ITavDataType>& data_type() const { return data_type_; }
    const ItemForm& form() const { return form_; }

    std::size_t item_count() const { return items_.size(); }
    ChunkSpan item_payload(std::size_t index) const { return {items_[index].position, items_[index].size}; }
    // The label index of an item, or kNoLabel when no pair links it.
    uint32_t item_label(std::size_t index) const { return items_[index].label; }

    // In file order; the excluded flags are set.
    const std::vector<SharedHandle<Objects::ITavLabel>>& labels() const { return labels_; }
    // The stored pairs (label, data), kept only when some label's data
    // references are not in data order; empty otherwise.
    const Words& out_of_order_pairs() const { return pairs_; }

    // Empty when the file has none or it does not fit the data type.
    const SharedHandle<Objects::ITavData>& mask() const { return mask_; }
    // The comment's payload as stored (a list keeps it up to its first NUL).
    const std::string& comment() const { return comment_; }
    const std::optional<SYSTEMTIME>& creation_time() const { return creation_; }
    const std::optional<SYSTEMTIME>& modification_time() const { return modification_; }

    // Hands the labels over to a list being built; the reader keeps nothing.
    std::vector<SharedHandle<Objects::ITavLabel>> take_labels() { return std::move(labels_); }

    // Items first .. first + count - 1, or the count items named by indices
    // (any order, repeats allowed), into buffer (count * form().item_size
    // bytes), in the layout of the C interface; a large read on two threads. Indices must be below
    // item_count(). A damaged payload raises std::xriff_io_error "Corrupt TAV
    // file"; a file that has become shorter raises std::xriff_eof_error.
    void read_range(std::size_t first, std::size_t count, void* buffer) const;
    void read_items(const int64_t* indices, std::size_t count, void* buffer) const;

    // Calls visit(index, bytes, size) with the payload of each item first ..
    // first + count - 1 in turn, reading neighbouring payloads together.
    template <class Visit>
    void visit_payloads(std::size_t first, std::size_t count, Visit visit) const {
        visit_runs(source_, items_, first, count, visit, trusted_key_);
    }

private:
    struct Item {
        uint64_t position;
        uint64_t size;
        uint32_t label;
        uint32_t kind;
    };
    static_assert(sizeof(Item) <= 32, "an open reader holds at most 32 bytes per item");
    using Items = std::vector<Item, IndexAllocator<Item>>;

    // Payloads that follow each other in the file are read together, up to
    // 256 KiB at a time (a larger payload alone): small enough that the
    // payloads are still in the processor's cache when they are visited.
    // With a header key (items taken on trust) each payload's chunk header
    // is read with it and must be that type, no name and the payload's size.
    // The runs are read into scratch when given (kept for the next call),
    // else into a block of the call's own.
    template <class Visit>
    static void visit_runs(const ByteSource& source, const Items& items, std::size_t first,
                           std::size_t count, Visit visit, uint64_t header_key = 0,
                           std::vector<char>* scratch = nullptr);
    static void check_header(const char* header, uint64_t key, uint64_t size);

    class Walk;
    int32_t index(bool trusting);
    void read_links(const std::optional<ChunkSpan>& span);
    void read_excluded(const std::optional<ChunkSpan>& span);
    void read_mask(const std::optional<ChunkSpan>& image, const std::optional<ChunkSpan>& vector);
    void read_run(std::size_t first, std::size_t count, uint8_t* out) const;
    void read_span(std::size_t first, std::size_t count, uint8_t* out) const;
    void read_one(std::size_t index, uint8_t* out) const;
    bool headers_check_out() const;
    void check_item(const uint8_t* header, const uint8_t* values) const;

    ByteSource source_;
    SharedHandle<Objects::ITavLabelType> label_type_;
    SharedHandle<Objects::ITavDataType> data_type_;
    ItemForm form_;
    Items items_;
    std::vector<SharedHandle<Objects::ITavLabel>> labels_;
    Words pairs_;
    SharedHandle<Objects::ITavData> mask_;
    std::string comment_;
    std::optional<SYSTEMTIME> creation_;
    std::optional<SYSTEMTIME> modification_;
    // The items' chunk type when they were taken on trust; 0 otherwise.
    uint64_t trusted_key_ = 0;
};

template <class Visit>
void ListFileReader::visit_runs(const ByteSource& source, const Items& items, std::size_t first,
                                std::size_t count, Visit visit, uint64_t header_key,
                                std::vector<char>* scratch) {
    constexpr uint64_t kBlock = 1u << 18;
    const uint64_t header = header_key != 0 ? 32 : 0;
    std::vector<char> own;
    std::vector<char>& block = scratch != nullptr ? *scratch : own;
    const std::size_t last = first + count;
    while (first < last) {
        const uint64_t start = items[first].position - header;
        std::size_t end = first + 1;
        while (end < last && items[end].position >= items[end - 1].position + items[end - 1].size &&
               items[end].position + items[end].size - start <= kBlock)
            ++end;
        const uint64_t length = items[end - 1].position + items[end - 1].size - start;
        if (block.size() < length)
            block.resize(scratch != nullptr ? std::max(length, kBlock) : length);
        source.read_at(start, block.data(), length);
        for (std::size_t i = first; i < end; ++i) {
            const char* payload = block.data() + (items[i].position - start);
            if (header_key != 0)
                check_header(payload - header, header_key, items[i].size);
            visit(i, payload, items[i].size);
        }
        first = end;
    }
}

// A data entry from a stored payload of the given chunk type, made as the
// load makes it; empty when the payload is not one.
SharedHandle<Objects::ITavData> make_stored_data(const vxIO::xriff_fixed_string<8>& type, const void* bytes,
                                                 uint64_t size);

} // namespace Korvu2::TAV::store
