// logind's inhibitor as the program takes it, against a mock logind on a real D-Bus daemon
// (logind_test.sh starts both and points the system bus there).
#include <gtest/gtest.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "awake_checks.h"
#include "logind_awake_hold.h"

namespace qvt::linux_app {
namespace {

struct Inhibitor {
    std::string what, who, why, mode;
};

// logind's own list of inhibitors, asked over the system bus.
std::vector<Inhibitor> Inhibitors() {
    std::vector<Inhibitor> found;
    sd_bus* bus = nullptr;
    sd_bus_message* reply = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    if (sd_bus_open_system(&bus) >= 0 &&
        sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                           "org.freedesktop.login1.Manager", "ListInhibitors", &error, &reply,
                           "") >= 0 &&
        sd_bus_message_enter_container(reply, 'a', "(ssssuu)") >= 0) {
        const char *what, *who, *why, *mode;
        std::uint32_t uid, pid;
        while (sd_bus_message_read(reply, "(ssssuu)", &what, &who, &why, &mode, &uid, &pid) > 0) {
            found.push_back({what, who, why, mode});
        }
    } else {
        ADD_FAILURE() << "no mock logind on the system bus: "
                      << (error.message ? error.message : "");
    }
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return found;
}

bool ListedAsOurs() {
    for (const Inhibitor& inhibitor : Inhibitors()) {
        if (inhibitor.who == text::kTitle) {
            EXPECT_EQ(inhibitor.what, "sleep:shutdown:idle");
            EXPECT_EQ(inhibitor.why, text::kCloseWhileBusy);
            EXPECT_EQ(inhibitor.mode, "block");
            return true;
        }
    }
    return false;
}

// logind drops an inhibitor when it sees its descriptor closed, in its own time: a hold that
// is still listed is asked again for a while before it counts as held.
bool HeldByUs() {
    for (int asked = 0; asked < 20; ++asked) {
        if (!ListedAsOurs()) return false;
        usleep(10'000);
    }
    return true;
}

TEST(LogindAwakeHold, HeldFromTheBootSwitchUntilTheRunEndsHoweverItEnds) {
    LogindAwakeHold hold;
    testing::ExpectHeldThroughEachRun(hold, HeldByUs);
}

TEST(LogindAwakeHold, WithoutASystemBusTheHoldIsRefusedAtOnce) {
    const std::string bus = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/qvt-test-bus", 1);
    LogindAwakeHold hold;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(hold.Hold("x"));
    hold.Release();  // harmless with nothing held
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.c_str(), 1);
    EXPECT_FALSE(HeldByUs());
}

}  // namespace
}  // namespace qvt::linux_app
