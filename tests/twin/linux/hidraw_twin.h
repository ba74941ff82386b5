#pragma once

// The units of the twin's host as hidraw nodes under umockdev: their sysfs chains, their nodes,
// and the kernel's part of every read and write on them.
#include <umockdev.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "twin_host.h"
#include "wire_format.h"

namespace qvt::twin {

// One HID interface as the kernel shows it: its sysfs chain, its node, and the files open on it.
struct Node {
    std::string path;                // the model's
    int number = 0;                  // hidraw<number>
    std::vector<std::string> sysfs;  // usb device, interface, hid, hidraw: parents first
    int fifo = -1;                   // the testbed's own end of the node's FIFO
    bool present = true;
    UMockdevIoctlBase* handler = nullptr;
};

struct OpenFile {
    Node* node = nullptr;
    TwinHost::Handle handle = 0;
    std::deque<sim::WireReport> queued;  // replies read from the unit, not yet by the program
};

class HidrawTwin {
  public:
    HidrawTwin(UMockdevTestbed* testbed, TwinHost& host) : testbed_(testbed), host_(host) {}
    // Shows the system what the units' host lists now, and hands out what reached the
    // programs' files.
    void Follow();

  private:
    static gboolean OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static gboolean OnRead(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static gboolean OnWrite(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self);
    Node* NodeOf(UMockdevIoctlClient* client);
    void Connected(UMockdevIoctlClient* client);

    // The kernel hands out one report per read, without the report-ID byte of a device that
    // numbers none; a read with nothing queued would block, so it answers as a non-blocking
    // one does and the caller's poll decides how long to wait.
    void Read(UMockdevIoctlClient* client);

    // A report ID of 0 is not sent to a device that numbers no reports: the kernel drops that
    // byte, and the device receives the rest.
    void Write(UMockdevIoctlClient* client);
    gboolean Ioctl(UMockdevIoctlClient* client);

    // The file a request came on; null for one the twin never saw open.
    OpenFile* FileOf(UMockdevIoctlClient* client);

    // Whether the file's unit has left (or it never reached one): its reads and writes fail
    // as on a removed device.
    bool Gone(const OpenFile* file);

    // One byte in the node's FIFO per report queued on it: what makes poll() see a reply.
    void Signal(Node& node);
    void Drain(Node& node);
    void Add(const TwinHid& hid);

    // As the kernel takes a device away: the remove event, then the devices, children first.
    // Files still open on it stay connected, and every read on them fails from now on.
    void Remove(Node& node);

    UMockdevTestbed* testbed_;
    TwinHost& host_;
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<Node>> nodes_;
    std::map<UMockdevIoctlClient*, OpenFile> files_;
    int next_number_ = 0;
};

}  // namespace qvt::twin
