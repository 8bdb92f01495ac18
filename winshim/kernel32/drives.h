// The drive table: which letters are CD drives and what each one reads. c: is
// always the fixed root. Optical drives that libcdio finds, in order of their
// device names, get d:, e:, ...; entries in <Windows directory>/drives/ named
// like "e:" (a symlink to, or a one-line file naming, a disc image or a device)
// add or replace letters d: to z:. When the table would be empty, d: holds the
// bundled demo disc. The table is read afresh on every call.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace winshim {

struct DriveEntry {
    char letter;         // 'd'..'z'
    std::string source;  // a device node or a disc image path, as DISC_Open takes it
};

// The table, in letter order.
std::vector<DriveEntry> DRIVES_Table();
std::optional<DriveEntry> DRIVES_Lookup(char letter);
// True when the drive table gives this letter ('a'..'z') to a CD drive.
bool DRIVES_IsCdLetter(char lowerLetter);

}  // namespace winshim
