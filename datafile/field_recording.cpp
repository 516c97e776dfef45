#include "datafile/field_recording.h"

#include <cmath>
#include <filesystem>

#include "datafile/c_text.h"
#include "datafile/data_file.h"
#include "datafile/file_replace.h"
#include "model/fields.h"
#include "model/version.h"

namespace ombrisk {

namespace {

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20) {
      out += c_format("\\u%04x", u);
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// JSON has no NaN or infinity: such a value is written as null.
std::string json_number(double v) { return std::isfinite(v) ? c_format("%.17g", v) : "null"; }

std::string base_name(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

std::string cannot_write(const std::string& name) {
  return file_error_text(FileError::cannot_write, name);
}

// What the JSON tells of the set-up. The lattice's values are left out: a
// copy of them into fresh memory costs more than several frames.
ModelState setup_without_lattice(const ModelState& m) {
  ModelState s;
  s.rows = m.rows;
  s.cols = m.cols;
  s.cell_count = m.cell_count;
  s.border = m.border;
  s.spacing = m.spacing;
  s.params = m.params;
  s.display = m.display;
  s.stomata.stoma_count = m.stomata.stoma_count;
  s.stomata.stoma_col = m.stomata.stoma_col;
  s.stomata.stoma_row = m.stomata.stoma_row;
  return s;
}

}  // namespace

FieldFileNames field_file_names(const std::string& p_file) {
  std::string base = p_file;
  if (base.size() > 4 && base.compare(base.size() - 4, 4, ".npy") == 0) base.resize(base.size() - 4);
  return {p_file, base + "_j.npy", base + ".json"};
}

std::string field_json(const ModelState& m, std::uint32_t seed, const FieldFileNames& names,
                       const std::vector<int>& steps, const std::vector<FieldChange>& changes) {
  std::string j = "{\n";
  j += "  \"program\": \"ombrisk\",\n";
  j += "  \"version\": " + json_string(ombrisk_version()) + ",\n";
  j += "  \"p_file\": " + json_string(base_name(names.p)) + ",\n";
  j += "  \"j_file\": " + json_string(base_name(names.j)) + ",\n";
  j += c_format("  \"seed\": %u,\n  \"rows\": %d,\n  \"cols\": %d,\n", seed, m.rows, m.cols);
  j += c_format("  \"border\": %d,\n  \"spacing\": %s,\n", m.border, json_number(m.spacing).c_str());
  j += "  \"parameters\": {";
  bool first = true;
  for (const SettableField& f : settable_fields()) {
    j += first ? "\n" : ",\n";
    first = false;
    j += "    " + json_string(std::string(f.name)) + ": " +
         (f.kind == FieldKind::flag ? c_format("%d", static_cast<int>(f.get(m))) : json_number(f.get(m)));
  }
  j += "\n  },\n";
  const StomaTable& t = m.stomata;
  j += c_format("  \"stoma_count\": %d,\n", t.stoma_count);
  j += "  \"stomata\": [";
  for (int i = 0; i < t.stoma_count; ++i) {
    j += i == 0 ? "" : ", ";
    j += c_format("[%d, %d]", t.stoma_col[i], t.stoma_row[i]);
  }
  j += "],\n  \"stoma_position_order\": [\"col\", \"row\"],\n";
  j += "  \"frame_steps\": [";
  for (std::size_t i = 0; i < steps.size(); ++i) j += (i == 0 ? "" : ", ") + std::to_string(steps[i]);
  j += "],\n  \"changes\": [";
  for (std::size_t i = 0; i < changes.size(); ++i) {
    j += i == 0 ? "\n    " : ",\n    ";
    j += c_format("{\"after_step\": %d, \"field\": ", changes[i].step) +
         json_string(changes[i].field) + ", \"value\": " + json_number(changes[i].value) + "}";
  }
  j += changes.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return j;
}

std::string FieldRecording::open(const std::string& p_file, const ModelState& m, std::uint32_t seed) {
  close();
  names_ = field_file_names(p_file);
  steps_.clear();
  changes_.clear();
  if (!p_.open(names_.p, {static_cast<std::size_t>(m.rows), static_cast<std::size_t>(m.cols)})) {
    p_.close();
    return cannot_write(names_.p);
  }
  if (!j_.open(names_.j, {static_cast<std::size_t>(m.stomata.stoma_count)})) {
    p_.close();
    j_.close();
    return cannot_write(names_.j);
  }
  // A rebuild of the lattice ends the recording, so the stomata and the size
  // stay; fields set meanwhile are noted as changes.
  model_ = setup_without_lattice(m);
  seed_ = seed;
  return {};
}

void FieldRecording::note_change(int step, std::string_view field, double value) {
  if (p_.is_open()) changes_.push_back({step, std::string(field), value});
}

std::string FieldRecording::add_frame(const ModelState& m) {
  if (!p_.is_open()) return {};
  if (!p_.append(m.p_current.values.data())) return cannot_write(names_.p);
  if (!j_.append(m.stomata.stoma_j.data())) return cannot_write(names_.j);
  steps_.push_back(m.step);
  return {};
}

std::string FieldRecording::close() {
  if (!p_.is_open()) return {};
  const bool p_ok = p_.close();
  const bool j_ok = j_.close();
  if (!p_ok) return cannot_write(names_.p);
  if (!j_ok) return cannot_write(names_.j);
  const std::string json = field_json(model_, seed_, names_, steps_, changes_);
  if (!replace_file_contents(names_.json, json.data(), json.size())) return cannot_write(names_.json);
  return {};
}

}  // namespace ombrisk
