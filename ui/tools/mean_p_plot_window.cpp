#include "ui/tools/mean_p_plot_window.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "datafile/c_text.h"

namespace ombrisk {

namespace {

QString number_text(double value) { return QString::fromStdString(c_format("%.6g", value)); }

}  // namespace

// The drawing: axes, the least and greatest step and mean p, and the line.
class MeanPPlotArea : public QWidget {
 public:
  MeanPPlotArea(const MeanPSeries& series, QWidget* parent) : QWidget(parent), series_(series) {
    setMinimumSize(320, 200);
  }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  const MeanPSeries& series_;
};

void MeanPPlotArea::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  painter.setPen(Qt::black);
  const std::vector<MeanPPoint>& points = series_.points();

  double low = INFINITY;
  double high = -INFINITY;
  for (const MeanPPoint& point : points) {
    if (!std::isfinite(point.mean_p)) continue;
    low = std::min(low, point.mean_p);
    high = std::max(high, point.mean_p);
  }
  if (low > high) {
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("No steps recorded yet"));
    return;
  }
  const double first_step = points.front().step;
  const double last_step = points.back().step;
  // A flat series still gets a band of height, so its line is drawn mid-way.
  double pad = (high - low) * 0.05;
  if (pad == 0.0) pad = std::max(std::abs(high) * 0.05, 0.5);
  const double y_low = low - pad;
  const double y_high = high + pad;

  const QFontMetrics metrics = painter.fontMetrics();
  const QString low_text = number_text(low);
  const QString high_text = number_text(high);
  const int left = std::max(metrics.horizontalAdvance(low_text),
                            metrics.horizontalAdvance(high_text)) + 12;
  const int line = metrics.height();
  const QRect plot(left, line, std::max(width() - left - 16, 10), std::max(height() - 3 * line - 8, 10));

  painter.drawRect(plot);
  const auto to_x = [&](double step) {
    if (last_step == first_step) return double(plot.left());
    return plot.left() + (step - first_step) / (last_step - first_step) * plot.width();
  };
  const auto to_y = [&](double value) {
    return plot.bottom() - (value - y_low) / (y_high - y_low) * plot.height();
  };

  // Least and greatest mean p on the left, at their heights; steps below.
  const int low_y = int(std::lround(to_y(low)));
  const int high_y = int(std::lround(to_y(high)));
  painter.setPen(QColor(200, 200, 200));
  painter.drawLine(plot.left(), low_y, plot.right(), low_y);
  painter.drawLine(plot.left(), high_y, plot.right(), high_y);
  painter.setPen(Qt::black);
  const int label_width = left - 6;
  painter.drawText(QRect(0, high_y - line / 2, label_width, line), Qt::AlignRight | Qt::AlignVCenter,
                   high_text);
  painter.drawText(QRect(0, low_y - line / 2, label_width, line), Qt::AlignRight | Qt::AlignVCenter,
                   low_text);
  painter.drawText(0, 0, left, line, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("mean p"));
  const int below = plot.bottom() + 4;
  painter.drawText(QRect(plot.left(), below, plot.width(), line), Qt::AlignLeft | Qt::AlignTop,
                   QString::number(points.front().step));
  painter.drawText(QRect(plot.left(), below, plot.width(), line), Qt::AlignRight | Qt::AlignTop,
                   QString::number(points.back().step));
  painter.drawText(QRect(plot.left(), below + line, plot.width(), line), Qt::AlignHCenter | Qt::AlignTop,
                   QStringLiteral("step"));

  // The line, broken where mean p is not a number.
  QPainterPath path;
  bool pen_down = false;
  for (const MeanPPoint& point : points) {
    if (!std::isfinite(point.mean_p)) {
      pen_down = false;
      continue;
    }
    const QPointF at(to_x(point.step), to_y(point.mean_p));
    if (pen_down) {
      path.lineTo(at);
    } else {
      path.moveTo(at);
      path.lineTo(at);  // a lone point still shows
      pen_down = true;
    }
  }
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setClipRect(plot);
  painter.setPen(QPen(QColor(0, 110, 40), 1.5));
  painter.drawPath(path);
}

MeanPPlotWindow::MeanPPlotWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setWindowTitle(QStringLiteral("Mean p plot"));
  header_ = new QLabel(this);
  plot_ = new MeanPPlotArea(series_, this);
  save_button_ = new QPushButton(QStringLiteral("Save CSV..."), this);
  save_button_->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save_button_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(header_);
  layout->addWidget(plot_, 1);
  layout->addLayout(buttons);
  resize(640, 420);

  connect(save_button_, &QPushButton::clicked, this, [this] { save_csv_clicked(); });
  // While shown: the rate falls to 0 when the run stops, which no repaint
  // would show.
  header_timer_ = new QTimer(this);
  header_timer_->setInterval(1000);
  connect(header_timer_, &QTimer::timeout, this, [this] { update_header(); });
  clock_.start();
  update_header();
}

void MeanPPlotWindow::showEvent(QShowEvent* event) {
  update_header();
  header_timer_->start();
  QWidget::showEvent(event);
}

void MeanPPlotWindow::hideEvent(QHideEvent* event) {
  header_timer_->stop();
  QWidget::hideEvent(event);
}

void MeanPPlotWindow::record(int step, double mean_p) {
  series_.record(step, mean_p);
  if (series_.points().size() == 1) rate_.reset();
  rate_.add(step, clock_.nsecsElapsed() * 1e-9);
  // Hidden, it only keeps the series; showing it brings the header up to date.
  if (!isVisible()) return;
  update_header();
  plot_->update();
}

void MeanPPlotWindow::reset() {
  series_.reset();
  rate_.reset();
  update_header();
  plot_->update();
}

double MeanPPlotWindow::steps_per_second() const { return rate_.per_second(clock_.nsecsElapsed() * 1e-9); }

QString MeanPPlotWindow::header_text() const {
  if (series_.empty()) return QStringLiteral("No steps recorded since the lattice was built");
  const MeanPPoint& newest = series_.points().back();
  return QString::fromStdString(c_format("Step %d    mean p %.6g    %.1f steps per second", newest.step,
                                         newest.mean_p, steps_per_second()));
}

void MeanPPlotWindow::update_header() { header_->setText(header_text()); }

bool MeanPPlotWindow::save_csv(const QString& path, QString* error) const {
  const std::string text = series_.csv();
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit()) {
    if (error) *error = QStringLiteral("Cannot write file %1").arg(path);
    return false;
  }
  return true;
}

void MeanPPlotWindow::save_csv_clicked() {
  QString path;
  if (choose_file_) {
    path = choose_file_();
  } else {
    QFileDialog dialog(this, QStringLiteral("Save CSV"), QString(), QStringLiteral("CSV files (*.csv)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
      path = dialog.selectedFiles().constFirst();
    }
  }
  if (path.isEmpty()) return;
  QString error;
  if (!save_csv(path, &error)) QMessageBox::information(this, QStringLiteral("Error"), error);
}

}  // namespace ombrisk
