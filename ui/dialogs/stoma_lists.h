// The two position lists of the Stomata dialog as text: one five-character
// field per stoma, read back with "%i" conversions. Free of any toolkit.
#pragma once

#include <string>
#include <vector>

namespace ombrisk {

// "%5i" for each of the first `count` values, with nothing between the fields
// and no line break. An empty table gives an empty text.
std::string format_stoma_list(const std::vector<int>& values, int count);

// Reads up to `count` numbers from `text` into values[0 ... count-1], one "%i"
// conversion each from where the previous one ended. Where no number can be
// read the entry keeps its value, and so does every later entry; text after
// the count-th number is ignored. Returns the indices, in table order, of the
// entries that end up outside [0, bound) (unread entries are tested too).
// Linear in the length of the text. Both functions stop at the end of
// `values` should it hold fewer than `count` entries.
std::vector<int> read_stoma_list(const std::string& text, std::vector<int>& values, int count,
                                 int bound);

}  // namespace ombrisk
