#include "tav/xriff/xriff_ifstream.hpp"

#include <cstring>

namespace vxIO {

namespace {
// Forward steps up to this size read through the stream buffer instead of seeking.
constexpr uint64_t skip_by_reading_limit = 16 * 1024;
} // namespace

template <int V>
basic_xriff_ifstream<V>::basic_xriff_ifstream() {
    handlers_[xriff_type::null_chunk] = [](const xriff_fixed_string<8>&, const xriff_fixed_string<16>&, uint64_t,
                                           uint64_t) {};
}

template <int V>
basic_xriff_ifstream<V>::~basic_xriff_ifstream() {
    if (this->file_.is_open())
        this->file_.close();
}

template <int V>
void basic_xriff_ifstream<V>::open(const std::filesystem::path& path) {
    typename basic_xriff_fstream<V>::lock_t lock(this->read_lock_);
    close();
    this->file_.open(path, std::ios::in | std::ios::binary);
    if (!this->file_.is_open())
        throw std::xriff_io_error("file open error");
    this->file_.seekg(0, std::ios::end);
    const std::streamoff end = this->file_.tellg();
    this->file_.seekg(0, std::ios::beg);
    if (end < 0 || !this->file_) {
        close();
        throw std::xriff_io_error("file open error");
    }
    size_ = static_cast<uint64_t>(end);
    in_ = &this->file_;
}

template <int V>
void basic_xriff_ifstream<V>::open_memory(std::string bytes) {
    typename basic_xriff_fstream<V>::lock_t lock(this->read_lock_);
    close();
    size_ = bytes.size();
    memory_ = std::make_unique<std::istringstream>(std::move(bytes), std::ios::in | std::ios::binary);
    in_ = memory_.get();
}

template <int V>
void basic_xriff_ifstream<V>::close() {
    typename basic_xriff_fstream<V>::lock_t lock(this->read_lock_);
    if (this->file_.is_open())
        this->file_.close();
    this->file_.clear();
    memory_.reset();
    in_ = nullptr;
    size_ = 0;
    pos_ = 0;
}

template <int V>
void basic_xriff_ifstream<V>::require_open() const {
    if (in_ == nullptr)
        throw std::xriff_io_error("file not open");
}

template <int V>
void basic_xriff_ifstream<V>::clear_state() {
    typename basic_xriff_fstream<V>::lock_t lock(this->read_lock_);
    if (in_ != nullptr)
        in_->clear();
}

template <int V>
void basic_xriff_ifstream<V>::read(void* buffer, uint64_t n) {
    typename basic_xriff_fstream<V>::lock_t lock(this->read_lock_);
    require_open();
    if (n == 0)
        return;
    // Checked against the length first, so a hostile size never reaches the stream.
    if (pos_ >= size_ || n > size_ - pos_)
        throw std::xriff_eof_error();
    in_->read(static_cast<char*>(buffer), static_cast<std::streamsize>(n));
    const auto got = static_cast<uint64_t>(in_->gcount());
    pos_ += got;
    if (got < n) {
        if (in_->eof())
            throw std::xriff_eof_error();
        throw std::xriff_io_error("read failed");
    }
}

template <int V>
void basic_xriff_ifstream<V>::seek(uint64_t position) {
    typename basic_xriff_fstream<V>::lock_t lock(this->read_lock_);
    require_open();
    // A short step forward reads through the stream buffer: a real seek
    // discards the buffer and costs system calls, which adds up when the
    // chunks of a file are walked or read one after another.
    if (position >= pos_ && position <= size_ && in_->good()) {
        const uint64_t ahead = position - pos_;
        if (ahead == 0)
            return;
        const std::streamsize available = in_->rdbuf()->in_avail();
        if (ahead <= skip_by_reading_limit && available > 0 && ahead <= static_cast<uint64_t>(available)) {
            in_->ignore(static_cast<std::streamsize>(ahead));
            const auto got = static_cast<uint64_t>(in_->gcount());
            pos_ += got;
            if (got == ahead)
                return;
        }
    }
    in_->clear();
    // Past the end nothing can be read; the next read or parse_next says so.
    if (position <= size_) {
        in_->seekg(static_cast<std::streamoff>(position));
        if (!*in_)
            throw std::xriff_io_error("read failed");
    }
    pos_ = position;
}

template <int V>
void basic_xriff_ifstream<V>::read_at(uint64_t position, void* buffer, uint64_t n) {
    typename basic_xriff_fstream<V>::lock_t lock(this->read_lock_);
    seek(position);
    read(buffer, n);
}

template <int V>
void basic_xriff_ifstream<V>::read_header() {
    typename basic_xriff_fstream<V>::lock_t lock(this->read_lock_);
    if (in_ == nullptr)
        throw std::xriff_io_error("file not found");
    if (pos_ >= size_ || size_ - pos_ < xriff_magic.size())
        throw std::xriff_io_error("file is too short to be a valid xriff file");
    char bytes[16];
    read(bytes, sizeof bytes);
    if (xriff_fixed_string<16>::from_bytes(bytes) != xriff_magic)
        throw std::xriff_io_error("xriff file format not compatible with this reader");
    read(bytes, sizeof bytes);
    this->file_name_ = xriff_fixed_string<16>::from_bytes(bytes);
}

template <int V>
bool basic_xriff_ifstream<V>::parse_next() {
    typename basic_xriff_fstream<V>::lock_t lock(this->read_lock_);
    require_open();
    while (pos_ < size_ && in_->peek() == 0) {
        in_->get();
        ++pos_;
    }
    if (in_->fail() || in_->bad())
        throw std::xriff_io_error("read failed");
    if (pos_ >= size_ || in_->eof())
        return false;

    char header[xriff_header_size];
    read(header, sizeof header);
    const auto type = xriff_fixed_string<8>::from_bytes(header);
    const auto name = xriff_fixed_string<16>::from_bytes(header + 8);
    uint64_t size;
    std::memcpy(&size, header + 24, 8);
    const uint64_t position = pos_;
    // The payload must lie inside the file; this also keeps position + size
    // from overflowing.
    if (size > size_ - position)
        throw std::xriff_eof_error();

    auto it = handlers_.find(type);
    if (it != handlers_.end()) {
        if (it->second)
            it->second(type, name, size, position);
    } else {
        default_handler_(type, name, size, position);
    }

    if (type != xriff_type::composite)
        seek(position + size);
    return true;
}

template <int V>
void basic_xriff_ifstream<V>::set_handler(const xriff_fixed_string<8>& type, handler_t handler) {
    typename basic_xriff_fstream<V>::lock_t lock(this->read_lock_);
    handlers_[type] = std::move(handler);
}

template <int V>
void basic_xriff_ifstream<V>::remove_handler(const xriff_fixed_string<8>& type) {
    typename basic_xriff_fstream<V>::lock_t lock(this->read_lock_);
    handlers_.erase(type);
}

template <int V>
void basic_xriff_ifstream<V>::set_default_handler(handler_t handler) {
    typename basic_xriff_fstream<V>::lock_t lock(this->read_lock_);
    default_handler_ = std::move(handler);
}

template class basic_xriff_ifstream<1>;

} // namespace vxIO
