// The kernel's part of the twin on Linux: each unit of the host that the system lists becomes a
// hidraw node with its USB and HID parents, as hidapi expects them, and each read and write on
// it is answered as the kernel's hidraw driver answers it, from the model.
#include "hidraw_twin.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace qvt::twin {
namespace {

// A vendor page with one 64-byte input and one 64-byte output report and no report IDs: the
// boot loader's reports as its descriptor would declare them.
std::uint8_t kReportDescriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x02,
                                    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40,
                                    0x81, 0x02, 0x09, 0x03, 0x15, 0x00, 0x26, 0xFF, 0x00,
                                    0x75, 0x08, 0x95, 0x40, 0x91, 0x02, 0xC0};
// What the kernel keeps for one open hidraw file before it drops the oldest.
constexpr std::size_t kHidrawQueue = 64;
// How long usbhid waits for an output report's interrupt transfer (USB_CTRL_SET_TIMEOUT).
constexpr int kUsbWriteTimeoutMs = 5000;

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value & 0xFFFF);
    return text;
}

}  // namespace

void HidrawTwin::Follow() {
    std::lock_guard lock(mutex_);
    const Inventory now = host_.Look();
    for (auto& [path, node] : nodes_) {
        bool still = false;
        for (const TwinHid& hid : now.hids) still |= hid.path == path;
        if (node->present && !still) Remove(*node);
    }
    for (const TwinHid& hid : now.hids) {
        if (!nodes_.count(hid.path)) Add(hid);
    }
    // umockdev tells of a closed file only through the client's state.
    for (auto it = files_.begin(); it != files_.end();) {
        if (umockdev_ioctl_client_get_connected(it->first)) {
            ++it;
            continue;
        }
        for (std::size_t i = 0; i < it->second.queued.size(); ++i) Drain(*it->second.node);
        if (it->second.handle) host_.Close(it->second.handle);
        g_object_unref(it->first);
        it = files_.erase(it);
    }
    // Replies that reached the unit's handles are the kernel's to hand out now.
    for (auto& [client, file] : files_) {
        sim::WireReport report;
        while (file.handle && host_.TakeInput(file.handle, report) == TwinHost::Input::kReport) {
            if (file.queued.size() == kHidrawQueue) {
                file.queued.pop_front();
            } else {
                Signal(*file.node);
            }
            file.queued.push_back(report);
        }
    }
}

gboolean HidrawTwin::OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<HidrawTwin*>(self)->Connected(client);
    return TRUE;
}

gboolean HidrawTwin::OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<HidrawTwin*>(self)->Read(client);
    return TRUE;
}

gboolean HidrawTwin::OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    static_cast<HidrawTwin*>(self)->Write(client);
    return TRUE;
}

gboolean HidrawTwin::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<HidrawTwin*>(self)->Ioctl(client);
}

Node* HidrawTwin::NodeOf(UMockdevIoctlClient* client) {
    const std::string devnode = umockdev_ioctl_client_get_devnode(client);
    for (auto& [path, node] : nodes_) {
        if ("/dev/hidraw" + std::to_string(node->number) == devnode) return node.get();
    }
    return nullptr;
}

void HidrawTwin::Connected(UMockdevIoctlClient* client) {
    std::lock_guard lock(mutex_);
    Node* node = NodeOf(client);
    // Held until the file is closed, so that no later client takes its address.
    g_object_ref(client);
    OpenFile& file = files_[client];
    file.node = node;
    if (node && node->present) file.handle = host_.OpenHid(node->path);
}

void HidrawTwin::Read(UMockdevIoctlClient* client) {
    std::lock_guard lock(mutex_);
    UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
    OpenFile* file = FileOf(client);
    if (file && !file->queued.empty()) {
        const sim::WireReport report = file->queued.front();
        file->queued.pop_front();
        Drain(*file->node);
        const std::size_t size = std::min<std::size_t>(report.size() - 1, buffer->data_len);
        std::memcpy(buffer->data, report.data() + 1, size);
        umockdev_ioctl_client_complete(client, static_cast<glong>(size), 0);
        return;
    }
    umockdev_ioctl_client_complete(client, -1, Gone(file) ? ENODEV : EAGAIN);
}

void HidrawTwin::Write(UMockdevIoctlClient* client) {
    std::unique_lock lock(mutex_);
    UMockdevIoctlData* buffer = umockdev_ioctl_client_get_arg(client);
    OpenFile* file = FileOf(client);
    if (Gone(file)) {
        umockdev_ioctl_client_complete(client, -1, ENODEV);
        return;
    }
    const auto size = static_cast<std::size_t>(buffer->data_len);
    std::vector<std::uint8_t> sent(buffer->data, buffer->data + size);
    if (!sent.empty() && sent[0] == 0) sent.erase(sent.begin());
    // What reached the device, as the model takes a report: ID 0 in front.
    sent.insert(sent.begin(), 0);
    switch (host_.Write(file->handle, sent)) {
        case Transfer::kCompleted:
            umockdev_ioctl_client_complete(client, static_cast<glong>(size), 0);
            return;
        case Transfer::kTimedOut:
            // The device never takes it. hidraw cannot cancel a write: the writer is held
            // until usbhid's interrupt transfer gives up after its own 5 s.
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(kUsbWriteTimeoutMs));
            umockdev_ioctl_client_complete(client, -1, ETIMEDOUT);
            return;
        case Transfer::kFailed:
            umockdev_ioctl_client_complete(client, -1, EPIPE);
            return;
    }
}

