#include "tree/binary_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Reads up to 'count' bytes, retrying interrupted calls; returns the bytes read (fewer
// only at the end of the file) or -1 on an error.
ssize_t ReadFully(int fd, uint8_t* destination, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t got = ::read(fd, destination + done, count - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        int        extra;
        uint32_t   code;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1, code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2, code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3, code = lead & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = code << 6 | (next & 0x3F);
        }
        const uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
        if (code < least[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

FileReader::FileReader(const std::string& name) : name_(name) {
    if (!IsValidUtf8(name))
        throw BadConversion();
    fd_ = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || S_ISDIR(info.st_mode))) {
        ::close(fd_);
        fd_ = -1;
    }
    if (fd_ < 0)
        throw IOException("can't open file (" + name + ")");
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    buffer_ = std::make_unique<uint8_t[]>(kBufferBytes);
}

FileReader::~FileReader() {
    if (fd_ >= 0)
        ::close(fd_);
}

void FileReader::ReadFailed() const { throw IOException("can't read from file (" + name_ + ")"); }

bool FileReader::Refill() {
    const ssize_t got = ReadFully(fd_, buffer_.get(), kBufferBytes);
    if (got <= 0)
        return false;
    begin_ = 0;
    end_   = static_cast<size_t>(got);
    return true;
}

void FileReader::Read(void* destination, size_t count) {
    auto* out = static_cast<uint8_t*>(destination);
    while (count > 0) {
        if (begin_ == end_) {
            if (count >= kBufferBytes) {
                const ssize_t got = ReadFully(fd_, out, count);
                if (got != static_cast<ssize_t>(count))
                    ReadFailed();
                return;
            }
            if (!Refill())
                ReadFailed();
        }
        const size_t take = std::min(count, end_ - begin_);
        std::memcpy(out, buffer_.get() + begin_, take);
        begin_ += take;
        out += take;
        count -= take;
    }
}

std::vector<uint8_t> FileReader::ReadLast(size_t bytes) {
    if (::lseek(fd_, -static_cast<off_t>(bytes), SEEK_END) < 0)
        ReadFailed();
    begin_ = end_ = 0;
    std::vector<uint8_t> tail(bytes);
    if (ReadFully(fd_, tail.data(), bytes) != static_cast<ssize_t>(bytes))
        ReadFailed();
    return tail;
}

void MemoryReader::Read(void* destination, size_t count) {
    const size_t take = std::min(count, Remaining());
    std::memcpy(destination, bytes_.data() + position_, take);
    std::memset(static_cast<uint8_t*>(destination) + take, 0, count - take);
    position_ += take;
}
