// Whole-file reads and crash-safe replacement of files on the host.
#pragma once
#include <string>
#include <string_view>

namespace winshim {
// Reads the whole file into `out`. Returns 0 or the errno of the failure
// (EISDIR for a folder).
int FILE_ReadAll(const std::string& path, std::string& out);

// Replaces (or creates) the file with `bytes` so that a crash leaves either
// the old or the new file, never a mix: the bytes go to a temporary file in
// the same folder (always the same name, ".NAME.new", so a crash leaves at
// most that one), which is synced and then renamed over the target. An
// existing file keeps its permissions; a symlink keeps pointing at the file
// it names. On failure the temporary file is removed, the old file is left
// as it was, and the errno of the failure is returned (0 on success).
int FILE_ReplaceAtomically(const std::string& path, std::string_view bytes);

// Removes the temporary file that a replacement cut short by a crash left
// beside the target, for a caller that finds nothing to replace: the
// leftover was never renamed, so it holds nothing the target lacks. One that
// another writer holds at the moment is that writer's to rename or remove.
void FILE_RemoveLeftover(const std::string& path);
}  // namespace winshim
