#include "tests/support/memory_file_system.h"

#include <algorithm>
#include <filesystem>

namespace {

constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

class MemoryFile : public OutputFile {
public:
    MemoryFile(MemoryFileSystem& fs, const std::string& path)
        : fs_(fs), path_(path), bytes_(fs.files[path]) {
        const auto limit = fs.writeLimits.find(path);
        if (fs.shortWritePaths.count(path) != 0) budget_ = 0;
        if (limit != fs.writeLimits.end()) budget_ = limit->second;
        failSeek_ = fs.failedSeekPaths.count(path) != 0;
        failClose_ = fs.failedClosePaths.count(path) != 0;
        fs.openPaths.insert(path);
    }
    ~MemoryFile() override { close(); }
    size_t write(const void* data, size_t size) override {
        const size_t take = std::min(size, budget_);
        budget_ -= take;
        if (take == 0) return 0;  // a write that takes nothing leaves the file as it is
        const auto* p = static_cast<const uint8_t*>(data);
        const size_t end = position_ + take;
        if (end > bytes_.size()) bytes_.resize(end);
        std::copy(p, p + take, bytes_.begin() + static_cast<std::ptrdiff_t>(position_));
        position_ = end;
        return take;
    }
    bool seek(uint64_t offset) override {
        if (failSeek_) return false;
        position_ = static_cast<size_t>(offset);
        return true;
    }
    bool flush() override { return !failClose_; }
    bool close() override {
        if (closed_) return true;
        closed_ = true;
        fs_.openPaths.erase(path_);
        return !failClose_;
    }

private:
    MemoryFileSystem& fs_;
    std::string path_;
    std::vector<uint8_t>& bytes_;  // std::map keeps element references stable
    size_t position_ = 0;
    size_t budget_ = SIZE_MAX;
    bool failSeek_ = false;
    bool failClose_ = false;
    bool closed_ = false;
};

std::string parentOf(const std::string& path) {
    const size_t cut = path.rfind(kSeparator);
    return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

}  // namespace

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
    files[path].clear();
    creationOrder.push_back(path);
    return std::make_unique<MemoryFile>(*this, path);
}

void MemoryFileSystem::createDirectory(const std::string& path) {
    createdDirectories.push_back(path);
    if (refusedDirectories.count(path) == 0) directories.insert(path);
}

bool MemoryFileSystem::isDirectory(const std::string& path) const {
    return directories.count(path) != 0;
}

void MemoryFileSystem::remove(const std::string& path) {
    removed.push_back(path);
    files.erase(path);
}

std::vector<std::string> MemoryFileSystem::listRegularFiles(const std::string& dir) const {
    std::vector<std::string> names;
    const std::string prefix = joinOutputPath(dir, "");
    for (const auto& [path, bytes] : files) {
        if (path.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string name = path.substr(prefix.size());
        if (!name.empty() && name.find('/') == std::string::npos) names.push_back(name);
    }
    return names;
}

bool MemoryFileSystem::readFile(const std::string& path, std::vector<uint8_t>& bytes) const {
    const auto found = files.find(path);
    if (found == files.end()) return false;
    bytes = found->second;
    return true;
}
