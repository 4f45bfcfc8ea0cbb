#pragma once
// The xriff writer: a file header, then chunks appended one after another.
// Composites are opened with a placeholder size that close_composite patches.
// The bytes are gathered in large blocks that a thread of the writer passes
// to the system while the caller goes on serialising the next ones.
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

#include "tav/xriff/chunk_types.hpp"
#include "tav/xriff/errors.hpp"
#include "tav/xriff/fixed_string.hpp"
#include "tav/xriff/streamable.hpp"
#include "tav/xriff/xriff_fstream.hpp"

namespace vxIO {

namespace detail {
class output_sink;
// The largest payload an object may write straight into the writer's memory.
inline constexpr uint64_t direct_write_limit = 1u << 20;
} // namespace detail

template <int V>
class basic_xriff_ofstream : public basic_xriff_fstream<V> {
public:
    basic_xriff_ofstream();
    // Closes an open file; a failure is not reported here, call close() for that.
    ~basic_xriff_ofstream() override;

    // Creates or truncates the file and writes the magic and the file name.
    void open(const std::filesystem::path& path, const xriff_fixed_string<16>& file_name);
    bool is_open() const { return sink_ != nullptr; }
    // Flushes and closes the file. Throws std::xriff_io_error "write failed" when
    // any write, the final flush or the close failed; the file is closed anyway.
    // A write that fails in the writing thread is reported by the next write
    // that waits for it, or at the latest here.
    void close();

    // The name used by the next header whose own name is all zero.
    void set_pending_name(const xriff_fixed_string<16>& name);
    const xriff_fixed_string<16>& pending_name() const { return pending_; }

    void open_composite(const xriff_fixed_string<16>& name = {});
    void close_composite();
    std::size_t open_composites() const { return composites_.size(); }

    // prepare, write the chunk, clear; clear runs on every path once prepare was called.
    void write_object(ixriff_streamable& object);
    void write_text(const xriff_fixed_string<16>& name, std::string_view text);
    void write_u32_array(const xriff_fixed_string<16>& name, std::span<const uint32_t> values);
    // One chunk of any type: header, then size payload bytes.
    void write_chunk(const xriff_fixed_string<8>& type, const xriff_fixed_string<16>& name,
                     const void* data, uint64_t size);
    // Raw bytes at the current position.
    void write(const void* data, uint64_t size);
    // Bytes written since open.
    uint64_t tell() const { return pos_; }
    // Calls `observer` each time another `every` bytes have been written.
    void set_progress_observer(uint64_t every, std::function<void()> observer);
    // Has the system start writing the file to the device each time another
    // `every` bytes have been passed to it, so that a final flush of the file
    // waits for less. Done by the writing thread; 0 (the default) never.
    void set_writeback_every(uint64_t every);

private:
    struct composite_record {
        uint64_t size_position;
        uint64_t payload_position;
    };
    xriff_fixed_string<16> take_name(const xriff_fixed_string<16>& given);
    static void write_header(char* header, const xriff_fixed_string<8>& type, const xriff_fixed_string<16>& name,
                             uint64_t size);
    // The work of write_chunk and write without taking the lock again.
    void put_chunk(const xriff_fixed_string<8>& type, const xriff_fixed_string<16>& name, const void* data,
                   uint64_t size);
    void put(const void* data, uint64_t size);
    // Counts bytes placed in the file and tells the progress observer.
    void advance(uint64_t size);
    void require_open() const;

    xriff_fixed_string<16> pending_;
    std::deque<composite_record> composites_;
    uint64_t pos_ = 0;
    uint64_t progress_every_ = 0;
    uint64_t next_progress_ = 0;
    std::function<void()> progress_observer_;
    uint64_t writeback_every_ = 0;
    std::unique_ptr<detail::output_sink> sink_;
};

// Manipulator: `stream << set_chunk_name("TavData")` sets the pending name.
struct set_chunk_name {
    explicit set_chunk_name(const xriff_fixed_string<16>& n) : name(n) {}
    xriff_fixed_string<16> name;
};

template <int V>
basic_xriff_ofstream<V>& operator<<(basic_xriff_ofstream<V>& stream, const set_chunk_name& m) {
    stream.set_pending_name(m.name);
    return stream;
}

extern template class basic_xriff_ofstream<1>;
using xriff_ofstream = basic_xriff_ofstream<1>;

} // namespace vxIO
