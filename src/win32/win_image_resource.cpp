#include "win_image_resource.h"

#include "firmware_layout.h"

namespace qvt::win32 {

std::optional<std::span<const std::uint8_t>> WinImageResource::Load() {
    return LoadRcdata(kImageResourceId);
}

std::optional<std::span<const std::uint8_t>> WinImageResource::LoadDigest() {
    return LoadRcdata(kImageDigestResourceId);
}

std::optional<std::span<const std::uint8_t>> WinImageResource::LoadRcdata(int id) {
    HRSRC found =
        FindResourceW(module_, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!found) return std::nullopt;
    HGLOBAL loaded = LoadResource(module_, found);
    if (!loaded) return std::nullopt;
    const void* bytes = LockResource(loaded);
    if (!bytes) return std::nullopt;
    return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(bytes),
                                         SizeofResource(module_, found));
}

}  // namespace qvt::win32
