#pragma once
// One song written into memory through the output layer, with helpers to
// make event records by hand and to take the resulting MIDI file apart into
// chunks.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/output_files.h"
#include "tests/support/memory_file_system.h"
#include "tests/support/midi_bytes.h"
#include "seqconv/interpreter/interpreter.h"
#include "seqconv/output/song_conversion.h"
#include "builders/gems_bank_builder.h"
#include "tests/support/output_capture.h"

// What the conversion and the writers of one song read and fill, named as
// the tests read them: the banks, the flags, the registers and the lists.
struct SongRig {
    InstrumentBank instruments;
    SequenceBank sequences;
    struct {
        bool threeBytePointers = false;
        bool palTempo = false;
        bool playOthers = false;
        bool crtLoops = false;
        bool logEnabled = false;
    } flags;
    SeqState state;
    InterpreterBudget budget;
    SongPassLists pass;
    SongLists lists;
    // What writeSong hands the MIDI writer directly.
    std::vector<SeqEvent> events;
    std::vector<int32_t> loopStarts;
};

struct SongOutputFixture {
    std::unique_ptr<SongRig> run = std::make_unique<SongRig>();
    MemoryFileSystem files;
    OutputCapture printed;
    std::unique_ptr<OutputFile> midi;
    std::unique_ptr<OutputFile> text;

    SongOutputFixture() {
        midi = files.create("000.mid");
        text = files.create("000.txt");
    }

    SongWriterOptions writerOptions() {
        return {run->instruments, run->flags.palTempo, run->flags.logEnabled, printed.file()};
    }

    // writeSongMidi of run->events and run->loopStarts with the tempo register.
    void writeSong(int32_t maxTime, bool noLoop) {
        const SongToWrite song{run->events, run->loopStarts, run->state.tempo, noLoop, maxTime};
        writeSongMidi(writerOptions(), song, run->lists, *midi, *text);
    }

    void listings() { writeListings(run->instruments, run->lists, *text); }

    // convertSong of `song` into the current midi and text files.
    void convertInto(int32_t song) {
        const auto& f = run->flags;
        SongInterpreter in{run->sequences, {f.threeBytePointers, f.playOthers, f.logEnabled, f.crtLoops},
                           printed.file(), run->state, run->budget, run->pass};
        convertSong(in, writerOptions(), run->lists, song, *midi, *text);
    }

    void setInstruments(const GemsInstrumentBankBuilder& bank) {
        const std::vector<uint8_t> bytes = bank.bytes();
        run->instruments.bytes.fill(0);
        std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), run->instruments.bytes.size()),
                    run->instruments.bytes.begin());
    }

    const std::vector<uint8_t>& midiBytes() const { return files.at("000.mid"); }
    std::string textFile() const {
        const std::vector<uint8_t>& t = files.at("000.txt");
        return std::string(t.begin(), t.end());
    }
};

// Hand-made records; `spare` numbers them in the order they are made.
struct EventList {
    std::vector<SeqEvent> events;

    EventList& note(int32_t channelId, int32_t time, int32_t duration, int32_t note, int32_t patch,
                    int32_t volume = 0) {
        SeqEvent on;
        on.channelId = channelId;
        on.time = time;
        on.note = note;
        on.patch = patch;
        on.volume = volume;
        on.on = 1;
        add(on);
        SeqEvent off = on;
        off.time = time + duration;
        off.on = 0;
        add(off);
        return *this;
    }

    EventList& pitch(int32_t channelId, int32_t time, int32_t value, int32_t patch) {
        SeqEvent e;
        e.channelId = channelId;
        e.time = time;
        e.patch = patch;
        e.pitch = value;
        e.on = 1;
        e.pitchEvent = 1;
        add(e);
        return *this;
    }

    void add(SeqEvent e) {
        e.spare = static_cast<int32_t>(events.size());
        events.push_back(e);
    }
};

// The chunks of a MIDI file: chunks[0] is the header's data, then one entry
// per track chunk's data. Stops at a chunk that does not fit.
inline std::vector<std::vector<uint8_t>> midiChunks(const std::vector<uint8_t>& file) {
    std::vector<std::vector<uint8_t>> chunks;
    size_t pos = 0;
    while (pos + 8 <= file.size()) {
        const size_t length = (size_t{file[pos + 4]} << 24) | (size_t{file[pos + 5]} << 16) |
                              (size_t{file[pos + 6]} << 8) | file[pos + 7];
        if (pos + 8 + length > file.size()) break;
        chunks.emplace_back(file.begin() + static_cast<long>(pos + 8),
                            file.begin() + static_cast<long>(pos + 8 + length));
        pos += 8 + length;
    }
    return chunks;
}

using midi_bytes::bytesOf;
using midi_bytes::metaText;
using midi_bytes::trackStart;

// Bytes of an expected song file: the header with tracks.size() tracks and 24
// ticks per quarter note, then the chunks.
inline std::vector<uint8_t> midiFile(const std::vector<std::vector<uint8_t>>& tracks) {
    return midi_bytes::midiFile(0x18, tracks);
}
