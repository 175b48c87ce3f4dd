#include "common/output_files.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

// Our own stream buffer, set before the first write: the C library would
// otherwise ask the system for the file's block size (one more system call per
// file) and allocate a small buffer, and a log can make tens of thousands of
// sample files.
constexpr size_t kFileBufferSize = 64 * 1024;

class DiskFile : public OutputFile {
public:
    explicit DiskFile(std::FILE* f) : file_(f), buffer_(new char[kFileBufferSize]) {
        std::setvbuf(file_, buffer_.get(), _IOFBF, kFileBufferSize);
    }
    ~DiskFile() override { close(); }  // before buffer_ is released
    size_t write(const void* data, size_t size) override {
        return size == 0 ? 0 : std::fwrite(data, 1, size, file_);
    }
    bool seek(uint64_t offset) override {
        return std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0;
    }
    bool flush() override { return std::fflush(file_) == 0; }
    bool close() override {
        if (file_ == nullptr) return true;
        const bool flushed = std::fflush(file_) == 0;
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        return flushed && closed;
    }

private:
    std::FILE* file_;
    std::unique_ptr<char[]> buffer_;
};

}  // namespace

std::string joinOutputPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    std::string path;
    path.reserve(dir.size() + 1 + name.size());
    path += dir;
    path += kSeparator;
    path += name;
    return path;
}

std::unique_ptr<OutputFile> DiskFileSystem::create(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return nullptr;
    return std::make_unique<DiskFile>(f);
}

void DiskFileSystem::createDirectory(const std::string& path) {
    std::error_code ignored;
    std::filesystem::create_directory(path, ignored);
}

bool DiskFileSystem::isDirectory(const std::string& path) const {
    std::error_code ignored;
    return std::filesystem::is_directory(path, ignored);
}

void DiskFileSystem::remove(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

std::vector<std::string> DiskFileSystem::listRegularFiles(const std::string& dir) const {
    std::vector<std::string> names;
    std::error_code error;
    std::filesystem::directory_iterator entries(dir.empty() ? std::string(".") : dir, error);
    if (error) return names;
    for (const std::filesystem::directory_entry& entry : entries) {
        std::error_code ignored;
        // is_regular_file follows a symbolic link to what it names.
        if (entry.is_regular_file(ignored)) names.push_back(entry.path().filename().string());
    }
    return names;
}

bool DiskFileSystem::readFile(const std::string& path, std::vector<uint8_t>& bytes) const {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    bytes.clear();
    std::vector<uint8_t> chunk(kFileBufferSize);
    size_t got = 0;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), f)) > 0)
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}
