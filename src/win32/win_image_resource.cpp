#include "win_image_resource.h"

#include "firmware_layout.h"

namespace qvt::win32 {

std::optional<std::span<const std::uint8_t>> WinImageResource::Load() {
    HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(kImageResourceId),
                                MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!found) return std::nullopt;
    HGLOBAL loaded = LoadResource(module_, found);
    if (!loaded) return std::nullopt;
    const void* bytes = LockResource(loaded);
    if (!bytes) return std::nullopt;
    return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(bytes),
                                         SizeofResource(module_, found));
}

}  // namespace qvt::win32
