#include "common/input_file.h"

#include <filesystem>
#include <system_error>

std::FILE* openInputFile(const char* path) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) return nullptr;
    return std::fopen(path, "rb");
}
