#include "tests/readers/reader_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

#include "common/byte_order.h"
#include "tests/support/process_runner.h"

namespace {

// The Debian interpreter, which sees the python3-mido package (a python3
// first on PATH may be another installation without it).
const std::string kPython = "/usr/bin/python3";
const std::string kBash = "/bin/bash";
const std::string kTools = std::string(MDTOOLS_SOURCE_DIR) + "/tests/tools/";

std::vector<std::string> splitOn(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

// "kind<TAB>name<TAB>value<TAB>name<TAB>value..." as a map (kind under "").
std::map<std::string, std::string> recordOf(const std::string& line) {
    const std::vector<std::string> f = splitOn(line, '\t');
    std::map<std::string, std::string> record;
    if (f.empty()) return record;
    record[""] = f[0];
    for (size_t i = 1; i + 1 < f.size(); i += 2) record[f[i]] = f[i + 1];
    return record;
}

std::vector<int> numberList(const std::string& text) {
    std::vector<int> values;
    for (const std::string& v : splitOn(text, ','))
        if (!v.empty()) values.push_back(std::atoi(v.c_str()));
    return values;
}

long number(const std::map<std::string, std::string>& r, const std::string& key) {
    const auto it = r.find(key);
    return it == r.end() ? -999 : std::atol(it->second.c_str());
}

std::string text(const std::map<std::string, std::string>& r, const std::string& key) {
    const auto it = r.find(key);
    return it == r.end() ? "" : it->second;
}

// Runs a summary script over the files; returns its output lines.
std::vector<std::string> runScript(const std::string& script, const std::vector<std::string>& paths,
                                   std::string& errors) {
    std::vector<std::string> args{kTools + script};
    args.insert(args.end(), paths.begin(), paths.end());
    const ProcessResult r = runProcess(kPython, args);
    if (r.exitCode != 0 && r.output.find("error\t") == std::string::npos)
        errors += "reader script " + script + " failed with exit code " + std::to_string(r.exitCode) + "\n";
    std::vector<std::string> lines = splitOn(r.output, '\n');
    for (const std::string& line : lines)
        if (line.rfind("error\t", 0) == 0) errors += line + "\n";
    return lines;
}

}  // namespace

std::string readersMissing() {
    if (!std::filesystem::exists(kPython)) return "/usr/bin/python3 not found (apt-get install python3-mido)";
    const ProcessResult r = runProcess(kPython, {"-c", "import mido"});
    if (r.exitCode != 0) return "the MIDI reader mido is not installed (apt-get install python3-mido)";
    return "";
}

std::string rendererMissing() {
    const std::string why = readersMissing();
    if (!why.empty()) return why;
    const ProcessResult r = runProcess(kBash, {"-c", "command -v timidity"});
    if (r.exitCode != 0) return "timidity not found (apt-get install timidity freepats)";
    return "";
}

std::vector<MidiSummary> readMidiFiles(const std::vector<std::string>& paths, std::string& errors) {
    std::vector<MidiSummary> files;
    for (const std::string& line : runScript("midi_summary.py", paths, errors)) {
        const auto r = recordOf(line);
        if (text(r, "") == "file") {
            MidiSummary m;
            m.path = text(r, "path");
            m.type = static_cast<int>(number(r, "type"));
            m.division = static_cast<int>(number(r, "division"));
            m.seconds = std::atof(text(r, "seconds").c_str());
            files.push_back(m);
        } else if (text(r, "") == "track" && !files.empty()) {
            MidiTrackSummary t;
            t.name = text(r, "name");
            t.on = static_cast<int>(number(r, "on"));
            t.off = static_cast<int>(number(r, "off"));
            t.bends = static_cast<int>(number(r, "bends"));
            t.end = number(r, "end");
            t.markers = text(r, "markers");
            t.keys = numberList(text(r, "keys"));
            t.channels = numberList(text(r, "channels"));
            t.tempo = number(r, "tempo");
            files.back().tracks.push_back(t);
        }
    }
    return files;
}

std::vector<WavSummary> readWavFiles(const std::vector<std::string>& paths, std::string& errors) {
    std::vector<WavSummary> files;
    for (const std::string& line : runScript("wav_summary.py", paths, errors)) {
        const auto r = recordOf(line);
        if (text(r, "") != "wav") continue;
        WavSummary w;
        w.path = text(r, "path");
        w.channels = static_cast<int>(number(r, "channels"));
        w.width = static_cast<int>(number(r, "width"));
        w.rate = number(r, "rate");
        w.frames = number(r, "frames");
        w.sum = number(r, "sum");
        files.push_back(w);
    }
    return files;
}

bool renderMidi(const std::string& midi, const std::string& scratchDir, RenderSummary& result,
                std::string& error) {
    const ProcessResult r = runProcess(kBash, {kTools + "render_check.sh", midi, scratchDir});
    std::istringstream in(r.output);
    std::string word;
    int found = 0;
    while (in >> word) {
        const size_t eq = word.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = word.substr(0, eq);
        const std::string value = word.substr(eq + 1);
        if (key == "seconds") {
            result.seconds = std::atof(value.c_str());
            ++found;
        } else if (key == "peak") {
            result.peak = std::atoi(value.c_str());
            ++found;
        } else if (key == "audible_until") {
            result.audibleUntil = std::atof(value.c_str());
            ++found;
        }
    }
    if (r.exitCode == 0 && found == 3) return true;
    error = "rendering " + midi + " failed (exit code " + std::to_string(r.exitCode) + "): " + r.output;
    return false;
}

std::vector<std::string> filesEndingIn(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        const std::string name = entry.path().string();
        if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            found.push_back(name);
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string fluidsynthPath() {
    const ProcessResult r = runProcess("/bin/sh", {"-c", "command -v fluidsynth"});
    std::string path = r.exitCode == 0 ? r.output : "";
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    return path;
}

std::vector<int> wavFramePeaks(const std::vector<uint8_t>& wav, int& channels) {
    std::vector<int> peaks;
    channels = 0;
    for (size_t at = 12; at + 8 <= wav.size();) {
        const std::string id(wav.begin() + static_cast<long>(at), wav.begin() + static_cast<long>(at + 4));
        const size_t n = readLe32(wav.data() + at + 4);
        if (id == "fmt ") channels = readLe16(wav.data() + at + 10);
        if (id == "data" && channels > 0) {
            const size_t frame = 2 * static_cast<size_t>(channels);
            for (size_t f = at + 8; f + frame <= std::min(wav.size(), at + 8 + n); f += frame) {
                int peak = 0;
                for (int c = 0; c < channels; ++c)
                    peak = std::max(peak, std::abs(static_cast<int16_t>(readLe16(wav.data() + f + 2 * c))));
                peaks.push_back(peak);
            }
        }
        at += 8 + n + (n % 2);
    }
    return peaks;
}
