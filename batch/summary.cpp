#include "batch/summary.h"

#include "datafile/c_text.h"
#include "model/fields.h"
#include "model/version.h"

namespace ombrisk::batch {

namespace {

std::string number(double v) { return c_format("%.17g", v); }

}  // namespace

std::string csv_cell(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string out = "\"";
  for (const char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string summary_header(const std::vector<std::string>& extra_columns) {
  std::string h = "version,exit_status,manifest_row,seed,rows,cols,stomata,border,spacing";
  for (const SettableField& f : settable_fields()) h.append(",").append(f.name);
  h += ",open_threshold,steps_run,step,mean_j,total_j,open_fraction,mean_p,p_min,p_max,"
       "diverged,diverged_step";
  for (const std::string& c : extra_columns) h.append(",").append(csv_cell(c));
  return h + "\n";
}

std::string summary_row(const ModelState& m, const RunRecord& r) {
  std::string row = csv_cell(ombrisk_version());
  row += c_format(",%d,", r.status);
  if (r.manifest_row > 0) row += std::to_string(r.manifest_row);
  row += c_format(",%u,%d,%d,%d,%d,", r.seed, m.rows, m.cols, m.stomata.stoma_count, m.border);
  row += number(m.spacing);
  for (const SettableField& f : settable_fields()) {
    row += ",";
    row += f.kind == FieldKind::flag ? std::to_string(static_cast<int>(f.get(m))) : number(f.get(m));
  }
  const Observables o = observe(m, r.observe);
  row += c_format(",%.17g,%lld,%d,%.17g,%.17g,%.17g,%.17g,%.17g,%.17g,",
                  open_threshold(m, r.observe), r.facts.steps_run, m.step, o.stomata.mean_j,
                  o.stomata.total_j, o.stomata.open_fraction, o.mean_p, o.p_min, o.p_max);
  if (r.facts.diverged_step >= 0) {
    row += c_format("1,%d", r.facts.diverged_step);
  } else {
    row += "0,";
  }
  for (const std::string& v : r.extra_values) row.append(",").append(csv_cell(v));
  row += '\n';
  return row;
}

bool opens_with_header(std::string start, const std::string& header) {
  start = start.substr(0, start.find('\n'));
  if (!start.empty() && start.back() == '\r') start.pop_back();
  return start == header.substr(0, header.find('\n'));
}

std::string other_columns_text(const std::string& path) {
  return "ombrisk-batch: " + path +
         " holds other columns than this run's summary; give another --summary file";
}

}  // namespace ombrisk::batch
