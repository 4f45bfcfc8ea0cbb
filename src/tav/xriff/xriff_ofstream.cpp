#include "tav/xriff/xriff_ofstream.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

namespace vxIO {

namespace {
constexpr uint64_t small_write_limit = 32 * 1024;
constexpr uint64_t small_write_piece = 1000;
} // namespace

template <int V>
basic_xriff_ofstream<V>::~basic_xriff_ofstream() {
    if (this->file_.is_open())
        this->file_.close();
}

template <int V>
void basic_xriff_ofstream<V>::open(const std::filesystem::path& path, const xriff_fixed_string<16>& file_name) {
    typename basic_xriff_fstream<V>::lock_t lock(this->write_lock_);
    if (this->file_.is_open())
        throw std::xriff_error("operation not permitted while file is open");
    this->file_.clear();
    this->file_.open(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!this->file_.is_open())
        throw std::xriff_io_error("file open error");
    pending_ = {};
    composites_.clear();
    pos_ = 0;
    this->file_name_ = file_name;
    write(xriff_magic.data(), xriff_magic.size());
    write(file_name.data(), file_name.size());
}

template <int V>
void basic_xriff_ofstream<V>::close() {
    typename basic_xriff_fstream<V>::lock_t lock(this->write_lock_);
    if (!this->file_.is_open())
        throw std::xriff_error("file not open");
    composites_.clear();
    // close() flushes; a failed flush or close, or an earlier failed write,
    // leaves the fail state set.
    this->file_.close();
    if (this->file_.fail())
        throw std::xriff_io_error("write failed");
}

template <int V>
void basic_xriff_ofstream<V>::set_pending_name(const xriff_fixed_string<16>& name) {
    typename basic_xriff_fstream<V>::lock_t lock(this->write_lock_);
    pending_ = name;
}

template <int V>
xriff_fixed_string<16> basic_xriff_ofstream<V>::take_name(const xriff_fixed_string<16>& given) {
    // A pending name applies to exactly one header, used or not.
    xriff_fixed_string<16> name = given.empty() ? pending_ : given;
    pending_ = {};
    return name;
}

template <int V>
void basic_xriff_ofstream<V>::require_open() const {
    if (!this->file_.is_open())
        throw std::xriff_error("file not open");
}

template <int V>
void basic_xriff_ofstream<V>::write(const void* data, uint64_t size) {
    typename basic_xriff_fstream<V>::lock_t lock(this->write_lock_);
    require_open();
    if (size > static_cast<uint64_t>(std::numeric_limits<std::streamsize>::max()))
        throw std::xriff_io_error("write failed");
    // The file buffer passes any write of 1 KiB or more straight to the
    // system; payloads below the buffer's size go in smaller pieces, so that
    // many chunks of a few KiB cost one system call per buffer, not one each.
    const char* bytes = static_cast<const char*>(data);
    const uint64_t piece = size < small_write_limit ? small_write_piece : size;
    for (uint64_t done = 0; done < size;) {
        const uint64_t n = std::min(piece, size - done);
        this->file_.write(bytes + done, static_cast<std::streamsize>(n));
        if (!this->file_)
            throw std::xriff_io_error("write failed");
        done += n;
    }
    pos_ += size;
    if (progress_observer_ && pos_ >= next_progress_) {
        next_progress_ = pos_ + progress_every_;
        progress_observer_();
    }
}

template <int V>
void basic_xriff_ofstream<V>::set_progress_observer(uint64_t every, std::function<void()> observer) {
    typename basic_xriff_fstream<V>::lock_t lock(this->write_lock_);
    progress_every_ = every;
    next_progress_ = pos_ + every;
    progress_observer_ = std::move(observer);
}

template <int V>
void basic_xriff_ofstream<V>::write_header(const xriff_fixed_string<8>& type, const xriff_fixed_string<16>& name,
                                           uint64_t size) {
    char header[xriff_header_size];
    std::memcpy(header, type.data(), 8);
    std::memcpy(header + 8, name.data(), 16);
    std::memcpy(header + 24, &size, 8);
    write(header, sizeof header);
}

template <int V>
void basic_xriff_ofstream<V>::write_chunk(const xriff_fixed_string<8>& type, const xriff_fixed_string<16>& name,
                                          const void* data, uint64_t size) {
    typename basic_xriff_fstream<V>::lock_t lock(this->write_lock_);
    require_open();
    if (size != 0 && data == nullptr)
        throw std::xriff_error("chunk data missing");
    write_header(type, take_name(name), size);
    write(data, size);
}

template <int V>
void basic_xriff_ofstream<V>::write_text(const xriff_fixed_string<16>& name, std::string_view text) {
    write_chunk(xriff_type::text_utf8, name, text.data(), text.size());
}

template <int V>
void basic_xriff_ofstream<V>::write_u32_array(const xriff_fixed_string<16>& name, std::span<const uint32_t> values) {
    write_chunk(xriff_type::array_u32, name, values.data(), values.size_bytes());
}

template <int V>
void basic_xriff_ofstream<V>::write_object(ixriff_streamable& object) {
    typename basic_xriff_fstream<V>::lock_t lock(this->write_lock_);
    require_open();
    const xriff_fixed_string<16> name = take_name(object.chunk_name());
    try {
        object.prepare();
        write_chunk(object.chunk_type(), name, object.chunk_data(), object.chunk_size());
    } catch (...) {
        try {
            object.clear();
        } catch (...) {
            // The first error is the one worth reporting.
        }
        throw;
    }
    object.clear();
}

template <int V>
void basic_xriff_ofstream<V>::open_composite(const xriff_fixed_string<16>& name) {
    typename basic_xriff_fstream<V>::lock_t lock(this->write_lock_);
    require_open();
    const xriff_fixed_string<16> resolved = take_name(name);
    write(xriff_type::composite.data(), 8);
    write(resolved.data(), 16);
    const uint64_t size_position = pos_;
    composites_.push_back({size_position, size_position + 8});
    const uint64_t placeholder = 0;
    write(&placeholder, 8);
}

template <int V>
void basic_xriff_ofstream<V>::close_composite() {
    typename basic_xriff_fstream<V>::lock_t lock(this->write_lock_);
    if (composites_.empty())
        throw std::xriff_error("no open composites available");
    require_open();
    const composite_record record = composites_.back();
    composites_.pop_back();
    const uint64_t end = pos_;
    const uint64_t size = end - record.payload_position;
    // The only seeks of the writer: back to the size field and forth again.
    this->file_.seekp(static_cast<std::streamoff>(record.size_position));
    this->file_.write(reinterpret_cast<const char*>(&size), 8);
    this->file_.seekp(static_cast<std::streamoff>(end));
    if (!this->file_)
        throw std::xriff_io_error("write failed");
}

template class basic_xriff_ofstream<1>;

} // namespace vxIO
