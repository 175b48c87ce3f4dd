#include "tonepick/pack_run.h"

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "common/output_directory.h"
#include "common/output_files.h"
#include "tonepick/pack/archive_entries.h"
#include "tonepick/pack/pack_inputs.h"
#include "tonepick/pack_outputs.h"
#include "tonepick/pack_song.h"
#include "tonepick/tonepick_run.h"

namespace {

// Output files through one lock: for file systems that are not safe to use
// from several threads at once (the one tests keep in memory). The disk needs
// none: each thread writes files of its own.
class LockedFileSystem : public OutputFileSystem {
public:
    LockedFileSystem(OutputFileSystem& base, std::mutex& lock) : base_(base), lock_(lock) {}
    std::unique_ptr<OutputFile> create(const std::string& path) override {
        std::lock_guard<std::mutex> hold(lock_);
        std::unique_ptr<OutputFile> file = base_.create(path);
        if (file == nullptr) return nullptr;
        return std::make_unique<LockedFile>(std::move(file), lock_);
    }
    void createDirectory(const std::string& path) override {
        std::lock_guard<std::mutex> hold(lock_);
        base_.createDirectory(path);
    }
    bool isDirectory(const std::string& path) const override {
        std::lock_guard<std::mutex> hold(lock_);
        return base_.isDirectory(path);
    }
    void remove(const std::string& path) override {
        std::lock_guard<std::mutex> hold(lock_);
        base_.remove(path);
    }
    bool readFile(const std::string& path, std::vector<uint8_t>& bytes) const override {
        std::lock_guard<std::mutex> hold(lock_);
        return base_.readFile(path, bytes);
    }
    std::vector<std::string> listRegularFiles(const std::string& dir) const override {
        std::lock_guard<std::mutex> hold(lock_);
        return base_.listRegularFiles(dir);
    }

private:
    class LockedFile : public OutputFile {
    public:
        LockedFile(std::unique_ptr<OutputFile> file, std::mutex& lock) : file_(std::move(file)), lock_(lock) {}
        ~LockedFile() override {
            std::lock_guard<std::mutex> hold(lock_);
            file_.reset();
        }
        size_t write(const void* data, size_t size) override {
            std::lock_guard<std::mutex> hold(lock_);
            return file_->write(data, size);
        }
        bool seek(uint64_t offset) override {
            std::lock_guard<std::mutex> hold(lock_);
            return file_->seek(offset);
        }
        bool flush() override {
            std::lock_guard<std::mutex> hold(lock_);
            return file_->flush();
        }
        bool close() override {
            std::lock_guard<std::mutex> hold(lock_);
            return file_->close();
        }

    private:
        std::unique_ptr<OutputFile> file_;
        std::mutex& lock_;
    };
    OutputFileSystem& base_;
    std::mutex& lock_;
};

// The songs between the thread that reads the inputs and the threads that
// convert them, and the results on their way to standard output. At most
// `limit` songs wait loaded, so that archive entries are held only while
// their songs are near.
struct PackQueue {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<PackSongInput> waiting;
    size_t limit = 1;
    bool allLoaded = false;

