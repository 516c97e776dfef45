#include "ui/tools/tools_menu.h"

#include <QAction>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <mutex>

#include "ui/window/file_chooser.h"
#include "ui/tools/frame_recorder.h"
#include "picture/lattice_picture.h"
#include "ui/window/lattice_view.h"
#include "ui/window/main_window.h"
#include "ui/tools/mean_p_plot_window.h"
#include "ui/window/model_lock.h"
#include "picture/picture_file.h"
#include "ui/resources/command_ids.h"

namespace ombrisk {

namespace {

const QString kErrorCaption = QStringLiteral("Error");
const QString kRecordText = QStringLiteral("Record frames...");
const QString kStopRecordingText = QStringLiteral("Stop recording");

// Shorter than the paint's own wait: when the lock is stuck the paint reports it.
constexpr std::chrono::milliseconds kLockWait{2000};

QString ask_picture_file(QWidget* owner) {
  QFileDialog dialog(owner, QStringLiteral("Save picture"), QString(), QStringLiteral("PNG images (*.png)"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("png"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

QString ask_frame_folder(QWidget* owner) {
  return QFileDialog::getExistingDirectory(owner, QStringLiteral("Record frames"));
}

}  // namespace

ToolsController::ToolsController(MainWindow& window)
    : QObject(&window),
      window_(window),
      choose_picture_file_(ask_picture_file),
      choose_frame_folder_(ask_frame_folder) {
  menu_ = new QMenu(QStringLiteral("Tools"), &window);
  save_picture_ = menu_->addAction(QStringLiteral("Save picture..."));
  record_frames_ = menu_->addAction(kRecordText);
  plot_ = menu_->addAction(QStringLiteral("Mean p plot"));
  window.menuBar()->insertMenu(window.action(kCmdExit), menu_);
  connect(save_picture_, &QAction::triggered, this, [this] { save_picture(); });
  connect(record_frames_, &QAction::triggered, this, [this] { toggle_recording(); });
  connect(plot_, &QAction::triggered, this, [this] { show_plot(); });

  // Hidden until asked for, but it follows the run from the start, so it
  // shows the whole run whenever it is opened.
  plot_window_ = new MeanPPlotWindow(&window);

  LatticeView* view = window.lattice_view();
  view_ = view;
  view->installEventFilter(this);
  // Frames are the pictures the view has just drawn: no second drawing, and
  // each shows the step it is named by.
  view->set_painted_hook([this](const QImage& picture, int step) { view_painted(picture, step); });
  window.setAcceptDrops(true);
  window.installEventFilter(this);
}

ToolsController::~ToolsController() {
  // A view still there is whole: children go one after another.
  if (view_) static_cast<LatticeView*>(view_.data())->set_painted_hook({});
  // Frames already taken are written before the window goes.
  if (recorder_) recorder_->stop();
}

ToolsController* install_tools(MainWindow& window) { return new ToolsController(window); }

void ToolsController::save_picture() {
  const QString path = choose_picture_file_ ? choose_picture_file_(&window_) : QString();
  if (path.isEmpty()) return;
  QString error;
  if (!save_picture_png(window_.lattice_view()->render_picture(), path, &error)) {
    window_.show_message(error, kErrorCaption, QMessageBox::Critical, &window_);
  }
}

void ToolsController::toggle_recording() {
  if (recorder_) {
    stop_recording();
    return;
  }
  const QString folder = choose_frame_folder_ ? choose_frame_folder_(&window_) : QString();
  if (!folder.isEmpty()) start_recording(folder);
}

void ToolsController::start_recording(const QString& folder) {
  recorder_ = std::make_unique<FrameRecorder>(folder);
  last_frame_step_.reset();
  record_frames_->setText(kStopRecordingText);
  // The first frame: the picture on screen now.
  window_.request_repaint(false);
}

void ToolsController::stop_recording() {
  if (!recorder_) return;
  recorder_->stop();
  const QString error = recorder_->take_error();
  recorder_.reset();
  record_frames_->setText(kRecordText);
  if (!error.isEmpty()) report_later(error);
}

void ToolsController::show_plot() {
  plot_window_->show();
  plot_window_->raise();
  plot_window_->activateWindow();
}

void ToolsController::report_later(const QString& text) {
  QTimer::singleShot(0, this, [this, text] {
    window_.show_message(text, kErrorCaption, QMessageBox::Critical, &window_);
  });
}

namespace {

// The placed stomata of the table, without the rows beyond its count.
std::vector<int> placed(const std::vector<int>& column, int count) {
  const auto n = std::min<std::size_t>(column.size(), count > 0 ? std::size_t(count) : 0);
  return std::vector<int>(column.begin(), column.begin() + std::ptrdiff_t(n));
}

}  // namespace

// Every paint of the lattice adds the step on screen to the plot and, while
// recording, writes a frame for each step not written yet (a repaint of the
// same step adds none). A step going back, another lattice size, or other
// stomata at step 0 mean the lattice was rebuilt: the plot starts again and
// the recording ends. Step, mean p and frame are read together under the
// model lock, so a frame's name is the step in its status line even while
// the full-speed worker runs on.
void ToolsController::view_about_to_paint() {
  if (!lock_within(window_.model_mutex(), kLockWait)) return;
  std::unique_lock<std::timed_mutex> lock(window_.model_mutex(), std::adopt_lock);
  const ModelState& m = window_.model();
  const int step = m.step;
  const double mean_p = m.mean_p;
  Shown shown{step, m.rows, m.cols, {}, {}};
  if (step == 0) {
    shown.stoma_cols = placed(m.stomata.stoma_col, m.stomata.stoma_count);
    shown.stoma_rows = placed(m.stomata.stoma_row, m.stomata.stoma_count);
  }
  const bool rebuilt =
      last_shown_ &&
      (step < last_shown_->step || m.rows != last_shown_->rows || m.cols != last_shown_->cols ||
       (step == 0 && last_shown_->step == 0 &&
        (shown.stoma_cols != last_shown_->stoma_cols || shown.stoma_rows != last_shown_->stoma_rows)));
  last_shown_ = std::move(shown);
  lock.unlock();

  if (rebuilt) {
    plot_window_->reset();
    stop_recording();
  }
  plot_window_->record(step, mean_p);
}

void ToolsController::view_painted(const QImage& picture, int step) {
  if (!recorder_ || last_frame_step_ == step) return;
  recorder_->add_frame(step, picture);
  last_frame_step_ = step;
  const QString error = recorder_->take_error();
  if (!error.isEmpty()) {
    // One message, then no more frames: a full disk stays full.
    stop_recording();
    report_later(error);
  }
}

std::optional<QString> ToolsController::dropped_data_file(const QEvent& event) {
  const auto& drop = static_cast<const QDropEvent&>(event);
  const QMimeData* data = drop.mimeData();
  if (!data || !data->hasUrls() || data->urls().size() != 1) return std::nullopt;
  const QUrl url = data->urls().constFirst();
  if (!url.isLocalFile()) return std::nullopt;
  const QString path = url.toLocalFile();
  if (QFileInfo(path).suffix().compare(QStringLiteral("dat"), Qt::CaseInsensitive) != 0) {
    return std::nullopt;
  }
  return path;
}

void ToolsController::load_dropped_file(const QString& path) {
  // "Load params" with this answer from its open-file dialog; the window's
  // own command keeps its rules, messages, title and menu states.
  window_.set_file_chooser([path](QWidget*) -> std::optional<QString> { return path; });
  window_.handle_command(kCmdLoadParams);
  window_.set_file_chooser([](QWidget* owner) { return choose_data_file(owner); });
}

bool ToolsController::eventFilter(QObject* watched, QEvent* event) {
  // Compared with the pointer kept at construction: events still arrive while
  // the window is being destroyed, when it can no longer be asked for its view.
  if (watched == view_.data() && event->type() == QEvent::Paint) {
    view_about_to_paint();
    return false;
  }
  if (watched == &window_) {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (dropped_data_file(*event)) {
          drag->acceptProposedAction();
        } else {
          drag->ignore();
        }
        return true;
      }
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::optional<QString> path = dropped_data_file(*event);
        if (!path) {
          drop->ignore();
          return true;
        }
        drop->acceptProposedAction();
        // After the drop has returned: the load may show a message box.
        QTimer::singleShot(0, this, [this, file = *path] { load_dropped_file(file); });
        return true;
      }
      default:
        break;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace ombrisk
