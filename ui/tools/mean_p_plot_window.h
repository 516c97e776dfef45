// A separate, non-modal window that plots the run's mean p against the step
// since the last lattice rebuild, shows the steps made per second, and saves
// the series as CSV.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <functional>

#include "ui/tools/mean_p_series.h"

class QLabel;
class QPushButton;
class QTimer;

namespace ombrisk {

class MeanPPlotArea;

class MeanPPlotWindow : public QWidget {
  Q_OBJECT

 public:
  // A top-level window even with a parent (the parent only owns it).
  explicit MeanPPlotWindow(QWidget* parent = nullptr);

  // One repaint of the lattice: adds the point and the time it came. A step
  // below the newest one starts a new series (the lattice was rebuilt).
  void record(int step, double mean_p);
  // A lattice rebuild: forgets the series and the rate.
  void reset();

  const MeanPSeries& series() const { return series_; }
  double steps_per_second() const;
  // The header line as shown: step, mean p and steps per second.
  QString header_text() const;

  // Writes the series as CSV at `path`; on failure returns false and sets
  // `error` to a message naming the file.
  bool save_csv(const QString& path, QString* error) const;

  // Where "Save CSV..." asks for the file name; a save-file dialog unless
  // replaced (tests answer it without a dialog). An empty name saves nothing.
  void set_file_chooser(std::function<QString()> chooser) { choose_file_ = std::move(chooser); }
  QPushButton* save_button() const { return save_button_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void save_csv_clicked();
  void update_header();

  MeanPSeries series_;
  StepRate rate_;
  QElapsedTimer clock_;
  std::function<QString()> choose_file_;
  QLabel* header_ = nullptr;
  MeanPPlotArea* plot_ = nullptr;
  QPushButton* save_button_ = nullptr;
  QTimer* header_timer_ = nullptr;
};

}  // namespace ombrisk
