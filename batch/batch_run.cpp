#include "batch/batch_run.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>

#include "batch/picture_output.h"
#include "batch/progress.h"
#include "datafile/c_text.h"
#include "datafile/data_file.h"
#include "model/commands.h"
#include "model/fields.h"
#include "model/time_step.h"

namespace ombrisk::batch {

namespace {

class Runner {
 public:
  Runner(ModelState& m, Random& random, RunOutput output)
      : m_(m), random_(random), out_(output), progress_(output.err, output.progress) {}

  // Returns -1 to go on, or the exit status that ends the run.
  int run(const Action& a) {
    switch (a.kind) {
      case ActionKind::load: end_frames(); return load(a);
      case ActionKind::save: return save(a);
      case ActionKind::size: end_frames(); resize(a); return -1;
      case ActionKind::border: m_.border = static_cast<int>(a.number); return -1;
      case ActionKind::spacing: m_.spacing = a.value; return -1;
      case ActionKind::stomata: return new_stomata(a);
      case ActionKind::randomize: return randomize(a);
      case ActionKind::set: set_field(m_, *a.field, a.value); return -1;
      case ActionKind::steps: return steps(a);
      case ActionKind::restart:
        end_frames();
        restart_lattice(m_);
        return -1;
      case ActionKind::stats: stats(); return -1;
      case ActionKind::trace: return open_trace(a);
      case ActionKind::every: every_ = static_cast<int>(a.number); return -1;
      case ActionKind::png: return write_picture(a.file);
      case ActionKind::frames: return start_frames(a);
    }
    return -1;
  }

  int finish() {
    if (trace_.is_open()) {
      trace_.close();
      if (trace_.fail()) return file_error(FileError::cannot_write, trace_name_);
    }
    return placement_failed_ ? kExitPlacementFailed : kExitDone;
  }

 private:
  int file_error(FileError e, const std::string& name) {
    out_.err << file_error_text(e, name) << '\n';
    return kExitFileError;
  }

  int load(const Action& a) {
    m_.data_file_name = a.file;
    const FileError e = load_data_file(m_);
    return e == FileError::none ? -1 : file_error(e, a.file);
  }

  // The name stays the model's file name afterwards, as after a load.
  int save(const Action& a) {
    m_.data_file_name = a.file;
    const FileError e = save_data_file(m_);
    return e == FileError::none ? -1 : file_error(e, a.file);
  }

  void report_placement(const Action& a, const PlacementOutcome& r) {
    if (r.status == PlacementStatus::complete) return;
    placement_failed_ = true;
    out_.err << placement_text(r.status) << " (" << a.text << ": ";
    if (r.status == PlacementStatus::out_of_attempts) {
      out_.err << r.placed << " of " << m_.stomata.stoma_count << " stomata placed)\n";
    } else {
      out_.err << "border " << m_.border << " does not fit the " << m_.rows << " x " << m_.cols
               << " lattice; no stomata placed)\n";
    }
  }

  int refused(const Action& a, StomataRefusal refusal) {
    out_.err << refusal_text(refusal) << " (" << a.text;
    if (refusal == StomataRefusal::too_many)
      out_.err << ": at most " << stoma_count_limit(m_) << " on this lattice";
    out_.err << ")\n";
    return kExitUsage;
  }

  // The Dimension dialog's OK and the command after it.
  void resize(const Action& a) {
    m_.dimension_choice = dimension_choice_for_side(static_cast<int>(a.number));
    report_placement(a, resize_to_dimension(m_, random_).placement);
  }

  // The Stomata dialog's Apply with the count, then its OK and the lattice
  // rebuild of the command.
  int new_stomata(const Action& a) {
    const StomataOutcome r = place_new_stomata(m_, random_, static_cast<int>(a.number));
    if (r.refusal != StomataRefusal::none) return refused(a, r.refusal);
    end_frames();
    report_placement(a, r.placement);
    restart_lattice(m_);
    return -1;
  }

