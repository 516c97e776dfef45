// A manifest: a CSV table whose header names the settings of a run (seed,
// size, border, spacing, stomata, steps, any settable field) and whose every
// row is one run. Other columns (ids, replicate numbers) are carried through
// to the summary. The whole table is checked before anything runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/command_line.h"

namespace ombrisk::batch {

struct Manifest {
  std::string name;  // the file, for messages
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;  // the cells as written, unquoted
};

// Splits CSV text into the header and the rows: cells separated by commas,
// a cell in double quotes may hold commas, quotes (doubled) and line ends;
// lines may end in CRLF; a last line end is optional. Refuses, naming the
// row: an empty or repeated column name, a row of another length than the
// header, an empty line between rows, a quote left open. Returns the
// message, empty on success.
std::string parse_manifest(const std::string& text, const std::string& name, Manifest& out);

// Reads the file and parses it; `unreadable` tells a file that could not be
// read from one that was refused.
std::string read_manifest(const std::string& path, Manifest& out, bool& unreadable);

struct ManifestRun {
  long long row = 0;  // from 1, the first line after the header
  bool seed_given = false;
  std::uint32_t seed = 0;
  std::vector<Action> actions;
  std::string summary;  // the --summary name with its placeholders filled in
  std::vector<std::string> extra_columns;
  std::vector<std::string> extra_values;
};

// The runs of rows line.first_row to line.last_row (inclusive). Each run is:
// the row's size, border, spacing and stomata (in that order), its fields
// (in column order, as --set), then the command line's actions, with
// "--steps row" standing for the row's steps; without "--steps row" the
// row's steps come last. In file names, {row} stands for the row number and
// {NAME} for the row's value in column NAME. Every cell of every row is
// checked first, so a bad value anywhere is refused before any run, with its
// row and column named; so is an unknown placeholder. Returns the message,
// empty on success.
std::string manifest_runs(const Manifest& manifest, const CommandLine& line,
                          std::vector<ManifestRun>& runs);

}  // namespace ombrisk::batch
