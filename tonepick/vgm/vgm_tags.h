#pragma once
// What a VGM log says about itself: the length fields of its header and its
// GD3 tag (track, game, system and author names in English and Japanese, the
// release date, who logged it, notes). Reading them never fails: a log
// without a tag, or with a tag that is cut short or malformed, simply has no
// tag.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct BufferedInput;

// The eleven strings of a GD3 tag, in their order in the file.
enum Gd3Field : uint8_t {
    kGd3TrackEnglish = 0,
    kGd3TrackJapanese,
    kGd3GameEnglish,
    kGd3GameJapanese,
    kGd3SystemEnglish,
    kGd3SystemJapanese,
    kGd3AuthorEnglish,
    kGd3AuthorJapanese,
    kGd3ReleaseDate,
    kGd3LoggedBy,
    kGd3Notes,
    kGd3FieldCount
};

struct VgmTags {
    bool isVgm = false;          // the header was whole and began with "Vgm "
    uint32_t totalSamples = 0;   // 0x18: length of the sound data in 44100 Hz samples
    uint32_t loopSamples = 0;    // 0x20: length of the loop, 0 when there is none
    bool hasGd3 = false;         // a whole, well-formed GD3 tag was found
    std::array<std::string, kGd3FieldCount> gd3;  // UTF-8, empty without a tag
};

// A real tag is a few hundred bytes; one that declares more than this is
// taken as malformed, so a forged length cannot make the reader hold much.
constexpr uint32_t kMaxGd3Bytes = 1u << 20;

// Reads the header and the GD3 tag from the start of `in` (already set to
// deliver decompressed bytes for gzip data), skipping the sound data between.
VgmTags readVgmTags(BufferedInput& in);

// The tag's strings from the bytes after its 12-byte head: eleven
// zero-terminated UTF-16LE strings, converted to UTF-8 (a lone surrogate
// becomes U+FFFD). False when fewer than eleven terminated strings are there.
bool decodeGd3Strings(const uint8_t* data, size_t size, std::array<std::string, kGd3FieldCount>& fields);
