#include "common/midi_file.h"

#include "common/byte_order.h"
#include "common/output_files.h"

namespace {

constexpr uint32_t kHeaderDataSize = 6;

}  // namespace

void MidiFileWriter::put(const uint8_t* data, size_t size) {
    if (size == 0) return;
    ok_ = file_.write(data, size) == size && ok_;
    position_ += size;
}

void MidiFileWriter::writeHeader(const MidiHeader& header) {
    uint8_t bytes[kMidiHeaderSize] = {'M', 'T', 'h', 'd'};
    writeBe32(bytes + 4, kHeaderDataSize);
    writeBe16(bytes + 8, header.format);
    writeBe16(bytes + kMidiTrackCountOffset, header.trackCount);
    writeBe16(bytes + 12, header.division);
    put(bytes, sizeof bytes);
}

void MidiFileWriter::patchTrackCount(uint16_t trackCount) {
    uint8_t count[2];
    writeBe16(count, trackCount);
    ok_ = file_.seek(kMidiTrackCountOffset) && ok_;
    ok_ = file_.write(count, sizeof count) == sizeof count && ok_;
    position_ = kMidiTrackCountOffset + sizeof count;
}

void MidiFileWriter::writeTrack(const TrackBuffer& track) {
    uint8_t head[8] = {'M', 'T', 'r', 'k'};
    writeBe32(head + 4, static_cast<uint32_t>(track.size()));
    put(head, sizeof head);
    put(track.data(), track.size());
}

void MidiFileWriter::beginTrack(TrackBuffer& buf) {
    const uint8_t head[8] = {'M', 'T', 'r', 'k', 0, 0, 0, 0};
    trackStart_ = position_;
    bodySize_ = 0;
    put(head, sizeof head);
    buf.clear();
}

void MidiFileWriter::drain(TrackBuffer& buf) {
    put(buf.data(), buf.size());
    bodySize_ += buf.size();
    buf.clear();
}

void MidiFileWriter::endTrack(TrackBuffer& buf) {
    drain(buf);
    uint8_t length[4];
    writeBe32(length, static_cast<uint32_t>(bodySize_));
    ok_ = file_.seek(trackStart_ + 4) && ok_;
    ok_ = file_.write(length, sizeof length) == sizeof length && ok_;
    ok_ = file_.seek(position_) && ok_;
}