    std::vector<PackSongResult> results;
    std::vector<bool> done;
    size_t printed = 0;  // songs whose blocks are out
    size_t finished = 0;
};

int threadCount(const TonepickRun& run, size_t songs) {
    int n = run.settings.threads;
    if (n <= 0) n = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    return static_cast<int>(std::min<size_t>(static_cast<size_t>(n), songs));
}

// The progress line on a terminal: songs done, and the latest one.
void showProgress(const TonepickRun& run, size_t finished, size_t total, const std::string& folder) {
    if (run.progress == nullptr) return;
    std::fprintf(run.progress, "\r[%zu/%zu] %s\x1b[K", finished, total, folder.c_str());
    std::fflush(run.progress);
}

void clearProgress(const TonepickRun& run) {
    if (run.progress == nullptr) return;
    std::fputs("\r\x1b[K", run.progress);
    std::fflush(run.progress);
}

void convertSongs(TonepickRun& run, OutputFileSystem& files, PackQueue& queue) {
    for (;;) {
        PackSongInput input;
        {
            std::unique_lock<std::mutex> hold(queue.lock);
            queue.changed.wait(hold, [&] { return !queue.waiting.empty() || queue.allLoaded; });
            if (queue.waiting.empty()) return;
            input = std::move(queue.waiting.front());
            queue.waiting.pop_front();
        }
        queue.changed.notify_all();
        PackSongResult result = convertPackSong(run, files, input);
        std::lock_guard<std::mutex> hold(queue.lock);
        const size_t index = input.number - 1;
        queue.results[index] = std::move(result);
        queue.done[index] = true;
        ++queue.finished;
        showProgress(run, queue.finished, queue.results.size(), queue.results[index].folder);
        // Blocks go out in pack order, each as soon as those before it are out.
        while (queue.printed < queue.results.size() && queue.done[queue.printed]) {
            std::string& text = queue.results[queue.printed].messages;
            std::fwrite(text.data(), 1, text.size(), run.out);
            std::string().swap(text);
            ++queue.printed;
        }
    }
}

// Reads the songs' sources in pack order (archive entries into memory) and
// hands them on, keeping at most queue.limit waiting.
void loadSongs(const std::vector<PackSong>& songs, PackQueue& queue) {
    ArchiveReader archive;
    for (size_t i = 0; i < songs.size(); ++i) {
        PackSongInput input;
        input.song = &songs[i];
        input.number = i + 1;
        input.songCount = songs.size();
        {
            std::unique_lock<std::mutex> hold(queue.lock);
            queue.changed.wait(hold, [&] { return queue.waiting.size() < queue.limit; });
        }
        if (songs[i].source == SongSource::kArchiveEntry &&
            !readArchiveEntry(archive, songs[i].path, songs[i].entryIndex, input.bytes, input.loadError)) {
            input.bytes.clear();
        }
        {
            std::lock_guard<std::mutex> hold(queue.lock);
            queue.waiting.push_back(std::move(input));
        }
        queue.changed.notify_all();
    }
    {
        std::lock_guard<std::mutex> hold(queue.lock);
        queue.allLoaded = true;
    }
    queue.changed.notify_all();
}

}  // namespace

TonepickExit runPack(TonepickRun& run, const std::vector<std::string>& inputs) {
    std::vector<PackSong> songs;
    for (const std::string& input : inputs) {
        std::string error;
        if (!addPackSongs(input, songs, error)) {
            std::fputs(error.c_str(), run.out);
            return kExitCannotStart;
        }
    }
    if (songs.empty()) {
        std::fprintf(run.out, "Error: no VGM log found\n");
        return kExitCannotStart;
    }
    if (!prepareOutputDirectory(run.outputDirState, run.settings.outputDir, *run.files, run.out)) {
        return kExitFailed;
    }

    std::mutex fileLock;
    LockedFileSystem locked(*run.files, fileLock);
    OutputFileSystem& files = dynamic_cast<DiskFileSystem*>(run.files) != nullptr
                                  ? *run.files
                                  : static_cast<OutputFileSystem&>(locked);
    PackQueue queue;
    const int threads = threadCount(run, songs.size());
    queue.limit = static_cast<size_t>(threads);
    queue.results.resize(songs.size());
    queue.done.assign(songs.size(), false);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) workers.emplace_back(convertSongs, std::ref(run), std::ref(files), std::ref(queue));
    loadSongs(songs, queue);
    for (std::thread& worker : workers) worker.join();
    clearProgress(run);

    const PackFolderCounts counts = writePackFolders(run, queue.results);
    size_t written = 0;
    for (const PackSongResult& song : queue.results) {
        if (song.status == 0) ++written;
    }
    std::fprintf(run.out, "%zu songs: %zu written, %zu with errors; %zu instruments, %zu samples in the pack folders\n",
                 songs.size(), written, songs.size() - written, counts.instruments, counts.samples);
    return written == songs.size() && !run.outputFailed ? kExitOk : kExitFailed;
}
