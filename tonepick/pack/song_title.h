#pragma once
// Names of the song folders of a pack: "NN Title", where the title comes from
// the log's GD3 tag or its file name and is made safe as a file name on every
// common system.

#include <cstddef>
#include <string>
#include <string_view>

struct VgmTags;

// At most this many bytes of a title go into a folder name.
constexpr size_t kMaxTitleBytes = 100;

// `text` with / \ : * ? " < > | and control characters replaced by '_',
// leading and trailing spaces and dots dropped (".." becomes empty), cut to
// kMaxTitleBytes on a UTF-8 character boundary. May be empty.
std::string safeFileTitle(std::string_view text);

// The English track title, else the Japanese one, else `fileName` without its
// extension, each made safe; the first that is not empty after that.
std::string songTitle(const VgmTags& tags, std::string_view fileName);

// "NN Title" (three digits from 100 songs on; just "NN" for an empty title)
// for song `number` (from 1) of `songCount`.
std::string songFolderName(size_t number, size_t songCount, const std::string& title);

// "NN" as in the folder name.
std::string songNumberText(size_t number, size_t songCount);
