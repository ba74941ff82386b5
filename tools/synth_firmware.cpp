// qvt-synth-firmware: makes the synthetic plain image and the descrambling table that stand in
// for the maker's real firmware. Deterministic, so the committed files can be regenerated.
#include <array>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "synthetic_firmware.h"
#include "version_text.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: qvt-synth-firmware VERSION PLAIN_OUT TABLE_OUT\n", stderr);
        return 64;
    }
    const auto version = qvt::ParseVersion(argv[1]);
    if (!version) {
        std::fprintf(stderr, "qvt-synth-firmware: \"%s\" is not a version such as 3.10\n", argv[1]);
        return 64;
    }
    const auto image = qvt::sim::SynthesizeFirmware(*version);
    std::ofstream plain(argv[2], std::ios::binary);
    plain.write(reinterpret_cast<const char*>(image.program.data()), image.program.size());
    plain.write(reinterpret_cast<const char*>(image.trailer.data()), image.trailer.size());

    std::array<std::uint8_t, 256> table{};
    for (std::size_t i = 0; i < table.size(); ++i) table[i] = static_cast<std::uint8_t>(i);
    std::mt19937 random(0x51A7u);  // std::mt19937 is fully specified, so the table is stable
    for (std::size_t i = table.size() - 1; i > 0; --i) {
        const std::size_t j = random() % (i + 1);
        std::swap(table[i], table[j]);
    }
    std::ofstream table_out(argv[3], std::ios::binary);
    table_out.write(reinterpret_cast<const char*>(table.data()), table.size());
    if (!plain || !table_out) {
        std::fputs("qvt-synth-firmware: cannot write the output files\n", stderr);
        return 1;
    }
    return 0;
}
