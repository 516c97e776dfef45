// A quick PNG encoder for the client-area pictures: 8-bit RGB from 32-bit
// pixels, one pass to filter the rows and one deflate call. The toolkit's own
// PNG writer spends about 15 ms on an 850 x 830 picture even without
// compression, too much for frames that come many times a second beside a
// full-speed run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ombrisk {

// The PNG file of a width x height picture whose row y starts at
// pixels + y * stride (in pixels), each pixel 0xAARRGGBB with the alpha
// ignored. `level` is the deflate level, 1 to 12 (smallest); 0 or less takes
// no time to look for repeats and codes the bytes alone, about three times as
// fast as level 1 for files as large or a little larger: for frames.
// Empty when the picture is empty or the compressor cannot be had.
std::vector<unsigned char> encode_png_rgb(const std::uint32_t* pixels, int width, int height,
                                          std::ptrdiff_t stride, int level);

}  // namespace ombrisk
