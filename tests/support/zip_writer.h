#pragma once
// .zip archives for the pack tests, written with libarchive: entries with any
// name (also "../x" or "/x"), stored or deflated.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ZipEntry {
    std::string name;
    std::vector<uint8_t> bytes;
};

// Writes the entries in the order given; false when the file cannot be written.
bool writeZip(const std::string& path, const std::vector<ZipEntry>& entries);
