// Commands that write and read tree files, and the storage-level commands.
#include <cstdio>
#include <string>

#include "cli/solver_state.h"
#include "net/server.h"
#include "tree/binary_reader.h"
#include "tree/storage_level.h"
#include "tree/tree_command_support.h"
#include "tree/tree_file_commands.h"
#include "tree/tree_file_format.h"
#include "tree/tree_file_reader.h"
#include "tree/tree_file_writer.h"

namespace {

// In server mode load_tree reads the transfer file that the client sent last (a type-3
// message) instead of the named file.
std::string ServerTransferFile() {
    const auto& server = State().net.server;
    return server ? server->TransferFileName() : "quillane_temp";
}

// Runs file work, reporting file-system failures as the command's error.
template <class Work>
void WithFileErrors(Work&& work) {
    try {
        work();
    } catch (const IOException& error) {
        CommandError(error.what());
    } catch (const BadConversion& error) {
        CommandError(error.what());
    }
}

// "auto" .. "fast" give -1 .. 5; other text is read as an integer, negative numbers
// meaning auto and numbers above 5 fast.
int ParseLevel(const std::string& text) {
    for (int level = kAutoLevel; level <= kHighestLevel; ++level)
        if (text == StorageLevelName(level))
            return level;
    const int value = ParseInt(text);
    return value < 0 ? kAutoLevel : value > kHighestLevel ? kHighestLevel : value;
}

}  // namespace

void CmdLoadTree(const Tokens& t) {
    RefuseWhileSolving();
    const bool        server = State().interp.server_mode;
    const std::string name   = server ? ServerTransferFile() : t[1];
    WithFileErrors([&] { LoadTreeFile(name); });
    if (server)
        std::remove(name.c_str());
    PrintOk(t);
}

void CmdShowMetadata(const Tokens& t) {
    RefuseWhileSolving();
    if (State().interp.server_mode)
        CommandError("remote server not supported");
    std::string summary;
    WithFileErrors([&] { summary = MetadataSummary(t[1]); });
    PrintText(summary);
    PrintOk(t);
}

void CmdDumpTree(const Tokens& t) {
    int32_t version = kTreeFileVersion;
    if (t.size() == 4 && t[2] == "version") {
        version = ParseInt(t[3]);
        if (version < 0 || version > kTreeFileVersion)
            ArgumentCountError(t);
    } else if (t.size() != 2) {
        ArgumentCountError(t);
    }
    WithFileErrors([&] { WriteTreeFile(t[1], version); });
    PrintOk(t);
}

void CmdSetCompression(const Tokens& t) {
    const int level = ParseLevel(t[1]);
    TreeState& trees = Trees();
    // The configured level is kept even when a running solve refuses its application: the
    // next build uses it.
    trees.configured_level = level;
    if (trees.Tree()) {
        const StorageLevelChoice choice = trees.ApplyStorageLevel();
        if (choice.automatic && State().interp.verbosity > 0)
            Print("[uncompressed storage %lld MB]\n",
                  static_cast<long long>(choice.uncompressed_bytes >> 20));
    }
    PrintOk(t);
}

void CmdGetActualCompression(const Tokens&) { Print("compression %d\n", Trees().actual_level); }
