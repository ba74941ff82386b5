#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "real_clock.h"
#include "scenario.h"
#include "twin_host.h"
#include "twin_protocol.h"
#include "twin_windows.h"
#include "unique_handle.h"
#include "wire_format.h"

namespace qvt::twin {
namespace {

using NTSTATUS = LONG;

constexpr NTSTATUS kSuccess = 0;
constexpr NTSTATUS kUnsuccessful = static_cast<NTSTATUS>(0xC0000001L);
constexpr NTSTATUS kNoSuchDevice = static_cast<NTSTATUS>(0xC000000EL);
constexpr NTSTATUS kSharingViolation = static_cast<NTSTATUS>(0xC0000043L);
constexpr NTSTATUS kInvalidDeviceRequest = static_cast<NTSTATUS>(0xC0000010L);
constexpr NTSTATUS kInvalidBufferSize = static_cast<NTSTATUS>(0xC0000206L);
constexpr NTSTATUS kNotConnected = static_cast<NTSTATUS>(0xC000009DL);
constexpr DWORD kGetCollectionInformation = 0x000B01A8;  // what HidD_GetAttributes sends

// HID_COLLECTION_INFORMATION as the class driver answers it.
#pragma pack(push, 1)
struct CollectionInformation {
    ULONG descriptor_size;
    BOOLEAN polled;
    UCHAR reserved;
    USHORT vendor;
    USHORT product;
    USHORT version;
};
#pragma pack(pop)

class Player {
  public:
    Player(HANDLE control, TwinHost& host) : control_(control), host_(host) {}

    void Show() {
        const Inventory now = host_.Look();
        if (shown_ && now == *shown_) return;
        TwinShow show{};
        for (int number : now.app_objects) show.app_objects |= 1u << number;
        for (const TwinHid& hid : now.hids) {
            auto [entry, added] = child_ids_.try_emplace(hid.path, next_child_);
            if (added) ++next_child_;
            if (show.child_count == TWIN_MAX_CHILDREN) break;
            show.children[show.child_count++] = {entry->second, hid.attributes.vendor_id,
                                                 hid.attributes.product_id, hid.attributes.version,
                                                 0};
        }
        // Wine sends no close for a file left open on a device object that is deleted: its
        // handles are finished here, or the unit's object would stay held for good.
        for (auto it = handles_.begin(); it != handles_.end();) {
            const std::uint32_t device = it->second.device;
            bool stays = false;
            if (device & TWIN_CHILD_FLAG) {
                for (std::uint32_t i = 0; i < show.child_count; ++i) {
                    stays |= (TWIN_CHILD_FLAG | show.children[i].id) == device;
                }
            } else {
                stays = (show.app_objects >> device) & 1;
            }
            if (stays) {
                ++it;
                continue;
            }
            host_.Close(it->second.handle);
            std::erase_if(reads_, [&](const TwinRequest& r) { return r.handle == it->first; });
            it = handles_.erase(it);
        }
        DWORD bytes = 0;
        const BOOL shown = DeviceIoControl(control_, TWIN_IOCTL_SHOW, &show, sizeof show, nullptr,
                                           0, &bytes, nullptr);
        if (trace_) {
            std::fprintf(stderr, "show: objects %#x, %u children%s\n", show.app_objects,
                         show.child_count, shown ? "" : " (refused)");
        }
        shown_ = now;
    }

    void Handle(const TwinRequest& request) {
        if (trace_) {
            std::fprintf(stderr, "request %u: kind %u device %#x handle %u code %#x in %u out %u\n",
                         request.serial, request.kind, request.device, request.handle, request.code,
                         request.in_size, request.out_size);
        }
        switch (request.kind) {
            case TWIN_OPEN:
                return Open(request);
            case TWIN_CLOSE:
                host_.Close(Of(request.handle));
                handles_.erase(request.handle);
                std::erase_if(reads_,
                              [&](const TwinRequest& r) { return r.handle == request.handle; });
                return;
            case TWIN_CONTROL:
                return Control(request);
            case TWIN_WRITE:
                return Write(request);
            case TWIN_READ:
                if (request.out_size < sim::wire::kReportBytes) {
                    Answer(request.serial, kInvalidBufferSize);
                } else {
                    reads_.push_back(request);
                }
                return;
            case TWIN_CANCEL:
                std::erase_if(reads_,
                              [&](const TwinRequest& r) { return r.serial == request.serial; });
                return;
            default:
                return;
        }
    }

