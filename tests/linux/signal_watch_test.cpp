#include "signal_watch.h"

#include <gtest/gtest.h>

#include <csignal>

namespace qvt::linux_app {
namespace {

TEST(SignalWatch, ASignalSentToTheProcessIsACloseRequestEvenWhenItNamesAFault) {
    SignalWatch watch;
    EXPECT_EQ(watch.Take(), 0);
    // raise() sends it as kill(2) would: a request, whatever its name.
    for (int signal : {SIGQUIT, SIGSEGV, SIGBUS, SIGFPE, SIGRTMAX}) {
        std::raise(signal);
        EXPECT_EQ(watch.Take(), signal);
        EXPECT_EQ(watch.Take(), 0);  // taken once
    }
}

TEST(SignalWatch, AFaultTheKernelRaisesStillEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            SignalWatch watch;
            volatile int* nowhere = nullptr;
            *nowhere = 1;
        },
        "");
}

TEST(SignalWatch, ItsEndGivesBackTheFormerHandlers) {
    { SignalWatch watch; }
    struct sigaction now = {};
    sigaction(SIGUSR1, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
    sigaction(SIGPIPE, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace qvt::linux_app
