#include "tonepick/pack/song_title.h"

#include <cstdio>

#include "tonepick/vgm/vgm_tags.h"

namespace {

bool unsafeInFileName(unsigned char c) {
    if (c < 0x20 || c == 0x7F) return true;
    switch (c) {
        case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
            return true;
        default:
            return false;
    }
}

bool trimmed(char c) { return c == ' ' || c == '.'; }

void trimEnds(std::string& s) {
    size_t first = 0;
    while (first < s.size() && trimmed(s[first])) ++first;
    size_t last = s.size();
    while (last > first && trimmed(s[last - 1])) --last;
    s = s.substr(first, last - first);
}

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::string withoutExtension(std::string_view name) {
    const size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot));
}

}  // namespace

std::string safeFileTitle(std::string_view text) {
    std::string s;
    s.reserve(text.size());
    for (const char c : text) s += unsafeInFileName(static_cast<unsigned char>(c)) ? '_' : c;
    trimEnds(s);
    if (s.size() > kMaxTitleBytes) {
        size_t cut = kMaxTitleBytes;
        while (cut > 0 && isContinuationByte(s[cut])) --cut;
        s.resize(cut);
        trimEnds(s);  // the cut may leave a space or dot at the end
    }
    return s;
}

std::string songTitle(const VgmTags& tags, std::string_view fileName) {
    if (tags.hasGd3) {
        for (const Gd3Field field : {kGd3TrackEnglish, kGd3TrackJapanese}) {
            std::string title = safeFileTitle(tags.gd3[field]);
            if (!title.empty()) return title;
        }
    }
    return safeFileTitle(withoutExtension(fileName));
}

std::string songNumberText(size_t number, size_t songCount) {
    char text[32];
    std::snprintf(text, sizeof text, songCount >= 100 ? "%03zu" : "%02zu", number);
    return text;
}

std::string songFolderName(size_t number, size_t songCount, const std::string& title) {
    std::string name = songNumberText(number, songCount);
    if (!title.empty()) name += ' ' + title;
    return name;
}
