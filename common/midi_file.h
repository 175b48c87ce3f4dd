#pragma once
// A Standard MIDI File written to an output file: the header chunk, then
// track chunks, each "MTrk", the 32-bit big-endian length of its data, the
// data. A track is either handed over whole, or streamed: its data goes out
// in pieces as it is built and its length is filled in at the end, so that a
// track far larger than its input is never held in memory.

#include <cstddef>
#include <cstdint>

#include "common/midi_track.h"

class OutputFile;

constexpr uint16_t kMidiFormatMultiTrack = 1;  // format 1: tracks played together

// The header chunk's fields.
struct MidiHeader {
    uint16_t format = kMidiFormatMultiTrack;
    uint16_t trackCount = 1;
    uint16_t division = 24;  // ticks per quarter note
};

// Size of the header chunk and offset of its track count.
constexpr uint64_t kMidiHeaderSize = 14;
constexpr uint64_t kMidiTrackCountOffset = 10;

// A streamed track's data goes to the file whenever this much has gathered.
constexpr size_t kMidiSpillSize = size_t{1} << 20;

class MidiFileWriter {
public:
    // Writes at the start of `file`, which must be new and seekable.
    explicit MidiFileWriter(OutputFile& file) : file_(file) {}

    // "MThd", length 6, format, track count, division.
    void writeHeader(const MidiHeader& header);
    // Rewrites the header's track count once the tracks are out; the write
    // position is then just after the field.
    void patchTrackCount(uint16_t trackCount);

    // A whole track chunk from `track`.
    void writeTrack(const TrackBuffer& track);

    // A streamed track: begin writes the chunk header with a placeholder
    // length and empties `buf`; spill moves `buf` to the file once it holds
    // kMidiSpillSize bytes (call it after each event); end writes the rest
    // and fills in the length (modulo 2^32, as the field holds).
    void beginTrack(TrackBuffer& buf);
    void spillTrack(TrackBuffer& buf) {
        if (buf.size() >= kMidiSpillSize) drain(buf);
    }
    void endTrack(TrackBuffer& buf);

    // Every write so far was accepted whole and every seek succeeded.
    bool ok() const { return ok_; }

private:
    void put(const uint8_t* data, size_t size);
    void drain(TrackBuffer& buf);

    OutputFile& file_;
    uint64_t position_ = 0;    // end of what was written
    uint64_t trackStart_ = 0;  // offset of the streamed track's chunk header
    uint64_t bodySize_ = 0;    // data of the streamed track written so far
    bool ok_ = true;
};
