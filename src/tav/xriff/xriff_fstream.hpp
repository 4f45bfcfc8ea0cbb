#pragma once
// Common base of the xriff writer and reader: the file name of the header,
// the file stream, and one recursive lock per direction.
#include <cstddef>
#include <fstream>
#include <memory>

#include <boost/thread/lock_guard.hpp>
#include <boost/thread/recursive_mutex.hpp>

#include "tav/xriff/fixed_string.hpp"

namespace vxIO {

template <int V>
class basic_xriff_fstream {
public:
    basic_xriff_fstream();
    virtual ~basic_xriff_fstream();
    basic_xriff_fstream(const basic_xriff_fstream&) = delete;
    basic_xriff_fstream& operator=(const basic_xriff_fstream&) = delete;

    // The 16-byte name of the file header (written by open, or read by read_header).
    const xriff_fixed_string<16>& file_name() const { return file_name_; }

protected:
    using lock_t = boost::lock_guard<boost::recursive_mutex>;

private:
    // A larger buffer than the default, so that many small chunks cost few
    // system calls; declared first so that it outlives the stream.
    std::unique_ptr<char[]> buffer_;

protected:
    xriff_fixed_string<16> file_name_;
    std::fstream file_;
    boost::recursive_mutex read_lock_;
    boost::recursive_mutex write_lock_;
};

extern template class basic_xriff_fstream<1>;
using xriff_fstream = basic_xriff_fstream<1>;

} // namespace vxIO
