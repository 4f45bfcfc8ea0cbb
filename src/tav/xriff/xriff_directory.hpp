#pragma once
// An index of every chunk of an xriff file, built in one pass, so that chunks
// can be found by type and name and their payloads read in any order.
#include <cstdint>
#include <deque>
#include <filesystem>
#include <iterator>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "tav/xriff/chunk_types.hpp"
#include "tav/xriff/errors.hpp"
#include "tav/xriff/fixed_string.hpp"
#include "tav/xriff/xriff_ifstream.hpp"

namespace vxIO {

template <int V>
class basic_xriff_directory {
public:
    // One chunk of the file.
    struct chunkdata_t {
        chunkdata_t(uint64_t level_, const xriff_fixed_string<8>& type_, const xriff_fixed_string<16>& name_,
                    uint64_t size_, uint64_t position_)
            : level(level_), type(type_), name(name_), size(size_), position(position_) {}
        virtual ~chunkdata_t() = default;

        uint64_t level;  // 0 at the top of the file, 1 inside a top-level composite, ...
        xriff_fixed_string<8> type;
        xriff_fixed_string<16> name;
        uint64_t size;      // payload bytes
        uint64_t position;  // offset of the first payload byte
    };
    using entry_list = std::list<chunkdata_t>;
    using const_iterator = typename entry_list::const_iterator;
    // A run of entries, usable in a range-for.
    struct entry_range {
        const_iterator first, last;
        const_iterator begin() const { return first; }
        const_iterator end() const { return last; }
        bool empty() const { return first == last; }
    };

    basic_xriff_directory();
    ~basic_xriff_directory();
    basic_xriff_directory(const basic_xriff_directory&) = delete;
    basic_xriff_directory& operator=(const basic_xriff_directory&) = delete;

    void open(const std::filesystem::path& path) { reader_.open(path); }
    void open_memory(std::string bytes) { reader_.open_memory(std::move(bytes)); }
    void read_header() { reader_.read_header(); }
    void close() { reader_.close(); }

    // Indexes the whole file. Every entry's payload lies inside the file and
    // inside every composite that encloses it; a file that breaks this is
    // refused with std::xriff_eof_error or std::xriff_io_error.
    void build();

    const entry_list& entries() const { return entries_; }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

    // The first entry in file order with this type and name (all bytes), or end().
    const_iterator find(const xriff_fixed_string<8>& type, const xriff_fixed_string<16>& name) const;
    // The entries after `composite` whose level is greater than its level.
    entry_range children(const_iterator composite) const;

    // Seeks to the position and reads n bytes.
    void read_at(uint64_t position, void* buffer, uint64_t n) { reader_.read_at(position, buffer, n); }
    // The same, refusing to read past the end of the entry's payload.
    void read_at(const chunkdata_t& entry, void* buffer, uint64_t n);
    // The whole payload of an entry.
    std::vector<char> read_payload(const chunkdata_t& entry);

    basic_xriff_ifstream<V>& reader() { return reader_; }

private:
    // The reader's default handler during build; records each chunk.
    struct aux_parse_observer_t {
        basic_xriff_directory* directory;
        void operator()(const xriff_fixed_string<8>& type, const xriff_fixed_string<16>& name, uint64_t size,
                        uint64_t position) const {
            directory->record(type, name, size, position);
        }
    };
    void record(const xriff_fixed_string<8>& type, const xriff_fixed_string<16>& name, uint64_t size,
                uint64_t position);

    basic_xriff_ifstream<V> reader_;
    entry_list entries_;
    std::shared_ptr<aux_parse_observer_t> observer_;
    // End offsets of the composites that enclose the chunk being parsed,
    // innermost last; its length is the current level. An explicit stack, so
    // that nesting depth costs no recursion.
    std::deque<uint64_t> composite_ends_;
};

extern template class basic_xriff_directory<1>;
using xriff_directory = basic_xriff_directory<1>;

} // namespace vxIO
