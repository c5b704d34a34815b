#include "tree/binary_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tree/binary_reader.h"

FileWriter::FileWriter(const std::string& name) : name_(name), part_name_(name + ".part") {
    if (!IsValidUtf8(name))
        throw BadConversion();
    fd_ = ::open(part_name_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0)
        throw IOException("can't open file (" + name + ")");
    buffer_ = std::make_unique<uint8_t[]>(kBufferBytes);
}

FileWriter::~FileWriter() {
    if (fd_ < 0)
        return;
    ::close(fd_);
    ::unlink(part_name_.c_str());
}

void FileWriter::WriteFailed() const { throw IOException("can't write to file (" + name_ + ")"); }

void FileWriter::Drain() {
    size_t done = 0;
    while (done < used_) {
        const ssize_t put = ::write(fd_, buffer_.get() + done, used_ - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            WriteFailed();
        done += static_cast<size_t>(put);
    }
    used_ = 0;
}

void FileWriter::Write(const void* data, size_t count) {
    const auto* in = static_cast<const uint8_t*>(data);
    written_ += count;
    while (count > 0) {
        const size_t take = std::min(count, kBufferBytes - used_);
        std::memcpy(buffer_.get() + used_, in, take);
        used_ += take;
        in += take;
        count -= take;
        if (used_ == kBufferBytes)
            Drain();
    }
}

void FileWriter::Commit() {
    Drain();
    const int fd = fd_;
    fd_          = -1;
    if (::close(fd) != 0 || std::rename(part_name_.c_str(), name_.c_str()) != 0) {
        ::unlink(part_name_.c_str());
        WriteFailed();
    }
}
