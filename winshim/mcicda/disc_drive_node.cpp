// The device node of an optical drive: what the kernel says of its media, and
// libcdio's device driver for the disc and the tray.
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "mcicda/disc_drive.h"

namespace winshim {

namespace {

class DeviceNode final : public DriveDevice {
public:
    explicit DeviceNode(std::string node) : node_(std::move(node)) {}

    int status() override {
        // Non-blocking, so that a drive without a disc opens at all.
        const int fd = ::open(node_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return -errno;
        const int status = ioctl(fd, CDROM_DRIVE_STATUS, CDSL_CURRENT);
        const int error = errno;
        close(fd);
        return status < 0 ? -error : status;
    }

    CdIo_t* open() override { return cdio_open(node_.c_str(), DRIVER_DEVICE); }

    bool eject() override { return cdio_eject_media_drive(node_.c_str()) == DRIVER_OP_SUCCESS; }

    bool closeTray() override {
        driver_id_t driver = DRIVER_DEVICE;
        return cdio_close_tray(node_.c_str(), &driver) == DRIVER_OP_SUCCESS;
    }

    bool setReadSpeed(CdIo_t* cdio, int speed) override { return cdio_set_speed(cdio, speed) == DRIVER_OP_SUCCESS; }

private:
    const std::string node_;
};

}  // namespace

std::unique_ptr<DriveDevice> DISC_DeviceNode(const std::string& node) {
    return std::make_unique<DeviceNode>(node);
}

}  // namespace winshim
