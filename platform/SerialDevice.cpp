#include "platform/SerialDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace quelt {

namespace {
speed_t speedOf(int baud) {
    switch (baud) {
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 500000:
            return B500000;
        case 1000000:
            return B1000000;
        default:
            return B921600;
    }
}

std::string readLine(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::string s;
    std::getline(in, s);
    return s;
}

using Clock = std::chrono::steady_clock;
int remainingMs(Clock::time_point end) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}
}  // namespace

SerialDevice::SerialDevice(std::string path, int baud, std::uint16_t productId)
    : path_(std::move(path)), baud_(baud), productId_(productId) {}

SerialDevice::~SerialDevice() {
    close();
}

int SerialDevice::openByIndex(int index) {
    if (index != 0) return kDevNotFound;
    if (fd_ >= 0) return kDevOk;
    int fd = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int e = errno;
        std::lock_guard<std::mutex> lock(hintMutex_);
        if (e == EACCES || e == EPERM) {
            hint_ = "No permission to open " + path_ +
                    ": install the udev rule 60-queltlogger.rules or join the dialout group";
            return kDevPermissionDenied;
        }
        hint_.clear();
        return e == ENOENT ? kDevNotFound : kDevNotOpened;
    }
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        t.c_cflag |= CLOCAL | CREAD;
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        cfsetispeed(&t, speedOf(baud_));
        cfsetospeed(&t, speedOf(baud_));
        tcsetattr(fd, TCSANOW, &t);
    }
    fd_ = fd;
    return kDevOk;
}

int SerialDevice::openByDescription(const std::string&) {
    return openByIndex(0);
}
int SerialDevice::openBySerial(const std::string&) {
    return openByIndex(0);
}

int SerialDevice::readEeprom(DeviceEeprom& eeprom) {
    if (fd_ < 0) return kDevNotOpened;
    eeprom = {};
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path real = fs::canonical(path_, ec);
    fs::path dev = fs::path("/sys/class/tty") / real.filename() / "device";
    fs::path usb = fs::canonical(dev, ec);
    // Walk up from the interface to the USB device that carries idVendor.
    for (int i = 0; !ec && i < 4 && !usb.empty(); ++i, usb = usb.parent_path()) {
        if (fs::exists(usb / "idVendor")) {
            eeprom.vendorId =
                static_cast<std::uint16_t>(std::strtoul(readLine(usb / "idVendor").c_str(), nullptr, 16));
            eeprom.productId =
                static_cast<std::uint16_t>(std::strtoul(readLine(usb / "idProduct").c_str(), nullptr, 16));
            eeprom.serial = readLine(usb / "serial");
            eeprom.description = readLine(usb / "product");
            eeprom.manufacturer = readLine(usb / "manufacturer");
            return kDevOk;
        }
    }
    eeprom.vendorId = 0x0403;
    eeprom.productId = productId_;
    eeprom.serial = real.filename().string();
    eeprom.description = "Logger";
    return kDevOk;
}

int SerialDevice::close() {
    int fd = fd_.exchange(-1);
    if (fd < 0) return kDevInvalidHandle;
    ::close(fd);
    return kDevOk;
}

int SerialDevice::reset() {
    return fd_ >= 0 ? kDevOk : kDevInvalidHandle;
}

int SerialDevice::setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    readTimeout_ = readMs;
    writeTimeout_ = writeMs;
    return fd_ >= 0 ? kDevOk : kDevInvalidHandle;
}

int SerialDevice::getQueueStatus(std::uint32_t& bytesWaiting) {
    bytesWaiting = 0;
    int fd = fd_;
    if (fd < 0) return kDevInvalidHandle;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0 || (p.revents & (POLLHUP | POLLERR | POLLNVAL))) return kDevIoError;
    int n = 0;
    if (::ioctl(fd, FIONREAD, &n) != 0) return kDevIoError;
    bytesWaiting = static_cast<std::uint32_t>(n);
    return kDevOk;
}

int SerialDevice::read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) {
    got = 0;
    int fd = fd_;
    if (fd < 0) return kDevInvalidHandle;
    auto end = Clock::now() + std::chrono::milliseconds(readTimeout_.load());
    while (got < size) {
        ssize_t n = ::read(fd, buffer + got, size - got);
        if (n > 0) {
            got += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n == 0 || errno == EAGAIN || errno == EINTR) {
            int left = remainingMs(end);
            if (left == 0) break;
            pollfd p{fd, POLLIN, 0};
            int r = ::poll(&p, 1, left);
            if (r == 0) break;
            if (r < 0 && errno != EINTR) return kDevIoError;
            if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) return got ? kDevOk : kDevIoError;
            continue;
        }
        return kDevIoError;
    }
    return kDevOk;
}

int SerialDevice::write(const std::uint8_t* data, std::uint32_t size, std::uint32_t& written) {
    written = 0;
    int fd = fd_;
    if (fd < 0) return kDevInvalidHandle;
    auto end = Clock::now() + std::chrono::milliseconds(writeTimeout_.load());
    while (written < size) {
        ssize_t n = ::write(fd, data + written, size - written);
        if (n > 0) {
            written += static_cast<std::uint32_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return kDevIoError;
        int left = remainingMs(end);
        if (left == 0) return kDevIoError;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, left) <= 0) return kDevIoError;
    }
    return kDevOk;
}

int SerialDevice::purge(std::uint32_t mask) {
    int fd = fd_;
    if (fd < 0) return kDevInvalidHandle;
    int which = (mask & kPurgeRx) && (mask & kPurgeTx) ? TCIOFLUSH : (mask & kPurgeTx) ? TCOFLUSH : TCIFLUSH;
    return ::tcflush(fd, which) == 0 ? kDevOk : kDevIoError;
}

int SerialDevice::setLatencyTimer(std::uint8_t) {
    // The kernel's FTDI driver keeps its own latency timer (sysfs latency_timer); a raw tty has none.
    return fd_ >= 0 ? kDevOk : kDevInvalidHandle;
}

std::string SerialDevice::lastErrorHint() const {
    std::lock_guard<std::mutex> lock(hintMutex_);
    return hint_;
}

}  // namespace quelt