gboolean HidrawTwin::Ioctl(UMockdevIoctlClient* client) {
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    if (request == HIDIOCGRDESCSIZE) {
        GError* error = nullptr;
        UMockdevIoctlData* size = umockdev_ioctl_data_resolve(arg, 0, sizeof(int), &error);
        if (!size) {
            g_clear_error(&error);
            umockdev_ioctl_client_complete(client, -1, EFAULT);
            return TRUE;
        }
        const int bytes = sizeof kReportDescriptor;
        std::memcpy(size->data, &bytes, sizeof bytes);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }
    umockdev_ioctl_client_complete(client, -1, ENOTTY);
    return TRUE;
}

OpenFile* HidrawTwin::FileOf(UMockdevIoctlClient* client) {
    const auto found = files_.find(client);
    return found == files_.end() ? nullptr : &found->second;
}

bool HidrawTwin::Gone(const OpenFile* file) {
    HidAttributes attributes;
    return !file || !file->node || !file->node->present || !file->handle ||
           !host_.Attributes(file->handle, attributes);
}

void HidrawTwin::Signal(Node& node) {
    const char byte = 1;
    if (write(node.fifo, &byte, 1) != 1) std::perror("qvt-twin-linux: signalling a reply");
}

void HidrawTwin::Drain(Node& node) {
    char byte;
    if (read(node.fifo, &byte, 1) != 1 && errno != EAGAIN) {
        std::perror("qvt-twin-linux: draining a reply");
    }
}

void HidrawTwin::Add(const TwinHid& hid) {
    auto node = std::make_unique<Node>();
    node->path = hid.path;
    node->number = next_number_++;
    const std::string n = std::to_string(node->number);
    const std::string vid = Hex4(hid.attributes.vendor_id), pid = Hex4(hid.attributes.product_id);
    const std::string upper_vid = "0000" + vid, upper_pid = "0000" + pid;
    char* usb = umockdev_testbed_add_device(
        testbed_, "usb", ("1-" + n).c_str(), nullptr, "idVendor", vid.c_str(), "idProduct",
        pid.c_str(), "bcdDevice", Hex4(hid.attributes.version).c_str(), "manufacturer", "QVT",
        "product", "QVT-40 R3 boot loader", "serial", n.c_str(), nullptr, "DEVTYPE", "usb_device",
        "PRODUCT", (vid + "/" + pid + "/1").c_str(), nullptr);
    char* interface = umockdev_testbed_add_device(testbed_, "usb", ("1-" + n + ":1.0").c_str(), usb,
                                                  "bInterfaceNumber", "00", "bInterfaceClass", "03",
                                                  nullptr, "DEVTYPE", "usb_interface", nullptr);
    char id_text[32];
    std::snprintf(id_text, sizeof id_text, "0003:%08X:%08X", hid.attributes.vendor_id,
                  hid.attributes.product_id);
    char hid_name[32];
    std::snprintf(hid_name, sizeof hid_name, "0003:%04X:%04X.%04X", hid.attributes.vendor_id,
                  hid.attributes.product_id, node->number + 1);
    char* hid_device = umockdev_testbed_add_device(
        testbed_, "hid", hid_name, interface, nullptr, "HID_ID", id_text, "HID_NAME",
        "QVT QVT-40 R3 boot loader", "HID_UNIQ", n.c_str(), nullptr);
    umockdev_testbed_set_attribute_binary(testbed_, hid_device, "report_descriptor",
                                          kReportDescriptor, sizeof kReportDescriptor);
    char* hidraw = umockdev_testbed_add_device(testbed_, "hidraw", ("hidraw" + n).c_str(),
                                               hid_device, "dev", ("241:" + n).c_str(), nullptr,
                                               "DEVNAME", ("/dev/hidraw" + n).c_str(), "MAJOR",
                                               "241", "MINOR", n.c_str(), nullptr);
    for (char* path : {usb, interface, hid_device, hidraw}) {
        node->sysfs.push_back(path ? path : "");
        g_free(path);
    }
    // The node is a FIFO, so that poll() waits as it does on a real hidraw node.
    char* root = umockdev_testbed_get_root_dir(testbed_);
    const std::string file = std::string(root) + "/dev/hidraw" + n;
    g_free(root);
    unlink(file.c_str());
    if (mkfifo(file.c_str(), 0666) != 0) std::perror("qvt-twin-linux: mkfifo");
    node->fifo = open(file.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    node->handler = umockdev_ioctl_base_new();
    g_signal_connect(node->handler, "client-connected", G_CALLBACK(OnConnected), this);
    g_signal_connect(node->handler, "handle-read", G_CALLBACK(OnRead), this);
    g_signal_connect(node->handler, "handle-write", G_CALLBACK(OnWrite), this);
    g_signal_connect(node->handler, "handle-ioctl", G_CALLBACK(OnIoctl), this);
    GError* error = nullptr;
    if (!umockdev_testbed_attach_ioctl(testbed_, ("/dev/hidraw" + n).c_str(), node->handler,
                                       &error)) {
        std::fprintf(stderr, "qvt-twin-linux: %s\n", error->message);
        g_clear_error(&error);
    }
    nodes_[hid.path] = std::move(node);
}

void HidrawTwin::Remove(Node& node) {
    node.present = false;
    umockdev_testbed_uevent(testbed_, node.sysfs.back().c_str(), "remove");
    for (auto path = node.sysfs.rbegin(); path != node.sysfs.rend(); ++path) {
        umockdev_testbed_remove_device(testbed_, path->c_str());
    }
    char* root = umockdev_testbed_get_root_dir(testbed_);
    unlink((std::string(root) + "/dev/hidraw" + std::to_string(node.number)).c_str());
    g_free(root);
    // A gone device polls readable for good, so that a waiting read learns of it at once.
    Signal(node);
}

}  // namespace qvt::twin
