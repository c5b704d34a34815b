#include "net/transfer_file.h"

#include <cerrno>
#include <cstring>
#include <utility>

TransferFileWriter::TransferFileWriter(std::string                              path,
                                       std::function<void(const std::string&)> report)
    : path_(std::move(path)), report_(std::move(report)) {}

TransferFileWriter::~TransferFileWriter() {
    if (file_)
        std::fclose(file_);
}

void TransferFileWriter::Fail(const std::string& what) {
    if (!failed_)
        report_(what + " transfer file '" + path_ + "' (" + std::strerror(errno) + ")");
    failed_ = true;
}

void TransferFileWriter::Begin(uint64_t) {
    failed_ = false;
    file_   = std::fopen(path_.c_str(), "wb");
    if (!file_)
        Fail("can't open");
}

void TransferFileWriter::Write(const uint8_t* data, size_t size) {
    if (failed_ || !file_)
        return;
    if (std::fwrite(data, 1, size, file_) != size)
        Fail("can't write");
}

void TransferFileWriter::End(bool complete) {
    if (!file_)
        return;
    if (std::fclose(file_) != 0)
        Fail("can't write");
    file_ = nullptr;
    if (!complete || failed_)
        std::remove(path_.c_str());
}
