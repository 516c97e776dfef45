#include "batch/manifest.h"

#include <charconv>
#include <fstream>
#include <optional>
#include <sstream>

namespace ombrisk::batch {

namespace {

std::string prefixed(const std::string& message) { return "ombrisk-batch: " + message; }

std::string trimmed(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The set-up columns in the order a run applies them: the lattice, then the
// placement settings, then the stomata; fields and steps are placed apart.
constexpr ActionKind kSetUpOrder[] = {ActionKind::size, ActionKind::border, ActionKind::spacing,
                                      ActionKind::stomata};

bool is_file_action(ActionKind kind) {
  switch (kind) {
    case ActionKind::load:
    case ActionKind::save:
    case ActionKind::trace:
    case ActionKind::png:
    case ActionKind::frames:
    case ActionKind::fields:
      return true;
    default:
      return false;
  }
}

// Fills {row} and {COLUMN} in `text`; the message for an unknown or open one.
std::string fill_placeholders(const std::string& text, const Manifest& manifest, long long row,
                              std::string& out) {
  out.clear();
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find('{', pos);
    if (open == std::string::npos) break;
    const std::size_t close = text.find('}', open);
    if (close == std::string::npos) return "a { without } in " + text;
    out.append(text, pos, open - pos);
    const std::string name = text.substr(open + 1, close - open - 1);
    if (name == "row") {
      out += std::to_string(row);
    } else {
      std::size_t c = 0;
      while (c < manifest.columns.size() && manifest.columns[c] != name) ++c;
      if (c == manifest.columns.size())
        return "unknown placeholder {" + name + "} in " + text +
               " (use {row} or the name of a manifest column)";
      out += manifest.rows[static_cast<std::size_t>(row - 1)][c];
    }
    pos = close + 1;
  }
  out.append(text, pos, std::string::npos);
  return {};
}

}  // namespace

std::string parse_manifest(const std::string& text, const std::string& name, Manifest& out) {
  out = Manifest{};
  out.name = name;
  std::vector<std::vector<std::string>> lines;
  std::vector<std::string> cells;
  std::string cell;
  bool quoted = false;
  bool line_has_content = false;
  std::size_t i = 0;
  const auto end_line = [&] {
    cells.push_back(cell);
    cell.clear();
    lines.push_back(std::move(cells));
    cells.clear();
    line_has_content = false;
  };
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < text.size() && text[i + 1] == '"') {
          cell += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        cell += c;
      }
      continue;
    }
    if (c == '"' && trimmed(cell).empty()) {
      cell.clear();
      quoted = true;
      line_has_content = true;
    } else if (c == ',') {
      cells.push_back(cell);
      cell.clear();
      line_has_content = true;
    } else if (c == '\n' || c == '\r') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      end_line();
    } else {
      cell += c;
      line_has_content = true;
    }
  }
  if (quoted) return prefixed(name + ": a quote is left open at the end of the file");
  if (line_has_content || !cell.empty()) end_line();
  // Blank lines at the very end are no rows.
  while (lines.size() > 1 && lines.back().size() == 1 && trimmed(lines.back()[0]).empty())
    lines.pop_back();

  if (lines.empty() || (lines[0].size() == 1 && trimmed(lines[0][0]).empty()))
    return prefixed(name + ": no header line");
  for (std::string& c : lines[0]) {
    c = trimmed(c);
    if (c.empty()) return prefixed(name + ": a column without a name in the header");
    for (const std::string& earlier : out.columns)
      if (earlier == c) return prefixed(name + ": column " + c + " is named twice");
    out.columns.push_back(c);
  }
  for (std::size_t r = 1; r < lines.size(); ++r) {
    const std::string row = std::to_string(r);
    if (lines[r].size() == 1 && lines[r][0].empty())
      return prefixed(name + ", row " + row + ": an empty line");
    if (lines[r].size() != out.columns.size())
      return prefixed(name + ", row " + row + ": " + std::to_string(lines[r].size()) +
                      " cells, the header has " + std::to_string(out.columns.size()));
    out.rows.push_back(std::move(lines[r]));
  }
  return {};
}

