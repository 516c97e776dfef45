// The "Tools" popup of the main window ("Save picture...", "Record frames..."
// / "Stop recording", "Mean p plot") and loading a .dat file dropped on the
// window.
#pragma once

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QEvent;
class QMenu;
class QWidget;

namespace ombrisk {

class FrameRecorder;
class MainWindow;
class MeanPPlotWindow;

class ToolsController : public QObject {
  Q_OBJECT

 public:
  // Adds the popup just before "Exit", watches the lattice view's paints and
  // takes drops on the window. A child of the window: goes with it.
  explicit ToolsController(MainWindow& window);
  ~ToolsController() override;

  // Where the tools ask for a file or folder; dialogs unless replaced (tests
  // answer them without a dialog). An empty answer means cancelled.
  using PathChooser = std::function<QString(QWidget* owner)>;
  void set_picture_file_chooser(PathChooser chooser) { choose_picture_file_ = std::move(chooser); }
  void set_frame_folder_chooser(PathChooser chooser) { choose_frame_folder_ = std::move(chooser); }

  QMenu* menu() const { return menu_; }
  QAction* save_picture_action() const { return save_picture_; }
  QAction* record_frames_action() const { return record_frames_; }
  QAction* plot_action() const { return plot_; }
  MeanPPlotWindow* plot_window() const { return plot_window_; }
  bool recording() const { return recorder_ != nullptr; }

  // The menu items' work.
  void save_picture();
  void toggle_recording();
  void show_plot();

  // Acts as "Load params" with `path` chosen.
  void load_dropped_file(const QString& path);

  // The single local .dat file a drag carries, if that is what it carries.
  static std::optional<QString> dropped_data_file(const QEvent& event);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void view_about_to_paint();
  // Hands the picture a paint has just drawn to the recording, if any.
  void view_painted(const QImage& picture, int step);
  void start_recording(const QString& folder);
  // Ends the recording after its queued frames are written; reports a failure.
  void stop_recording();
  // A message box after the present event: never inside a paint.
  void report_later(const QString& text);

  MainWindow& window_;
  // The window's lattice view, watched for paints. Held as a QObject: events
  // still come while it is being destroyed, when it is no longer a LatticeView.
  QPointer<QObject> view_;
  QMenu* menu_ = nullptr;
  QAction* save_picture_ = nullptr;
  QAction* record_frames_ = nullptr;
  QAction* plot_ = nullptr;
  MeanPPlotWindow* plot_window_ = nullptr;
  PathChooser choose_picture_file_;
  PathChooser choose_frame_folder_;

  std::unique_ptr<FrameRecorder> recorder_;
  std::optional<int> last_frame_step_;
  // What the previous paint showed, to see a rebuilt lattice. The stomata
  // are kept at step 0 only: later, a rebuild shows in the step going back.
  struct Shown {
    int step;
    int rows;
    int cols;
    std::vector<int> stoma_cols;
    std::vector<int> stoma_rows;
  };
  std::optional<Shown> last_shown_;
};

// Puts the tools into `window`; the controller is owned by the window.
ToolsController* install_tools(MainWindow& window);

}  // namespace ombrisk
