// A quick PNG encoder for the client-area pictures: 8-bit RGB from 32-bit
// pixels, one pass over the rows and one deflate call. The toolkit's own PNG
// writer goes through zlib, too slow for frames that come many times a second
// beside a full-speed run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ombrisk {

// The PNG file of a width x height picture whose row y starts at
// pixels + y * stride (in pixels), each pixel 0xAARRGGBB with the alpha
// ignored. `level` 1 to 12 is libdeflate's (12 the smallest, above 12 as
// 12); 0 or less codes the bytes alone without looking for repeats, much
// faster than level 1 for somewhat larger files: for frames.
// Empty when the picture is empty or the compressor cannot be had.
std::vector<unsigned char> encode_png_rgb(const std::uint32_t* pixels, int width, int height,
                                          std::ptrdiff_t stride, int level);

}  // namespace ombrisk
