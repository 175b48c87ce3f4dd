#include "seqconv/output/song_midi_writer.h"

#include <algorithm>
#include <string_view>

#include "common/midi_file.h"
#include "seqconv/output/note_track.h"

namespace {

// The track count is written as 1 and patched when all tracks are out.
constexpr MidiHeader kHeader{kMidiFormatMultiTrack, 1, 24};  // 24 ticks per quarter note
constexpr double kMicrosecondsPerMinute = 60000000.0;
// PAL consoles run the sound driver's timer at 50 Hz instead of 60 Hz.
constexpr double kPalTempoScale = 1.2;
constexpr uint32_t kDefaultMicrosecondsPerQuarter = 500000;  // 120 beats per minute
constexpr double kMaxMicrosecondsPerQuarter = 0xFFFFFF;      // 24-bit field

uint32_t microsecondsPerQuarter(int32_t tempo, bool palTempo) {
    // Tempo 0 means no tempo command was ever interpreted.
    if (tempo <= 0) return kDefaultMicrosecondsPerQuarter;
    const double scale = palTempo ? kPalTempoScale : 1.0;
    const double us = kMicrosecondsPerMinute * scale / tempo;
    return static_cast<uint32_t>(std::min(us, kMaxMicrosecondsPerQuarter));
}

void appendMarker(TrackBuffer& buf, int64_t delta, std::string_view text) {
    appendMetaText(buf, delta, kMetaMarker, text);
}

void writeConductorTrack(const SongWriterOptions& options, const SongToWrite& song, MidiFileWriter& midi,
                         bool noLoop) {
    const int32_t maxTime = song.maxTime;
    TrackBuffer buf;
    appendTempo(buf, 0, microsecondsPerQuarter(song.tempo, options.palTempo));
    if (!noLoop) {
        const int32_t loopStart = *std::min_element(song.loopStarts.begin(), song.loopStarts.end());
        if (options.logEnabled) std::fprintf(options.out, "loop_start:%d\n", loopStart);
        appendMarker(buf, loopStart, "loop start");
        appendMarker(buf, int64_t{maxTime} - loopStart, "loop end");
    } else {
        if (options.logEnabled) std::fprintf(options.out, "track_end:%d\n", maxTime);
        appendMarker(buf, maxTime, "end");
    }
    appendEndOfTrack(buf, 0);
    midi.writeTrack(buf);
}

}  // namespace

void writeSongMidi(const SongWriterOptions& options, const SongToWrite& song, SongLists& lists, OutputFile& file,
                   OutputFile& text) {
    if (options.logEnabled) std::fprintf(options.out, "output\n");
    // Failures are the file's own to report (OutputWriter): nothing is checked here.
    MidiFileWriter midi(file);
    midi.writeHeader(kHeader);
    // Loop markers need a loop; the conversion never asks for them without one.
    writeConductorTrack(options, song, midi, song.noLoop || song.loopStarts.empty());

    sortTrackOrder(song.events);
    NoteTrackWriter writer;
    startSongTracks(writer, options.instruments, lists, options.logEnabled, song.maxTime);
    int32_t trackIndex = 0;
    bool trackOpen = false;
    int32_t currentChannelId = -1;
    for (const SeqEvent& e : song.events) {
        if (!trackOpen || e.channelId != currentChannelId) {
            if (trackOpen) {
                finishNoteTrack(writer, midi);
                ++trackIndex;
            }
            trackOpen = false;
            if (trackIndex >= kMaxNoteTracks) break;  // the track count is full
            beginNoteTrack(writer, e, trackIndex & 0x0F);
            trackOpen = true;
            currentChannelId = e.channelId;
        }
        emitEvent(writer, e, text, trackIndex & 0x0F);
    }
    if (trackOpen) {
        finishNoteTrack(writer, midi);
        ++trackIndex;
    }

    // Below 256 tracks only the low byte changes from the 00 01 written first.
    midi.patchTrackCount(static_cast<uint16_t>(trackIndex + 1));
}
