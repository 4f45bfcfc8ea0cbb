#include "tav/xriff/xriff_ofstream.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace vxIO {

namespace detail {

namespace {

constexpr std::size_t block_size = 2u << 20;
// The first bytes of a file go into a small block of the heap, so that a
// small file costs neither a large block nor a thread.
constexpr std::size_t starter_size = 64u << 10;
// One block being filled, the others written or waiting: the caller runs at
// most this far ahead of the device.
constexpr std::size_t block_count = 3;
static_assert(direct_write_limit + xriff_header_size <= block_size);

[[noreturn]] void write_failed() { throw std::xriff_io_error("write failed"); }

bool write_all(int fd, const char* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

// The bytes of one open file on their way to the system: the caller fills a
// block, the writing thread writes the filled ones in order and hands them
// back. Without a thread (none could be made) the caller writes each block
// itself. The first bytes go into a small starter block that the caller
// writes; a file that fits there is written by close alone.
class output_sink {
public:
    // The lists of blocks never grow past their room, so the writing thread
    // allocates nothing.
    explicit output_sink(int fd) : fd_(fd), starter_(starter_size, false) {
        queue_.reserve(block_count);
        free_.reserve(block_count);
        current_ = &starter_;
    }
    ~output_sink() {
        {
            // Closed without finish: nothing more is worth writing.
            std::lock_guard lock(mutex_);
            failed_ = true;
        }
        stop();
        if (fd_ >= 0)
            ::close(fd_);
    }
    output_sink(const output_sink&) = delete;
    output_sink& operator=(const output_sink&) = delete;

    void set_writeback_every(uint64_t every) { writeback_every_ = every; }

    void put(const char* bytes, uint64_t size) {
        while (size > 0) {
            if (current_ == nullptr)
                current_ = take_block();
            const std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(size, current_->room()));
            std::memcpy(current_->bytes.get() + current_->used, bytes, n);
            current_->used += n;
            bytes += n;
            size -= n;
            if (current_->room() == 0)
                pass_on();
        }
    }

    // Contiguous room for `size` bytes (at most a block) in the block being
    // filled, or in a fresh one; commit() keeps what was written there.
    char* reserve(uint64_t size) {
        if (current_ != nullptr && current_->room() < size)
            pass_on();
        if (current_ == nullptr)
            current_ = take_block();
        return current_->bytes.get() + current_->used;
    }
    void commit(uint64_t size) {
        current_->used += static_cast<std::size_t>(size);
        if (current_->room() == 0)
            pass_on();
    }

    // Sets 8 bytes at `position`, behind the end of what was put so far:
    // in the block being filled, or after all the writing when they have
    // been passed on already.
    void patch(uint64_t position, uint64_t value) {
        if (current_ != nullptr && position >= current_offset_) {
            std::memcpy(current_->bytes.get() + (position - current_offset_), &value, sizeof value);
            return;
        }
        patches_.emplace_back(position, value);
    }

    // Writes what is left, then the patches, and closes the file; throws
    // "write failed" when any of it failed.
    void finish() {
        bool ok = true;
        try {
            if (current_ != nullptr && current_->used > 0)
                pass_on();
        } catch (const std::xriff_io_error&) {
            ok = false;
        }
        stop();
        ok = ok && !failed_;
        for (const auto& [position, value] : patches_) {
            if (!ok)
                break;
            ssize_t n;
            do
                n = ::pwrite(fd_, &value, sizeof value, static_cast<off_t>(position));
            while (n < 0 && errno == EINTR);
            ok = n == static_cast<ssize_t>(sizeof value);
        }
        const int fd = std::exchange(fd_, -1);
        // Linux releases the descriptor even when close reports EINTR.
        if (::close(fd) != 0 && errno != EINTR)
            ok = false;
        if (!ok)
            write_failed();
    }

private:
    struct block {
        // A large block is aligned and advised for huge pages: fresh, it
        // costs one page fault instead of 512.
        explicit block(std::size_t size = block_size, bool large = true)
            : bytes(static_cast<char*>(large ? std::aligned_alloc(size, size) : std::malloc(size))), capacity(size) {
            if (!bytes)
                throw std::bad_alloc();
            if (large)
                (void)::madvise(bytes.get(), size, MADV_HUGEPAGE);
        }
        std::size_t room() const { return capacity - used; }
        struct release {
            void operator()(char* p) const { std::free(p); }
        };
        std::unique_ptr<char[], release> bytes;
        std::size_t capacity;
        std::size_t used = 0;
    };

    block* take_block() {
        if (alone_ && !blocks_.empty()) {
            // Writing alone: the one block is free again.
            blocks_.front()->used = 0;
            return blocks_.front().get();
        }
        std::unique_lock lock(mutex_);
        if (free_.empty() && blocks_.size() < block_count) {
            blocks_.push_back(std::make_unique<block>());
            return blocks_.back().get();
        }
        changed_.wait(lock, [this] { return !free_.empty(); });
        // A failure of the writing thread shows in the first write that
        // waits for it.
        if (failed_)
            write_failed();
        block* b = free_.back();
        free_.pop_back();
        b->used = 0;
        return b;
    }

    void pass_on() {
        block* const b = std::exchange(current_, nullptr);
        current_offset_ += b->used;
        if (b == &starter_) {
            write_alone(b);
            return;
        }
        if (!thread_.joinable() && !alone_) {
            try {
                thread_ = std::thread([this] { write_blocks(); });
            } catch (...) {
                // No thread (no memory for one): the caller writes.
                alone_ = true;
            }
        }
        if (alone_) {
            write_alone(b);
            return;
        }
        {
            std::lock_guard lock(mutex_);
            queue_.push_back(b);
        }
        changed_.notify_all();
    }

    // By the caller, while no thread writes.
    void write_alone(const block* b) {
        if (!failed_ && !write_all(fd_, b->bytes.get(), b->used))
            failed_ = true;
        if (failed_)
            write_failed();
        written(b->used);
    }

    void write_blocks() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return !queue_.empty() || stopping_; });
            if (queue_.empty())
                return;
            block* b = queue_.front();
            queue_.erase(queue_.begin());
            const bool skip = failed_;
            lock.unlock();
            const bool ok = skip || write_all(fd_, b->bytes.get(), b->used);
            if (ok && !skip)
                written(b->used);
            lock.lock();
            if (!ok)
                failed_ = true;
            free_.push_back(b);
            changed_.notify_all();
        }
    }

    void written(uint64_t size) {
        written_ += size;
        const uint64_t every = writeback_every_.load(std::memory_order_relaxed);
        if (every != 0 && written_ >= next_writeback_) {
            next_writeback_ = written_ + every;
            // Advisory: a failure here shows again in the flush that must follow.
            (void)::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
        }
    }

    void stop() {
        if (!thread_.joinable())
            return;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    int fd_;
    block starter_;
    std::atomic<uint64_t> writeback_every_{0};
    std::vector<std::unique_ptr<block>> blocks_;
    block* current_ = nullptr;
    uint64_t current_offset_ = 0; // of the first byte of current_
    std::vector<std::pair<uint64_t, uint64_t>> patches_;
    bool alone_ = false;

    // Shared with the writing thread.
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<block*> queue_; // the first is written first
    std::vector<block*> free_;
    bool failed_ = false;
    bool stopping_ = false;
    uint64_t written_ = 0; // by the writing thread, or by the caller when alone
    uint64_t next_writeback_ = 0;
    std::thread thread_;
};

} // namespace detail

