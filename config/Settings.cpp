#include "config/Settings.h"

namespace quelt {

namespace {
std::int32_t readLe32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
        static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24);
}
void writeLe32(std::uint8_t* p, std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}
}  // namespace

WindowPlacement PlacementRecord::get(PlacementSlot slot) const {
    const std::uint8_t* p = bytes.data() + kFirstSlot + kSlotSize * static_cast<size_t>(slot);
    WindowPlacement w;
    std::int32_t* fields[] = {&w.length, &w.flags, &w.showCmd, &w.minX,  &w.minY,  &w.maxX,
                              &w.maxY,   &w.left,  &w.top,     &w.right, &w.bottom};
    for (size_t i = 0; i < 11; ++i)
        *fields[i] = readLe32(p + 4 * i);
    return w;
}

void PlacementRecord::set(PlacementSlot slot, const WindowPlacement& w) {
    std::uint8_t* p = bytes.data() + kFirstSlot + kSlotSize * static_cast<size_t>(slot);
    const std::int32_t fields[] = {w.length, w.flags, w.showCmd, w.minX,  w.minY,  w.maxX,
                                   w.maxY,   w.left,  w.top,     w.right, w.bottom};
    for (size_t i = 0; i < 11; ++i)
        writeLe32(p + 4 * i, fields[i]);
}

}  // namespace quelt
