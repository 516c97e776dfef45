// Lattice data for analysis: p of chosen steps as a (frames, rows, cols)
// .npy, the stoma J of the same steps as a (frames, stomata) .npy, and a JSON
// file beside them naming every parameter, the seed, the stoma positions and
// the step of each frame.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "datafile/npy_writer.h"
#include "model/model_state.h"

namespace ombrisk {

struct FieldFileNames {
  std::string p;     // as given
  std::string j;     // BASE_j.npy
  std::string json;  // BASE.json
};

// BASE is the given name without a final ".npy".
FieldFileNames field_file_names(const std::string& p_file);

struct FieldChange {
  int step = 0;  // the change applies to the steps after this one
  std::string field;
  double value = 0.0;
};

class FieldRecording {
 public:
  // Creates both arrays for the model's lattice and stomata and notes the
  // set-up as it is now. On failure returns the message and records nothing.
  std::string open(const std::string& p_file, const ModelState& m, std::uint32_t seed);
  bool is_open() const { return p_.is_open(); }

  // A field set while recording, from `step` on: the JSON lists it, so the
  // parameters of every frame can be told.
  void note_change(int step, std::string_view field, double value);

  // The model's p and J now, as the next frame; the message on failure.
  std::string add_frame(const ModelState& m);

  // Fixes both headers and writes the JSON; the message on failure. Nothing
  // to do when not open.
  std::string close();

  const FieldFileNames& names() const { return names_; }

 private:
  FieldFileNames names_;
  NpyWriter p_;
  NpyWriter j_;
  ModelState model_;  // the set-up when the recording began, without the grids
  std::uint32_t seed_ = 0;
  std::vector<int> steps_;
  std::vector<FieldChange> changes_;
};

// The JSON text for a recording that began with the set-up of `m`, with
// frames at `steps` and the fields set meanwhile.
std::string field_json(const ModelState& m, std::uint32_t seed, const FieldFileNames& names,
                       const std::vector<int>& steps, const std::vector<FieldChange>& changes);

}  // namespace ombrisk