std::string read_manifest(const std::string& path, Manifest& out, bool& unreadable) {
  unreadable = true;
  std::ifstream in(path, std::ios::binary);
  if (!in) return "Cannot find file " + path;
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) return "Cannot find file " + path;
  unreadable = false;
  return parse_manifest(text.str(), path, out);
}

std::string manifest_runs(const Manifest& manifest, const CommandLine& line,
                          std::vector<ManifestRun>& runs) {
  runs.clear();
  const long long count = static_cast<long long>(manifest.rows.size());
  if (line.last_row > count)
    return prefixed(manifest.name + " has " + std::to_string(count) + " rows; row " +
                    std::to_string(line.last_row) + " was asked for");

  // What each column is: a set-up action, a field, the steps, the seed, or
  // carried through.
  enum class Use { action, seed, extra };
  std::vector<Use> use(manifest.columns.size(), Use::extra);
  std::vector<Action> column_action(manifest.columns.size());
  for (std::size_t c = 0; c < manifest.columns.size(); ++c) {
    if (manifest.columns[c] == "seed") {
      use[c] = Use::seed;
    } else if (manifest_column_action(manifest.columns[c], column_action[c])) {
      use[c] = Use::action;
    }
  }

  for (long long r = 1; r <= count; ++r) {
    const std::vector<std::string>& cells = manifest.rows[static_cast<std::size_t>(r - 1)];
    ManifestRun run;
    run.row = r;
    std::vector<Action> setup, fields;
    std::optional<Action> steps;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      const std::string& column = manifest.columns[c];
      if (use[c] == Use::extra) {
        run.extra_columns.push_back(column);
        run.extra_values.push_back(cells[c]);
        continue;
      }
      const std::string value = trimmed(cells[c]);
      if (value.empty()) continue;  // not given: the run keeps what it has
      const std::string where = manifest.name + ", row " + std::to_string(r) + ", column " + column;
      if (use[c] == Use::seed) {
        std::uint64_t seed = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seed);
        if (ec != std::errc{} || end != value.data() + value.size() || seed > 4294967295ULL)
          return prefixed(where + ": the seed must be a whole number from 0 to 4294967295");
        run.seed_given = true;
        run.seed = static_cast<std::uint32_t>(seed);
        continue;
      }
      Action a = column_action[c];
      const std::string text = a.kind == ActionKind::set ? column + "=" + value : value;
      a.text = (a.kind == ActionKind::set ? "--set " : "--" + column + " ") + text;
      if (auto err = read_action_value(a, text)) return prefixed(where + ": " + *err);
      if (a.kind == ActionKind::steps) {
        steps = a;
      } else if (a.kind == ActionKind::set) {
        fields.push_back(a);
      } else {
        setup.push_back(a);
      }
    }
    if (r < line.first_row || r > line.last_row) continue;

    for (const ActionKind kind : kSetUpOrder)
      for (const Action& a : setup)
        if (a.kind == kind) run.actions.push_back(a);
    run.actions.insert(run.actions.end(), fields.begin(), fields.end());
    bool steps_placed = false;
    for (const Action& given : line.actions) {
      if (given.row_steps) {
        if (steps) run.actions.push_back(*steps);
        steps_placed = true;
        continue;
      }
      Action a = given;
      if (is_file_action(a.kind)) {
        if (std::string err = fill_placeholders(given.file, manifest, r, a.file); !err.empty())
          return prefixed(given.text + ": " + err);
      }
      run.actions.push_back(std::move(a));
    }
    if (!steps_placed && steps) run.actions.push_back(*steps);
    if (std::string err = fill_placeholders(line.summary, manifest, r, run.summary); !err.empty())
      return prefixed("--summary: " + err);
    runs.push_back(std::move(run));
  }
  return {};
}

}  // namespace ombrisk::batch
