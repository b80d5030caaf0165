#include "config/Settings.h"

#include "platform/LittleEndian.h"

namespace quelt {

WindowPlacement PlacementRecord::get(PlacementSlot slot) const {
    const std::uint8_t* p = bytes.data() + kFirstSlot + kSlotSize * static_cast<size_t>(slot);
    WindowPlacement w;
    std::int32_t* fields[] = {&w.length, &w.flags, &w.showCmd, &w.minX,  &w.minY,  &w.maxX,
                              &w.maxY,   &w.left,  &w.top,     &w.right, &w.bottom};
    for (size_t i = 0; i < 11; ++i)
        *fields[i] = readLeI32(p + 4 * i);
    return w;
}

void PlacementRecord::set(PlacementSlot slot, const WindowPlacement& w) {
    std::uint8_t* p = bytes.data() + kFirstSlot + kSlotSize * static_cast<size_t>(slot);
    const std::int32_t fields[] = {w.length, w.flags, w.showCmd, w.minX,  w.minY,  w.maxX,
                                   w.maxY,   w.left,  w.top,     w.right, w.bottom};
    for (size_t i = 0; i < 11; ++i)
        writeLe32(p + 4 * i, static_cast<std::uint32_t>(fields[i]));
}

}  // namespace quelt
