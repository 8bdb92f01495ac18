// An optical drive as the disc reader sees it: the device node's own answers
// (its media status, a libcdio handle on the disc, the tray), kept apart from
// the reading so that a disc image can stand in for the drive.
#pragma once

#include <cdio/cdio.h>

#include <functional>
#include <memory>
#include <string>

#include "mcicda/disc.h"

namespace winshim {

class DriveDevice {
public:
    virtual ~DriveDevice() = default;
    // CDROM_DRIVE_STATUS's answer (a CDS_* value), or -errno when the device
    // could not be asked. May block for as long as the drive takes.
    virtual int status() = 0;
    // A libcdio handle on the disc now in the drive, or null.
    virtual CdIo_t* open() = 0;
    virtual bool eject() = 0;
    virtual bool closeTray() = 0;
    // Asks the drive to read at `speed` (times audio speed); false when it refuses.
    virtual bool setReadSpeed(CdIo_t* cdio, int speed) = 0;
};

// The device node itself (/dev/sr0): the ioctl, libcdio's device driver, the tray.
std::unique_ptr<DriveDevice> DISC_DeviceNode(const std::string& node);

// What a status answer means for the disc: CDS_NO_INFO counts as present (the
// disc's table of contents decides); a device that went away has no disc.
MediaState DISC_MediaOfStatus(int status);

// A drive disc over `device`: reads through paranoia at a low speed. `name`
// labels its diagnostics. Commands never wait long on the drive: the status is
// asked on a thread of the disc's own and a command that finds it slow to
// answer gets the last answer.
std::unique_ptr<Disc> DISC_OpenDriveOn(const std::string& name, std::shared_ptr<DriveDevice> device);

// Whether an audio-readable disc is in the drive now, asked and waited for
// (for the media monitor's own thread).
bool DISC_DriveHasDisc(DriveDevice& device);

// Tests stand their own device in for every device node a drive opens; an
// empty function puts the real ones back.
void DISC_SetDriveDevicesForTests(std::function<std::shared_ptr<DriveDevice>(const std::string& node)> make);

}  // namespace winshim
