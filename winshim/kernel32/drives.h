// The drive table: which letters are CD drives. c: is always the fixed root.
#pragma once

namespace winshim {
// True when the drive table gives this letter ('a'..'z') to a CD drive.
bool DRIVES_IsCdLetter(char lowerLetter);
}  // namespace winshim
