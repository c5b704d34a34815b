#include "net/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

MappedFile::~MappedFile() {
    if (data_)
        munmap(const_cast<uint8_t*>(data_), size_);
}

bool MappedFile::Open(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error_ = "can't open file '" + path + "' (" + std::strerror(errno) + ")";
        return false;
    }
    struct stat info {};
    bool        ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (!ok) {
        error_ = "'" + path + "' is not a regular file";
    } else if (info.st_size > 0) {
        void* mapping = mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE,
                             fd, 0);
        if (mapping == MAP_FAILED) {
            error_ = "can't map file '" + path + "' (" + std::strerror(errno) + ")";
            ok     = false;
        } else {
            data_ = static_cast<const uint8_t*>(mapping);
            size_ = static_cast<size_t>(info.st_size);
            madvise(mapping, size_, MADV_SEQUENTIAL);
        }
    }
    close(fd);
    return ok;
}
