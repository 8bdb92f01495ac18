// The drive table: which letters are CD drives and what each one reads. c: is
// always the fixed root. Optical drives that libcdio finds, in order of their
// device names, get d:, e:, ...; entries in <Windows directory>/drives/ named
// like "e:" (a symlink to, or a one-line file naming, a disc image or a device)
// add or replace letters d: to z:. When the table would be empty, d: holds the
// bundled demo disc. The table is read afresh on every call.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace winshim {

struct DriveEntry {
    char letter;         // 'd'..'z'
    std::string source;  // a device node or a disc image path, as DISC_Open takes it
};

// What the disc layer knows of the drives. It hands the table one source as the
// program starts (mcicda/drive_source.cpp), so the table needs nothing of it.
class DriveSource {
public:
    virtual ~DriveSource() = default;
    // The optical drives found, from d: up.
    virtual void addDrives(std::map<char, std::string>& table) = 0;
    // What the entries of the drives folder name, over the drives' letters.
    virtual void addEntries(std::map<char, std::string>& table) = 0;
    // The disc d: holds when the table would be empty.
    virtual std::string demoDisc() = 0;
};
void DRIVES_SetSource(DriveSource* source);
// Letters the table may hand out: a: and b: were floppies and c: is the fixed root.
bool DRIVES_IsTableLetter(char c);

// The table, in letter order.
std::vector<DriveEntry> DRIVES_Table();
std::optional<DriveEntry> DRIVES_Lookup(char letter);
// True when the drive table gives this letter ('a'..'z') to a CD drive.
bool DRIVES_IsCdLetter(char lowerLetter);

}  // namespace winshim