    bool ReadsWaiting() const { return !reads_.empty(); }

    // Reads waiting for a report get one as soon as the unit's reply reaches their handle.
    void ServeReads() {
        for (auto read = reads_.begin(); read != reads_.end();) {
            sim::WireReport report{};
            const TwinHost::Handle handle = Of(read->handle);
            const TwinHost::Input input = host_.TakeInput(handle, report);
            if (input == TwinHost::Input::kNothing) {
                ++read;
                continue;
            }
            if (input == TwinHost::Input::kGone) {
                Answer(read->serial, kNotConnected);
            } else if (!Answer(read->serial, kSuccess, report.data(), report.size())) {
                host_.GiveBack(handle, report);  // cancelled meanwhile: the next read's
            }
            read = reads_.erase(read);
        }
    }

  private:
    TwinHost::Handle Of(std::uint32_t handle) const {
        const auto found = handles_.find(handle);
        return found == handles_.end() ? 0 : found->second.handle;
    }

    bool Answer(std::uint32_t serial, NTSTATUS status, const void* data = nullptr,
                std::size_t size = 0) {
        TwinAnswer answer{};
        answer.serial = serial;
        answer.status = status;
        answer.size = static_cast<std::uint32_t>(size);
        if (data && size)
            std::memcpy(answer.data, data, std::min<std::size_t>(size, TWIN_DATA_BYTES));
        DWORD bytes = 0;
        return DeviceIoControl(control_, TWIN_IOCTL_ANSWER, &answer, sizeof answer, nullptr, 0,
                               &bytes, nullptr);
    }

    void Open(const TwinRequest& request) {
        TwinHost::Handle handle = 0;
        if (request.device & TWIN_CHILD_FLAG) {
            const std::uint32_t id = request.device & ~TWIN_CHILD_FLAG;
            for (const auto& [path, child] : child_ids_) {
                if (child == id) handle = host_.OpenHid(path);
            }
            if (!handle) return void(Answer(request.serial, kNoSuchDevice));
        } else {
            handle = host_.OpenObject(static_cast<int>(request.device));
            if (!handle) return void(Answer(request.serial, kSharingViolation));
        }
        if (trace_) std::fprintf(stderr, "opened: handle %u\n", handle);
        handles_[request.handle] = {handle, request.device};
        if (!Answer(request.serial, kSuccess)) {
            host_.Close(handle);
            handles_.erase(request.handle);
        }
    }

    void Control(const TwinRequest& request) {
        const TwinHost::Handle handle = Of(request.handle);
        if (request.device & TWIN_CHILD_FLAG) {
            HidAttributes attributes;
            if (request.code != kGetCollectionInformation) {
                return void(Answer(request.serial, kInvalidDeviceRequest));
            }
            if (request.out_size < sizeof(CollectionInformation) ||
                !host_.Attributes(handle, attributes)) {
                return void(Answer(request.serial, kNotConnected));
            }
            const CollectionInformation info{
                0, FALSE, 0, attributes.vendor_id, attributes.product_id, attributes.version};
            return void(Answer(request.serial, kSuccess, &info, sizeof info));
        }
        std::uint8_t out[TWIN_DATA_BYTES] = {};
        std::size_t returned = 0;
        const std::size_t in_size = std::min<std::size_t>(request.in_size, TWIN_DATA_BYTES);
        const std::size_t out_size = std::min<std::size_t>(request.out_size, TWIN_DATA_BYTES);
        if (!host_.IoControl(handle, request.code, {request.data, in_size}, {out, out_size},
                             returned)) {
            return void(Answer(request.serial, kUnsuccessful));
        }
        Answer(request.serial, kSuccess, out, returned);
    }

