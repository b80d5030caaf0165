#pragma once
// The program's own logo, drawn from code: a strip of acoustic picture with a fracture crossing it as
// a sinusoid, a depth track, and the word VEXA in block letters, on a deep blue ground. data/logo.jpg
// is this picture saved as a JPEG (the imaging tests check it and rewrite it on request).

#include <cstdint>
#include <vector>

namespace quelt {

inline constexpr int kLogoWidth = 360;
inline constexpr int kLogoHeight = 140;

// kLogoWidth x kLogoHeight pixels of blue, green and red, top row first.
std::vector<std::uint8_t> drawLogo();

}  // namespace quelt
