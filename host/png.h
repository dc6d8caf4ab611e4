#pragma once
// A minimal PNG writer (8-bit RGB, stored deflate blocks): enough for screenshots, with
// no library behind it.
#include <cstdint>
#include <string>
#include <vector>

namespace vexlo::png {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t Adler32(const std::uint8_t* data, std::size_t size);

// rgb holds width * height pixels, three bytes each, rows from the top.
std::vector<std::uint8_t> Encode(int width, int height, const std::vector<std::uint8_t>& rgb);
bool WriteFile(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);

}  // namespace vexlo::png
