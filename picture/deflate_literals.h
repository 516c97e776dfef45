// A zlib stream of bytes as literals alone, under a Huffman code made for
// them: no search for repeats, so it codes far faster than deflate's
// fastest level, while filtered picture rows (mostly small differences)
// still shrink well. For frames recorded beside a full-speed run.
#pragma once

#include <cstddef>
#include <vector>

namespace ombrisk {

// Writes the zlib stream of `data` at the start of `out`, which it grows as
// needed and never shrinks (so that the next call need not clear it again),
// and returns the stream's length.
std::size_t zlib_literals_only(const std::vector<unsigned char>& data,
                               std::vector<unsigned char>& out);

}  // namespace ombrisk
