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
    ~DiskFile() override { std::fclose(file_); }  // before buffer_ is released
    size_t write(const void* data, size_t size) override {
        return size == 0 ? 0 : std::fwrite(data, 1, size, file_);
    }
    bool seek(uint64_t offset) override {
        return std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0;
    }
    bool flush() override { return std::fflush(file_) == 0; }

private:
    std::FILE* file_;
    std::unique_ptr<char[]> buffer_;
};

class MemoryFile : public OutputFile {
public:
    MemoryFile(std::vector<uint8_t>& bytes, bool acceptNothing)
        : bytes_(bytes), acceptNothing_(acceptNothing) {}
    size_t write(const void* data, size_t size) override {
        if (acceptNothing_) return 0;
        const auto* p = static_cast<const uint8_t*>(data);
        const size_t end = position_ + size;
        if (end > bytes_.size()) bytes_.resize(end);
        std::copy(p, p + size, bytes_.begin() + static_cast<std::ptrdiff_t>(position_));
        position_ = end;
        return size;
    }
    bool seek(uint64_t offset) override {
        position_ = static_cast<size_t>(offset);
        return true;
    }

private:
    std::vector<uint8_t>& bytes_;
    size_t position_ = 0;
    bool acceptNothing_;
};

std::string parentOf(const std::string& path) {
    const size_t cut = path.rfind(kSeparator);
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

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

std::unique_ptr<OutputFile> MemoryFileSystem::create(const std::string& path) {
    if (refusedPaths.count(path) != 0) return nullptr;
    if (maxFiles >= 0 && static_cast<long>(files.size()) >= maxFiles && files.count(path) == 0) return nullptr;
    if (requireDirectories) {
        const std::string parent = parentOf(path);
        // "out/" + sep + name has the parent "out/"; treat it as "out".
        std::string trimmed = parent;
        while (trimmed.size() > 1 && trimmed.back() == kSeparator) trimmed.pop_back();
        if (!parent.empty() && directories.count(parent) == 0 && directories.count(trimmed) == 0) return nullptr;
    }
    auto& bytes = files[path];
    bytes.clear();
    creationOrder.push_back(path);
    return std::make_unique<MemoryFile>(bytes, shortWritePaths.count(path) != 0);
}

void MemoryFileSystem::createDirectory(const std::string& path) {
    createdDirectories.push_back(path);
    if (refusedDirectories.count(path) == 0) directories.insert(path);
}

bool MemoryFileSystem::isDirectory(const std::string& path) const {
    return directories.count(path) != 0;
}