  // The Stomata dialog's Randomize, then its OK (which tests the count of a
  // table that a file may have brought) and the lattice rebuild.
  int randomize(const Action& a) {
    const StomataRefusal refusal = check_stoma_count(m_);
    if (refusal != StomataRefusal::none) return refused(a, refusal);
    end_frames();
    report_placement(a, randomize_stomata(m_, random_));
    restart_lattice(m_);
    return -1;
  }

  int steps(const Action& a) {
    const long long n = a.number;
    if (m_.step > INT_MAX - n) {
      out_.err << "ombrisk-batch: " << a.text << ": the step counter would pass " << INT_MAX
               << '\n';
      return kExitUsage;
    }
    const bool tracing = trace_.is_open();
    const bool framing = frames_dir_.has_value();
    long long done = 0;
    long long until_check = progress_.begin(n);
    while (done < n) {
      long long batch = std::min(n - done, until_check);
      if (tracing || framing) batch = std::min<long long>(batch, every_ - m_.step % every_);
      for (long long i = 0; i < batch; ++i) {
        advance_step(m_);
        m_.step += 1;
      }
      done += batch;
      until_check -= batch;
      if (m_.step % every_ == 0) {
        if (tracing) write_trace_line();
        if (framing) {
          const int status = write_picture((*frames_dir_ / frame_file_name(m_.step)).string());
          if (status >= 0) {
            progress_.end();
            return status;
          }
        }
      }
      if (until_check == 0) until_check = progress_.check(done);
    }
    progress_.end();
    if (tracing && trace_.fail()) return file_error(FileError::cannot_write, trace_name_);
    return -1;
  }

  void stats() {
    const DisplaySettings& d = m_.display;
    out_.out << c_format("%d %.17g %.17g %.17g %.17g %.17g\n", m_.step, m_.mean_p,
                         d.p_display_min, d.p_display_max, d.j_display_min, d.j_display_max);
  }

  int open_trace(const Action& a) {
    if (trace_.is_open()) {
      trace_.close();
      if (trace_.fail()) return file_error(FileError::cannot_write, trace_name_);
    }
    trace_name_ = a.file;
    trace_.clear();
    trace_.open(a.file, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!trace_.is_open()) return file_error(FileError::cannot_write, a.file);
    trace_ << "step,mean_p,p_min,p_max,j_min,j_max\n";
    return -1;
  }

  int write_picture(const std::string& path) {
    std::string error;
    if (pictures_.write_png(m_, path, error)) return -1;
    out_.err << error << '\n';
    return kExitFileError;
  }

  // The folder is made when missing; one that cannot be made stops the run
  // here rather than at the first frame.
  int start_frames(const Action& a) {
    const std::filesystem::path dir(a.file);
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir)) {
      out_.err << "Cannot write folder " << a.file;
      if (ec) out_.err << " (" << ec.message() << ')';
      out_.err << '\n';
      return kExitFileError;
    }
    frames_dir_ = dir;
    return -1;
  }

  // Frames of a rebuilt lattice would write over the earlier ones: as the
  // window's recording, they end with the lattice.
  void end_frames() { frames_dir_.reset(); }

  void write_trace_line() {
    const DisplaySettings& d = m_.display;
    trace_ << c_format("%d,%.17g,%.17g,%.17g,%.17g,%.17g\n", m_.step, m_.mean_p,
                       d.p_display_min, d.p_display_max, d.j_display_min, d.j_display_max);
  }

  ModelState& m_;
  Random& random_;
  RunOutput out_;
  StepProgress progress_;
  int every_ = 1;
  std::ofstream trace_;
  std::string trace_name_;
  std::optional<std::filesystem::path> frames_dir_;
  PictureWriter pictures_;
  bool placement_failed_ = false;
};

}  // namespace

int run_actions(ModelState& m, Random& random, const std::vector<Action>& actions,
                RunOutput output) {
  Runner runner(m, random, output);
  for (const Action& a : actions) {
    const int status = runner.run(a);
    if (status >= 0) return status;
  }
  return runner.finish();
}

}  // namespace ombrisk::batch
