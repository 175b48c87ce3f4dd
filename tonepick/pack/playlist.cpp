#include "tonepick/pack/playlist.h"

#include <cctype>

namespace {

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix) {
    if (name.size() < suffix.size()) return false;
    const std::string_view tail = name.substr(name.size() - suffix.size());
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) != suffix[i]) return false;
    }
    return true;
}

std::string_view trimSpaces(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

}  // namespace

std::vector<std::string> playlistEntries(std::string_view text) {
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
    std::vector<std::string> entries;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const std::string_view line = trimSpaces(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') continue;
        std::string entry(line);
        for (char& c : entry) {
            if (c == '\\') c = '/';
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string normalEntryPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        path.remove_prefix(slash == std::string_view::npos ? path.size() : slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string joined;
    for (const std::string_view part : parts) {
        if (!joined.empty()) joined += '/';
        joined += part;
    }
    return joined;
}

bool isLogName(std::string_view name) { return endsWithIgnoringCase(name, ".vgm") || endsWithIgnoringCase(name, ".vgz"); }

bool isPlaylistName(std::string_view name) {
    return endsWithIgnoringCase(name, ".m3u") || endsWithIgnoringCase(name, ".m3u8");
}

bool isArchiveName(std::string_view name) { return endsWithIgnoringCase(name, ".zip"); }