template <int V>
basic_xriff_ofstream<V>::basic_xriff_ofstream() = default;

template <int V>
basic_xriff_ofstream<V>::~basic_xriff_ofstream() = default;

template <int V>
void basic_xriff_ofstream<V>::open(const std::filesystem::path& path, const xriff_fixed_string<16>& file_name) {
    typename basic_xriff_fstream<V>::lock_t lock(this->write_lock_);
    if (sink_)
        throw std::xriff_error("operation not permitted while file is open");
    int fd;
    do
        fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw std::xriff_io_error("file open error");
    try {
        sink_ = std::make_unique<detail::output_sink>(fd);
    } catch (...) {
        ::close(fd);
        throw;
    }
    sink_->set_writeback_every(writeback_every_);
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
    if (!sink_)
        throw std::xriff_error("file not open");
    composites_.clear();
    const std::unique_ptr<detail::output_sink> sink = std::move(sink_);
    sink->finish();
}

template <int V>
void basic_xriff_ofstream<V>::set_writeback_every(uint64_t every) {
    typename basic_xriff_fstream<V>::lock_t lock(this->write_lock_);
    writeback_every_ = every;
    if (sink_)
        sink_->set_writeback_every(every);
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
    if (!sink_)
        throw std::xriff_error("file not open");
}

template <int V>
void basic_xriff_ofstream<V>::write(const void* data, uint64_t size) {
    typename basic_xriff_fstream<V>::lock_t lock(this->write_lock_);
    require_open();
    put(data, size);
}

template <int V>
void basic_xriff_ofstream<V>::put(const void* data, uint64_t size) {
    sink_->put(static_cast<const char*>(data), size);
    advance(size);
}

template <int V>
void basic_xriff_ofstream<V>::advance(uint64_t size) {
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
void basic_xriff_ofstream<V>::write_header(char* header, const xriff_fixed_string<8>& type,
                                           const xriff_fixed_string<16>& name, uint64_t size) {
    std::memcpy(header, type.data(), 8);
    std::memcpy(header + 8, name.data(), 16);
    std::memcpy(header + 24, &size, 8);
}

template <int V>
void basic_xriff_ofstream<V>::write_chunk(const xriff_fixed_string<8>& type, const xriff_fixed_string<16>& name,
                                          const void* data, uint64_t size) {
    typename basic_xriff_fstream<V>::lock_t lock(this->write_lock_);
    require_open();
    put_chunk(type, take_name(name), data, size);
}

template <int V>
void basic_xriff_ofstream<V>::put_chunk(const xriff_fixed_string<8>& type, const xriff_fixed_string<16>& name,
                                        const void* data, uint64_t size) {
    if (size != 0 && data == nullptr)
        throw std::xriff_error("chunk data missing");
    char header[xriff_header_size];
    write_header(header, type, name, size);
    put(header, sizeof header);
    put(data, size);
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
    // An object that writes its payload where it is to go is spared the
    // copy: header and payload are placed together, and only kept when the
    // payload was written.
    const uint64_t direct = object.direct_payload_size();
    if (direct != 0 && direct <= detail::direct_write_limit) {
        char* room = sink_->reserve(xriff_header_size + direct);
        object.write_payload(room + xriff_header_size, direct);
        write_header(room, object.chunk_type(), name, direct);
        sink_->commit(xriff_header_size + direct);
        advance(xriff_header_size + direct);
        return;
    }
    try {
        object.prepare();
        put_chunk(object.chunk_type(), name, object.chunk_data(), object.chunk_size());
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
    put(xriff_type::composite.data(), 8);
    put(resolved.data(), 16);
    const uint64_t size_position = pos_;
    composites_.push_back({size_position, size_position + 8});
    const uint64_t placeholder = 0;
    put(&placeholder, 8);
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
    sink_->patch(record.size_position, size);
}

template class basic_xriff_ofstream<1>;

} // namespace vxIO
