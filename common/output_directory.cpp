#include "common/output_directory.h"

#include "common/output_files.h"

bool prepareOutputDirectory(OutputDirectoryState& state, const std::string& dir, OutputFileSystem& files,
                            std::FILE* out) {
    if (state.attempted) return state.ready;
    state.attempted = true;
    if (dir.empty()) return state.ready;
    files.createDirectory(dir);
    // The outcome of the creation itself says little (an existing directory
    // is an error too); what matters is whether a directory is there now.
    state.ready = files.isDirectory(dir);
    if (!state.ready) std::fprintf(out, "Error: Can't create directory \"%s\"\n", dir.c_str());
    return state.ready;
}
