#include "common/earlier_run_files.h"

std::unique_ptr<OutputFile> RecordingFileSystem::create(const std::string& path) {
    attempted_.insert(path);
    return inner_.create(path);
}

EarlierRunFiles findEarlierRunFiles(const OutputFileSystem& files, const std::string& dir,
                                    const std::set<std::string>& attemptedPaths,
                                    bool (*isOutputName)(std::string_view name)) {
    EarlierRunFiles found;
    for (const std::string& name : files.listRegularFiles(dir)) {
        if (!isOutputName(name) || attemptedPaths.count(joinOutputPath(dir, name)) != 0) continue;
        if (found.count == 0 || name < found.firstName) found.firstName = name;
        ++found.count;
    }
    return found;
}

void printEarlierRunWarning(std::FILE* out, const std::string& dir, const EarlierRunFiles& found) {
    if (found.count == 0) return;
    if (found.count == 1) {
        std::fprintf(out, "Warning: 1 file of an earlier run remains in \"%s\" (%s)\n", dir.c_str(),
                     found.firstName.c_str());
    } else {
        std::fprintf(out, "Warning: %zu files of an earlier run remain in \"%s\" (e.g. %s)\n", found.count,
                     dir.c_str(), found.firstName.c_str());
    }
}
