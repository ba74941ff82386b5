#pragma once

#include <windows.h>

#include "image_resource.h"

namespace qvt::win32 {

// RCDATA 201 and 202 of a module: by default the running program's own.
// Can: find, load and lock them, as the product always has. Cannot: read an image from
// anywhere else (a file beside the program is never taken).
class WinImageResource final : public ImageResource {
  public:
    explicit WinImageResource(HMODULE module = GetModuleHandleW(nullptr)) : module_(module) {}
    std::optional<std::span<const std::uint8_t>> Load() override;
    std::optional<std::span<const std::uint8_t>> LoadDigest() override;

  private:
    std::optional<std::span<const std::uint8_t>> LoadRcdata(int id);

    HMODULE module_;
};

}  // namespace qvt::win32
