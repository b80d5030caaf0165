#include "platform/FtdiDevice.h"

#include <dlfcn.h>
#include <ftdi.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/LoggerBridge.h"

namespace quelt {

struct FtdiDevice::Api {
    ftdi_context* (*new_)();
    void (*free_)(ftdi_context*);
    int (*write)(ftdi_context*, const unsigned char*, int);
    int (*read)(ftdi_context*, unsigned char*, int);
    int (*openDev)(ftdi_context*, libusb_device*);
    int (*findAll)(ftdi_context*, ftdi_device_list**, int, int);
    void (*listFree)(ftdi_device_list**);
    int (*close)(ftdi_context*);
    int (*reset)(ftdi_context*);
    int (*purgeRx)(ftdi_context*);
    int (*purgeTx)(ftdi_context*);
    int (*getStrings)(ftdi_context*, libusb_device*, char*, int, char*, int, char*, int);
    int (*getLatency)(ftdi_context*, unsigned char*);
    int (*setLatency)(ftdi_context*, unsigned char);
    int (*setBaud)(ftdi_context*, int);
    // From libusb (loaded with libftdi1), to name the device node when an open is refused; may be null.
    std::uint8_t (*busNumber)(libusb_device*) = nullptr;
    std::uint8_t (*deviceAddress)(libusb_device*) = nullptr;
};

namespace {
// True when the device node of a USB device exists but this user may not open it for reading and writing.
bool nodeRefused(unsigned bus, unsigned address) {
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03u/%03u", bus, address);
    return ::access(node, F_OK) == 0 && ::access(node, R_OK | W_OK) != 0 && errno == EACCES;
}
}  // namespace

FtdiDevice::FtdiDevice(std::uint16_t loggerProductId, int baud)
    : loggerProductId_(loggerProductId), baud_(baud) {}

FtdiDevice::~FtdiDevice() {
    close();
    if (api_ && ctx_) api_->free_(ctx_);
    delete api_;
    if (library_) dlclose(library_);
}

std::string FtdiDevice::missingEntryMessage(const std::string& operation) {
    if (operation == "FT_Write")
        return "Error:\n Can't Find FT_Write \n Install the last version USB FTDI driver";
    if (operation == "FT_Read")
        return "Error:\n Can't Find FT_Read \n Install the last version USB FTDI driver";
    return "Error: Can't Find " + operation + " \n Install the last version USB FTDI driver";
}

bool FtdiDevice::bind(std::string& message) {
    message.clear();
    if (api_) return true;
    library_ = dlopen("libftdi1.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!library_) library_ = dlopen("libftdi1.so", RTLD_NOW | RTLD_LOCAL);
    if (!library_) {
        message = "USB driver not installed.";
        return false;
    }
    auto api = new Api{};
    // In the order of the bridge operations the link uses; each names the operation it stands for.
    struct Entry {
        const char* operation;
        const char* symbol;
        void** slot;
    } entries[] = {
        {"FT_Write", "ftdi_write_data", reinterpret_cast<void**>(&api->write)},
        {"FT_Read", "ftdi_read_data", reinterpret_cast<void**>(&api->read)},
        {"FT_Open", "ftdi_usb_open_dev", reinterpret_cast<void**>(&api->openDev)},
        {"FT_OpenEx", "ftdi_new", reinterpret_cast<void**>(&api->new_)},
        {"FT_ListDevices", "ftdi_usb_find_all", reinterpret_cast<void**>(&api->findAll)},
        {"FT_ListDevices", "ftdi_list_free", reinterpret_cast<void**>(&api->listFree)},
        {"FT_Close", "ftdi_usb_close", reinterpret_cast<void**>(&api->close)},
        {"FT_Close", "ftdi_free", reinterpret_cast<void**>(&api->free_)},
        {"FT_ResetDevice", "ftdi_usb_reset", reinterpret_cast<void**>(&api->reset)},
        {"FT_Purge", "ftdi_usb_purge_rx_buffer", reinterpret_cast<void**>(&api->purgeRx)},
        {"FT_Purge", "ftdi_usb_purge_tx_buffer", reinterpret_cast<void**>(&api->purgeTx)},
        {"FT_SetTimeouts", "ftdi_set_baudrate", reinterpret_cast<void**>(&api->setBaud)},
        {"FT_EE_Read", "ftdi_usb_get_strings", reinterpret_cast<void**>(&api->getStrings)},
        {"FT_GetLatencyTimer", "ftdi_get_latency_timer", reinterpret_cast<void**>(&api->getLatency)},
        {"FT_SetLatencyTimer", "ftdi_set_latency_timer", reinterpret_cast<void**>(&api->setLatency)},
    };
    for (auto& e : entries) {
        *e.slot = dlsym(library_, e.symbol);
        if (!*e.slot) {
            message = missingEntryMessage(e.operation);
            delete api;
            dlclose(library_);
            library_ = nullptr;
            return false;
        }
    }
    // Optional: the same lookup reaches libusb, which libftdi1 loaded.
    api->busNumber =
        reinterpret_cast<std::uint8_t (*)(libusb_device*)>(dlsym(library_, "libusb_get_bus_number"));
    api->deviceAddress =
        reinterpret_cast<std::uint8_t (*)(libusb_device*)>(dlsym(library_, "libusb_get_device_address"));
    ctx_ = api->new_();
    if (!ctx_) {
        delete api;
        message = "USB driver not installed.";
        return false;
    }
    api_ = api;
    return true;
}

int FtdiDevice::open(int index, const std::string* description, const std::string* serial) {
    if (!api_) return kDevNotBound;
    if (open_) return kDevOk;
    const std::uint16_t products[] = {loggerProductId_, kBridgeDefaultProductId};
    int seen = 0;
    for (std::uint16_t pid : products) {
        ftdi_device_list* list = nullptr;
        if (api_->findAll(ctx_, &list, kFtdiVendorId, pid) < 0) continue;
        for (ftdi_device_list* d = list; d; d = d->next) {
            char mnf[128] = {}, desc[128] = {}, ser[128] = {};
            api_->getStrings(ctx_, d->dev, mnf, sizeof mnf, desc, sizeof desc, ser, sizeof ser);
            if (description && *description != desc) continue;
            if (serial && *serial != ser) continue;
            if (!description && !serial && seen++ != index) continue;
            int r = api_->openDev(ctx_, d->dev);
            if (r < 0) {
                // libftdi1 folds libusb's access error into "unable to open/claim/configure" (-3..-5): look
                // at the device node itself to tell a missing permission from a device that is in use.
                bool refused = false;
                if (api_->busNumber && api_->deviceAddress)
                    refused = nodeRefused(api_->busNumber(d->dev), api_->deviceAddress(d->dev));
                else
                    refused = r == -4;
                api_->listFree(&list);
                std::lock_guard<std::mutex> lock(hintMutex_);
                if (refused) {
                    hint_ = permissionHint();
                    return kDevPermissionDenied;
                }
                hint_.clear();
                return kDevNotOpened;
            }
            api_->setBaud(ctx_, baud_);
            eeprom_ = {kFtdiVendorId, pid, ser, desc, mnf};
            api_->listFree(&list);
            pending_.clear();
            open_ = true;
            return kDevOk;
        }
        api_->listFree(&list);
    }
    return kDevNotFound;
}

int FtdiDevice::openByIndex(int index) {
    return open(index, nullptr, nullptr);
}
int FtdiDevice::openByDescription(const std::string& description) {
    return open(0, &description, nullptr);
}
int FtdiDevice::openBySerial(const std::string& serial) {
    return open(0, nullptr, &serial);
}

int FtdiDevice::readEeprom(DeviceEeprom& eeprom) {
    if (!open_) return kDevNotOpened;
    eeprom = eeprom_;
    return kDevOk;
}

int FtdiDevice::close() {
    if (!api_ || !open_.exchange(false)) return kDevInvalidHandle;
    std::lock_guard<std::mutex> r(readMutex_);
    std::lock_guard<std::mutex> w(writeMutex_);
    api_->close(ctx_);
    return kDevOk;
}

int FtdiDevice::reset() {
    if (!open_) return kDevInvalidHandle;
    return api_->reset(ctx_) == 0 ? kDevOk : kDevIoError;
}

int FtdiDevice::setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    if (!open_) return kDevInvalidHandle;
    readTimeout_ = readMs;
    std::lock_guard<std::mutex> w(writeMutex_);
    ctx_->usb_write_timeout = static_cast<int>(writeMs ? writeMs : 1);
    return kDevOk;
}

int FtdiDevice::fill(std::uint32_t) {
    unsigned char chunk[512];
    int n = api_->read(ctx_, chunk, sizeof chunk);
    if (n < 0) return kDevIoError;
    pending_.insert(pending_.end(), chunk, chunk + n);
    return kDevOk;
}

int FtdiDevice::getQueueStatus(std::uint32_t& bytesWaiting) {
    bytesWaiting = 0;
    if (!open_) return kDevInvalidHandle;
    std::lock_guard<std::mutex> lock(readMutex_);
    // The bridge library keeps no count of waiting bytes: take what has arrived and count that.
    if (fill(0) != kDevOk) return kDevIoError;
    bytesWaiting = static_cast<std::uint32_t>(pending_.size());
    return kDevOk;
}

int FtdiDevice::read(std::uint8_t* buffer, std::uint32_t size, std::uint32_t& got) {
    got = 0;
    if (!open_) return kDevInvalidHandle;
    std::lock_guard<std::mutex> lock(readMutex_);
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(readTimeout_.load());
    while (pending_.size() < size) {
        std::size_t before = pending_.size();
        if (fill(0) != kDevOk) return kDevIoError;
        if (pending_.size() == before) {
            if (std::chrono::steady_clock::now() >= end) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    got = static_cast<std::uint32_t>(pending_.size() < size ? pending_.size() : size);
    std::copy(pending_.begin(), pending_.begin() + got, buffer);
    pending_.erase(pending_.begin(), pending_.begin() + got);
    return kDevOk;
}

int FtdiDevice::write(const std::uint8_t* data, std::uint32_t size, std::uint32_t& written) {
    written = 0;
    if (!open_) return kDevInvalidHandle;
    std::lock_guard<std::mutex> lock(writeMutex_);
    int n = api_->write(ctx_, data, static_cast<int>(size));
    if (n < 0) return kDevIoError;
    written = static_cast<std::uint32_t>(n);
    return kDevOk;
}

int FtdiDevice::purge(std::uint32_t mask) {
    if (!open_) return kDevInvalidHandle;
    int r = 0;
    if (mask & kPurgeRx) {
        std::lock_guard<std::mutex> lock(readMutex_);
        pending_.clear();
        r |= api_->purgeRx(ctx_);
    }
    if (mask & kPurgeTx) {
        std::lock_guard<std::mutex> lock(writeMutex_);
        r |= api_->purgeTx(ctx_);
    }
    return r == 0 ? kDevOk : kDevIoError;
}

int FtdiDevice::setLatencyTimer(std::uint8_t ms) {
    if (!open_) return kDevInvalidHandle;
    return api_->setLatency(ctx_, ms ? ms : 1) == 0 ? kDevOk : kDevIoError;
}

std::string FtdiDevice::lastErrorHint() const {
    std::lock_guard<std::mutex> lock(hintMutex_);
    return hint_;
}

}  // namespace quelt
