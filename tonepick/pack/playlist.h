#pragma once
// .m3u / .m3u8 playlists: one entry per line, in play order.

#include <string>
#include <string_view>
#include <vector>

// The entries of a playlist's text: lines without their line ends and
// surrounding spaces, a UTF-8 byte order mark, comment lines (#...) and empty
// lines; backslashes (Windows playlists) become '/'.
std::vector<std::string> playlistEntries(std::string_view text);

// "a/b/../c/./d" -> "a/c/d": "." and empty parts dropped, ".." taking away
// the part before it (never above the start). Used to match playlist entries
// with archive entry names, never to build an output path.
std::string normalEntryPath(std::string_view path);

// Whether `name` ends in .vgm or .vgz (any letter case).
bool isLogName(std::string_view name);
// Whether `name` ends in .m3u or .m3u8 (any letter case).
bool isPlaylistName(std::string_view name);
// Whether `name` ends in .zip (any letter case).
bool isArchiveName(std::string_view name);