    void Write(const TwinRequest& request) {
        if (request.in_size > TWIN_DATA_BYTES)
            return void(Answer(request.serial, kInvalidBufferSize));
        switch (host_.Write(Of(request.handle), {request.data, request.in_size})) {
            case Transfer::kCompleted:
                Answer(request.serial, kSuccess, nullptr, request.in_size);
                return;
            case Transfer::kFailed:
                Answer(request.serial, kUnsuccessful);
                return;
            case Transfer::kTimedOut:
                return;  // the unit does not take it: pending until the caller cancels it
        }
    }

    HANDLE control_;
    TwinHost& host_;
    const bool trace_ = std::getenv("QVT_TWIN_TRACE") != nullptr;
    std::optional<Inventory> shown_;
    std::map<std::string, std::uint32_t> child_ids_;
    std::uint32_t next_child_ = 1;
    struct Opened {
        TwinHost::Handle handle;
        std::uint32_t device;  // as the driver names it
    };
    std::map<std::uint32_t, Opened> handles_;
    std::vector<TwinRequest> reads_;
};

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

int Play(const std::string& scenario_file, const std::string& folder) {
    auto loaded = sim::LoadScenarioFile(scenario_file);
    if (!loaded) {
        std::fprintf(stderr, "qvt-twin: %s\n", loaded.error().c_str());
        return 64;
    }
    // The device host starts the driver a moment after its installation returns.
    win32::UniqueHandle<win32::FileTraits> fetch, reply;
    for (int tries = 0; tries < 150 && !fetch; ++tries) {
        fetch.reset(CreateFileW(TWIN_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (!fetch) Sleep(100);
    }
    reply.reset(CreateFileW(TWIN_CONTROL_PATH, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr));
    if (!fetch || !reply) {
        std::fprintf(stderr, "qvt-twin: the twin's driver is not running (error %lu)\n",
                     GetLastError());
        return 1;
    }
    RealClock clock;
    TwinHost host(clock, std::move(*loaded));
    Player player(reply.get(), host);
    player.Show();
    // Wine lists a new child about 50 ms after it is added.
    Sleep(200);
    std::ofstream(folder + "/ready") << "ready\n";

    win32::UniqueHandle<win32::KernelTraits> event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    TwinRequest request{};
    OVERLAPPED overlapped{};
    bool fetching = false;
    std::uint64_t looked_at = 0;
    while (true) {
        if (!fetching) {
            overlapped = {};
            overlapped.hEvent = event.get();
            ResetEvent(event.get());
            if (!DeviceIoControl(fetch.get(), TWIN_IOCTL_NEXT, nullptr, 0, &request, sizeof request,
                                 nullptr, &overlapped) &&
                GetLastError() != ERROR_IO_PENDING) {
                std::fprintf(stderr, "qvt-twin: fetching a request failed (error %lu)\n",
                             GetLastError());
                return 1;
            }
            fetching = true;
        }
        // A read waiting for its reply is looked at every millisecond, as a unit's reply comes
        // at once; with none, the bench changes only as the scenario's events come, and a look
        // every 20 ms spares the CPU that the programs and the builds beside them need.
        if (WaitForSingleObject(event.get(), player.ReadsWaiting() ? 1 : 20) == WAIT_OBJECT_0) {
            DWORD bytes = 0;
            fetching = false;
            if (GetOverlappedResult(fetch.get(), &overlapped, &bytes, FALSE) &&
                bytes == sizeof request) {
                player.Handle(request);
            }
            continue;  // drain what is queued before looking around
        }
        player.ServeReads();
        player.Show();
        if (clock.NowMs() - looked_at >= 100) {
            looked_at = clock.NowMs();
            if (Exists(folder + "/stop")) break;
        }
    }
    CancelIo(fetch.get());
    std::ofstream account(folder + "/account.txt", std::ios::binary);
    for (const std::string& line : host.Account()) account << line << "\n";
    account << "current: " << (host.UnitCurrent(0) ? "yes" : "no") << "\n";
    return 0;
}

}  // namespace qvt::twin
