#pragma once

// A console session in-process, as the program runs it, with its transcript and status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "backend.h"
#include "sessions.h"

namespace qvt::linux_app {

struct Transcript {
    int status = -1;
    std::string out;
    std::string err;
};

inline Transcript Session(std::vector<std::string_view> arguments,
                          const char* scenario_json = nullptr,
                          std::unique_ptr<ImageResource> resource = nullptr,
                          const LogTarget* log = nullptr) {
    std::string path;
    if (scenario_json) {
        path = ::testing::TempDir() + "console-scenario-" + std::to_string(getpid()) + ".json";
        std::ofstream(path) << scenario_json;
        arguments.push_back("--scenario");
        arguments.push_back(path);
    }
    const auto options = ParseOptions(arguments);
    EXPECT_TRUE(options) << options.error();
    auto backend = Backend::Create(*options);
    EXPECT_TRUE(backend) << backend.error();
    if (resource) (*backend)->ReplaceResource(std::move(resource));
    std::ostringstream out, err;
    Transcript transcript;
    transcript.status = RunConsole(*options, **backend, out, err, log);
    transcript.out = out.str();
    transcript.err = err.str();
    if (!path.empty()) std::remove(path.c_str());
    return transcript;
}

}  // namespace qvt::linux_app
