// The main window: owns the model, its lock and the generator, the menu with
// its command ids, the stepping timer, the space bar and the full-speed worker.
#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <QString>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "model/model_state.h"
#include "model/random.h"

class QAction;
class QKeyEvent;
class QCloseEvent;
class QTimer;

namespace ombrisk {

class LatticeView;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
  // Ends the full-speed worker before the model it uses goes.
  ~MainWindow() override;

  // The one dispatcher on command ids, as the menu sends them. A command whose
  // menu item is grayed does nothing, as a grayed item cannot be chosen.
  void handle_command(int id);
  // The menu action carrying a command id; nullptr for an unknown id.
  QAction* action(int id) const;

  ModelState& model() { return model_; }
  Random& random() { return random_; }
  std::timed_mutex& model_mutex() { return model_mutex_; }
  LatticeView* lattice_view() const { return view_; }
  QTimer* step_timer() const { return step_timer_; }

  // Title prefix followed by data_file_name.
  void apply_title_rule();
  // Kills and restarts the stepping timer; 0 acts as 10 ms and anything above
  // 2^31 - 1 as 2^31 - 1.
  void set_step_timer_interval(unsigned int ms);
  // Schedules a repaint of the client area. `erase` is accepted for the
  // callers' sake: every paint draws the whole area.
  void request_repaint(bool erase);

  // True while the worker thread is alive, also after "Stop FullSpeed" until
  // it has ended and the window has taken note.
  bool full_speed_running() const;
  // Clears full_speed, makes the worker leave after its current step, waits
  // for it, and enables the full-speed set. Does nothing when no worker runs.
  // The worker never waits for the window thread, so this cannot deadlock.
  void stop_full_speed_and_wait();

  // A message box with this exact text and caption; owner nullptr = no owner.
  // Returns when the box is closed.
  void show_message(const QString& text, const QString& caption, QMessageBox::Icon icon,
                    QWidget* owner);

  // Seams for tests and embedders.
  // Where "Load params" asks for a file: returns the chosen path, or nothing
  // when cancelled. The open-file dialog unless replaced.
  using FileChooser = std::function<std::optional<QString>(QWidget* owner)>;
  void set_file_chooser(FileChooser chooser) { file_chooser_ = std::move(chooser); }
  // Where messages go instead of a message box (receives the same arguments).
  using MessageSink =
      std::function<void(const QString& text, const QString& caption, QMessageBox::Icon icon,
                         QWidget* owner)>;
  void set_message_sink(MessageSink sink) { message_sink_ = std::move(sink); }

 signals:
  // Emitted on the window thread once a full-speed run has ended.
  void full_speed_finished();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build_menu();
  void set_items_enabled(std::initializer_list<int> ids, bool enabled);
  void set_run_set_enabled(bool enabled);
  void set_full_speed_set_enabled(bool enabled);
  int full_speed_flag() const;
  void set_full_speed_flag(int value);

  void character_typed(const QString& text);
  void timer_tick();
  void start_run();
  void stop_run();
  void single_step();
  void restart();
  void save();
  void load_params();
  void start_full_speed();
  void poll_worker();
  void take_worker_notices();
  void join_worker();
  void end_worker_quietly();
  void finish_full_speed();

  ModelState model_;
  Random random_;
  std::timed_mutex model_mutex_;
  LatticeView* view_ = nullptr;
  QTimer* step_timer_ = nullptr;
  std::map<int, QAction*> actions_;

  // The worker never calls into Qt: it leaves notices in these atomics and
  // the window thread collects them on a short timer. Nothing is allocated
  // on one thread and used on the other, and the worker never waits for us.
  std::thread worker_;
  std::atomic<bool> worker_abort_{false};
  std::atomic<bool> worker_done_{false};
  std::atomic<bool> worker_repaint_due_{false};
  std::atomic<int> worker_lock_timeouts_{0};
  QTimer* worker_poll_ = nullptr;

  FileChooser file_chooser_;
  MessageSink message_sink_;
};

}  // namespace ombrisk
