#include "ui/window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <climits>
#include <cstdint>
#include <ctime>

#include "datafile/data_file.h"
#include "model/commands.h"
#include "model/time_step.h"
#include "ui/window/dialog_commands.h"
#include "ui/window/file_chooser.h"
#include "ui/window/full_speed_worker.h"
#include "ui/window/lattice_view.h"
#include "ui/resources/command_ids.h"

// Resources of a static library are registered by hand, outside any namespace.
static void register_window_resources() { Q_INIT_RESOURCE(ombrisk_window); }

namespace ombrisk {

namespace {

const QString kErrorCaption = QStringLiteral("Error");

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  static const bool resources_registered = (register_window_resources(), true);
  (void)resources_registered;
  setObjectName(QString::fromLatin1(kWindowClassName));
  // Fixed size: it can be minimised but not resized or maximised.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  QIcon icon(QString::fromLatin1(kLargeIconPath));
  icon.addFile(QString::fromLatin1(kSmallIconPath), QSize(16, 16));
  setWindowIcon(icon);

  model_.data_file_name = "output.dat";
  apply_title_rule();

  // Seeded once, with the time in seconds.
  start_model(model_, random_,
              static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::time(nullptr))));

  view_ = new LatticeView(model_, model_mutex_, this);
  view_->installEventFilter(this);
  setCentralWidget(view_);
  build_menu();
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  step_timer_ = new QTimer(this);
  connect(step_timer_, &QTimer::timeout, this, &MainWindow::timer_tick);
  worker_poll_ = new QTimer(this);
  worker_poll_->setInterval(10);
  connect(worker_poll_, &QTimer::timeout, this, &MainWindow::poll_worker);
  set_step_timer_interval(model_.display.timer_interval_ms);

  file_chooser_ = [](QWidget* owner) { return choose_data_file(owner); };
}

MainWindow::~MainWindow() { end_worker_quietly(); }

void MainWindow::end_worker_quietly() {
  // The model must outlive the worker. Closing: nothing more is shown.
  set_full_speed_flag(0);
  if (!worker_.joinable()) return;
  worker_abort_.store(true);
  join_worker();
}

void MainWindow::build_menu() {
  QMenuBar* bar = menuBar();
  auto add = [this](QWidget* where, const char* text, int id) {
    auto* act = new QAction(QString::fromLatin1(text), this);
    act->setData(id);
    where->addAction(act);
    actions_[id] = act;
    connect(act, &QAction::triggered, this, [this, id] { handle_command(id); });
  };
  QMenu* run = bar->addMenu(QStringLiteral("Run..."));
  add(run, "Start", kCmdStart);
  add(run, "Stop", kCmdStop);
  add(run, "Step", kCmdStep);
  add(run, "Restart", kCmdRestart);
  add(run, "Save", kCmdSave);
  add(run, "Start FullSpeed", kCmdStartFullSpeed);
  add(run, "Stop FullSpeed", kCmdStopFullSpeed);
  add(bar, "Dimension", kCmdDimension);
  add(bar, "Stomata", kCmdStomata);
  add(bar, "Set params", kCmdSetParams);
  add(bar, "Load params", kCmdLoadParams);
  add(bar, "Display", kCmdDisplay);
  add(bar, "Exit", kCmdExit);
}

