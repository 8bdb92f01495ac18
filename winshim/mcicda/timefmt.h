// MCI positions and lengths in the three time formats of the cdaudio device,
// to and from LBA frames (absolute disc time, 75 frames a second).
#pragma once

#include <windows.h>

#include <mmsystem.h>

#include <cstdint>
#include <optional>

#include "mcicda/disc.h"

namespace winshim {

// Milliseconds as Windows' cdaudio driver counts them: LBA 150 (00:02:00) is 2001 ms.
DWORD CDA_FramesToMs(int32_t frames);
int32_t CDA_MsToFrames(DWORD ms);

// A position argument of play/seek in the given format, as an LBA; nothing when the
// value names no place on this disc (a track that does not exist, a field >= 60, ...).
std::optional<int32_t> CDA_PositionToLba(DWORD value, DWORD format, const Toc& toc);

// The disc's number of the track that holds `lba` (the first track for the
// lead-in); 0 for a disc without tracks.
int CDA_TrackAt(int32_t lba, const Toc& toc);

// A position as dwReturn, with the MCI_*_RETURNED flag that says how to write it.
struct CdaValue {
    DWORD_PTR value;
    DWORD flags;
};
CdaValue CDA_Position(int32_t lba, DWORD format, const Toc& toc);
// A length in frames: msf whenever the format is msf or tmsf, as Windows answers.
CdaValue CDA_Length(int32_t frames, DWORD format);

}  // namespace winshim
