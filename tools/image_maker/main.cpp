// qvt-image-maker: turns a plain firmware image into the scrambled resource that the updater
// embeds. The maintainers' release step for a new firmware.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "scramble.h"
#include "sha256.h"
#include "version_text.h"

namespace {

constexpr const char* kUsage =
    "usage: qvt-image-maker PLAIN_IMAGE VERSION TABLE OUTPUT DIGEST [--tag TEXT]\n"
    "  PLAIN_IMAGE  24832 bytes: program area for flash 0x0000-0x5FFF, then the 256-byte trailer\n"
    "  VERSION      major.minor in hexadecimal digits, as in the window title (3.10 = 0x0310)\n"
    "  TABLE        the 256-byte descrambling table (a permutation of 0..255)\n"
    "  OUTPUT       the 24848-byte image resource to write (RCDATA 201)\n"
    "  DIGEST       the SHA-256 of the plain image to write, 32 bytes (RCDATA 202)\n"
    "  --tag TEXT   product tag of at most 14 bytes (default \"QVT-40 R3\")\n";

bool ReadFile(const char* path, std::vector<std::uint8_t>& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "qvt-image-maker: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<const char*> positional;
    std::string tag_text = "QVT-40 R3";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tag") == 0 && i + 1 < argc) {
            tag_text = argv[++i];
        } else if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            positional.push_back(argv[i]);
        }
    }
    if (positional.size() != 5) {
        std::fputs(kUsage, stderr);
        return 64;
    }
    std::vector<std::uint8_t> plain, table;
    if (!ReadFile(positional[0], plain)) return Fail(std::string("cannot read ") + positional[0]);
    if (plain.size() != qvt::tools::kPlainImageSize) {
        return Fail(std::string(positional[0]) + " has " + std::to_string(plain.size()) +
                    " bytes; a plain image has exactly " +
                    std::to_string(qvt::tools::kPlainImageSize));
    }
    const auto version = qvt::ParseVersion(positional[1]);
    if (!version) {
        return Fail(std::string("\"") + positional[1] + "\" is not a version such as 3.10");
    }
    if (!ReadFile(positional[2], table)) return Fail(std::string("cannot read ") + positional[2]);
    if (const qvt::Result<void> usable = qvt::tools::CheckTable(table); !usable) {
        return Fail(std::string(positional[2]) + ": " + usable.error());
    }
    if (tag_text.size() > qvt::tools::kProductTagSize) {
        return Fail("the product tag \"" + tag_text + "\" is longer than 14 bytes");
    }
    std::array<std::uint8_t, qvt::tools::kProductTagSize> tag{};
    std::memcpy(tag.data(), tag_text.data(), tag_text.size());

    const auto resource = qvt::tools::ScrambleImage(
        std::span<const std::uint8_t, qvt::tools::kPlainImageSize>(plain.data(), plain.size()),
        *version, tag, std::span<const std::uint8_t, 256>(table.data(), 256));
    std::ofstream out(positional[3], std::ios::binary);
    out.write(reinterpret_cast<const char*>(resource.data()),
              static_cast<std::streamsize>(resource.size()));
    if (!out) return Fail(std::string("cannot write ") + positional[3]);
    // The updater refuses an image whose descrambled bytes do not hash to this.
    const auto digest = qvt::Sha256(plain);
    std::ofstream digest_out(positional[4], std::ios::binary);
    digest_out.write(reinterpret_cast<const char*>(digest.data()),
                     static_cast<std::streamsize>(digest.size()));
    if (!digest_out) return Fail(std::string("cannot write ") + positional[4]);
    std::printf("wrote %s: %zu bytes, version %s\n", positional[3], resource.size(),
                qvt::FormatVersion(*version).c_str());
    return 0;
}