QAction* MainWindow::action(int id) const {
  auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::set_items_enabled(std::initializer_list<int> ids, bool enabled) {
  for (int id : ids) actions_.at(id)->setEnabled(enabled);
}

void MainWindow::set_run_set_enabled(bool enabled) {
  set_items_enabled({kCmdStart, kCmdStep, kCmdRestart, kCmdSave, kCmdDimension, kCmdStomata,
                     kCmdSetParams, kCmdStartFullSpeed, kCmdStopFullSpeed},
                    enabled);
}

void MainWindow::set_full_speed_set_enabled(bool enabled) {
  set_items_enabled({kCmdStart, kCmdStop, kCmdStep, kCmdRestart, kCmdSave, kCmdDimension,
                     kCmdStomata, kCmdSetParams, kCmdStartFullSpeed},
                    enabled);
}

int MainWindow::full_speed_flag() const {
  return std::atomic_ref<int>(const_cast<int&>(model_.full_speed)).load();
}

void MainWindow::set_full_speed_flag(int value) { std::atomic_ref<int>(model_.full_speed).store(value); }

void MainWindow::apply_title_rule() {
  setWindowTitle(QString::fromLatin1(kTitlePrefix) + QString::fromStdString(model_.data_file_name));
}

void MainWindow::set_step_timer_interval(unsigned int ms) {
  int interval = 10;
  if (ms > static_cast<unsigned int>(INT_MAX)) {
    interval = INT_MAX;
  } else if (ms > 0) {
    interval = static_cast<int>(ms);
  }
  step_timer_->stop();
  step_timer_->start(interval);
}

void MainWindow::request_repaint(bool) { view_->update(); }

bool MainWindow::full_speed_running() const { return worker_.joinable(); }

void MainWindow::show_message(const QString& text, const QString& caption, QMessageBox::Icon icon,
                              QWidget* owner) {
  if (message_sink_) {
    message_sink_(text, caption, icon, owner);
    return;
  }
  QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
  box.exec();
}

void MainWindow::handle_command(int id) {
  if (QAction* act = action(id); act && !act->isEnabled()) return;
  switch (id) {
    case kCmdDimension:
      run_dimension_command(*this);
      break;
    case kCmdStart:
      start_run();
      break;
    case kCmdStop:
      stop_run();
      break;
    case kCmdStep:
      single_step();
      break;
    case kCmdSave:
      save();
      break;
    case kCmdRestart:
      restart();
      break;
    case kCmdDisplay:
      run_display_command(*this);
      break;
    case kCmdStomata:
      run_stomata_command(*this);
      break;
    case kCmdSetParams:
      run_parameters_command(*this);
      break;
    case kCmdStartFullSpeed:
      start_full_speed();
      break;
    case kCmdStopFullSpeed:
      set_full_speed_flag(0);
      break;
    case kCmdLoadParams:
      load_params();
      break;
    case kCmdExit:
      close();
      break;
    default:
      break;
  }
}

void MainWindow::start_run() {
  set_run_set_enabled(false);
  model_.paused = 0;
}

void MainWindow::stop_run() {
  model_.paused = 1;
  set_run_set_enabled(true);
  request_repaint(false);
}

void MainWindow::single_step() {
  // Only reachable while no run goes on; the guard keeps a direct call from
  // stepping beside the worker.
  if (full_speed_running() || model_.step == INT_MAX) return;
  advance_step(model_);
  model_.step += 1;
  request_repaint(false);
}

void MainWindow::restart() {
  if (full_speed_running()) return;
  restart_lattice(model_);
  request_repaint(false);
}

void MainWindow::save() {
  if (full_speed_running()) return;
  const FileError error = save_data_file(model_);
  if (error != FileError::none) {
    // Like the load's file errors: no owner, so the window stays usable.
    show_message(QString::fromStdString(file_error_text(error, model_.data_file_name)),
                 kErrorCaption, QMessageBox::Critical, nullptr);
  }
}

void MainWindow::load_params() {
  const std::optional<QString> chosen = file_chooser_ ? file_chooser_(this) : std::nullopt;
  if (!chosen) {
    show_message(QStringLiteral("Invalid File name!!"), kErrorCaption, QMessageBox::Information,
                 this);
    return;
  }
  // The load rebuilds the lattice the worker steps on, and enables commands
  // that rebuild it too: end the run first.
  stop_full_speed_and_wait();
  model_.data_file_name = chosen->toStdString();
  const FileError error = load_data_file(model_);
  if (error != FileError::none || model_.load_succeeded != 1) {
    if (error != FileError::none) {
      show_message(QString::fromStdString(file_error_text(error, model_.data_file_name)),
                   kErrorCaption, QMessageBox::Critical, nullptr);
    }
    return;
  }
  set_items_enabled({kCmdDimension, kCmdStomata, kCmdSetParams, kCmdDisplay}, true);
  request_repaint(true);
  apply_title_rule();
}

void MainWindow::start_full_speed() {
  if (full_speed_running()) return;
  set_full_speed_set_enabled(false);
  set_full_speed_flag(1);
  view_->repaint();  // shown before the worker starts
  worker_abort_.store(false);
  worker_done_.store(false);
  worker_repaint_due_.store(false);
  worker_lock_timeouts_.store(0);
  FullSpeedCallbacks callbacks;
  callbacks.repaint = [this] { worker_repaint_due_.store(true); };
  callbacks.mutex_timed_out = [this] { worker_lock_timeouts_.fetch_add(1); };
  worker_ = std::thread([this, callbacks = std::move(callbacks)] {
    run_full_speed(model_, model_mutex_, worker_abort_, callbacks);
    worker_done_.store(true);
  });
  worker_poll_->start();
}

void MainWindow::poll_worker() {
  // Read before the notices, so that every notice of a finished worker is
  // taken before it is joined.
  const bool done = worker_done_.load();
  take_worker_notices();
  if (done && worker_.joinable()) {
    join_worker();
    finish_full_speed();
  }
}

void MainWindow::take_worker_notices() {
  if (worker_repaint_due_.exchange(false)) request_repaint(false);
  for (int n = worker_lock_timeouts_.exchange(0); n > 0; --n) {
    const QString text = QStringLiteral("Can't get mutex to move!!");
    if (message_sink_) {
      message_sink_(text, kErrorCaption, QMessageBox::NoIcon, nullptr);
      continue;
    }
    // Not modal: the worker has gone on, and the window stays usable.
    auto* box = new QMessageBox(QMessageBox::NoIcon, kErrorCaption, text, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
  }
}

void MainWindow::join_worker() {
  worker_.join();
  worker_poll_->stop();
}

void MainWindow::stop_full_speed_and_wait() {
  set_full_speed_flag(0);
  if (!worker_.joinable()) return;
  worker_abort_.store(true);
  join_worker();
  take_worker_notices();
  finish_full_speed();
}

void MainWindow::finish_full_speed() {
  set_full_speed_set_enabled(true);
  request_repaint(false);
  emit full_speed_finished();
}

void MainWindow::timer_tick() {
  if (model_.paused == 1 || full_speed_running() || full_speed_flag() == 1) return;
  if (model_.step == INT_MAX) return;  // the counter cannot go further
  advance_step(model_);
  model_.step += 1;
  // 0 would divide by zero: it acts as 1. A negative n repaints every |n|-th step.
  const int every = model_.display.display_interval == 0 ? 1 : model_.display.display_interval;
  if (model_.step % every == 0) request_repaint(false);
}

void MainWindow::character_typed(const QString& text) {
  if (text == QStringLiteral(" ") && full_speed_flag() == 0 && !full_speed_running()) {
    model_.paused = model_.paused == 1 ? 0 : 1;
    set_run_set_enabled(model_.paused == 1);
  }
  request_repaint(false);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (event->text().isEmpty()) {
    QMainWindow::keyPressEvent(event);
    return;
  }
  character_typed(event->text());
  event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // The space bar works also when the drawing has the focus.
  if (watched == view_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (!key->text().isEmpty()) {
      character_typed(key->text());
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  end_worker_quietly();
  step_timer_->stop();
  event->accept();
}

}  // namespace ombrisk
