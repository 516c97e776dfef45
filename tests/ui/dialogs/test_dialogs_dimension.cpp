// The Dimension dialog through its command: the ticked size, the rebuild
// after OK, nothing after Cancel, the placement messages; and for all three
// dialogs that every text fits its control inside the dialog.
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "dialog_test_harness.h"
#include "model/model_state.h"
#include "ui/dialogs/dimension_dialog.h"
#include "ui/resources/command_ids.h"

using namespace ombrisk;
using namespace dialog_test;

namespace {

QRadioButton* radio(QDialog& d, int id) { return control<QRadioButton>(d, id); }

bool every_p_zero(const ModelState& m) {
  for (double v : m.p_current.values) {
    if (v != 0.0) return false;
  }
  return true;
}

}  // namespace

class TestDialogsDimension : public QObject {
  Q_OBJECT

  Harness h;
  ModelState& m() { return h.model(); }

 private slots:
  void init() {
    h.open();
    seed_random(h.window->random(), 4242);
  }
  void cleanup() { h.close(); }

  void shows_the_sizes_with_the_current_one_ticked() {
    QVERIFY(h.run(kCmdDimension, [&](QDialog& d) {
      QCOMPARE(d.windowTitle(), QStringLiteral("Dimension"));
      const QStringList texts = {"  50 x 50", "100 x 100", "200 x 200", "400 x 400", "800 x 800"};
      for (int i = 0; i < 5; ++i) {
        QCOMPARE(radio(d, kDimension50 + i)->text(), texts[i]);
        QCOMPARE(radio(d, kDimension50 + i)->isChecked(), kDimension50 + i == kDimension100);
      }
      QVERIFY(control<QPushButton>(d, DimensionDialog::kOk)->isDefault());
      QCOMPARE(tab_chain(d, DimensionDialog::kOk).mid(0, 3), (QList<int>{1, 2, 1018}));
    }));
  }

  void ok_rebuilds_with_ten_stomata_inside_the_new_lattice() {
    m().step = 33;
    m().p_current[5][5] = -1.5;
    m().paused = 0;
    QVERIFY(h.run(kCmdDimension, [&](QDialog& d) {
      radio(d, kDimension400)->click();
      press(d, DimensionDialog::kOk);
    }));
    QCOMPARE(m().dialog_accepted, 1);
    QCOMPARE(m().dimension_choice, kDimension400);
    QCOMPARE(m().rows, 400);
    QCOMPARE(m().cols, 400);
    QCOMPARE(m().p_current.rows, 400);
    QCOMPARE(m().step, 0);
    QCOMPARE(m().paused, 1);
    QVERIFY(every_p_zero(m()));
    QCOMPARE(m().stomata.stoma_count, 10);
    QVERIFY(stomata_inside_lattice(m()));
    // At random, not all on the cell a fresh table starts on.
    int off_origin = 0;
    for (int i = 0; i < 10; ++i) off_origin += m().stomata.stoma_col[i] + m().stomata.stoma_row[i] > 0;
    QCOMPARE(off_origin, 10);
    QVERIFY(h.messages.isEmpty());
  }

  void cancel_keeps_the_lattice_and_the_ticked_size() {
    m().p_current[5][5] = -1.5;
    m().step = 12;
    const std::vector<int> cols = m().stomata.stoma_col;
    QVERIFY(h.run(kCmdDimension, [&](QDialog& d) {
      radio(d, kDimension400)->click();
      press(d, DimensionDialog::kCancel);
    }));
    QVERIFY(h.run(kCmdDimension, [&](QDialog& d) {
      QVERIFY(radio(d, kDimension100)->isChecked());
      radio(d, kDimension200)->click();
      QTest::keyClick(&d, Qt::Key_Escape);
    }));
    QCOMPARE(m().dialog_accepted, 0);
    QCOMPARE(m().dimension_choice, kDimension100);
    QCOMPARE(m().rows, 100);
    QCOMPARE(m().p_current[5][5], -1.5);
    QCOMPARE(m().step, 12);
    QCOMPARE(m().stomata.stoma_col, cols);
  }

  void placement_failures_are_reported_and_stomata_stay_inside() {
    m().spacing = 1000;
    QVERIFY(h.run(kCmdDimension, [&](QDialog& d) {
      radio(d, kDimension50)->click();
      press(d, DimensionDialog::kOk);
    }));
    QCOMPARE(h.messages, QStringList{QStringLiteral("Error: Randomize Failure!!")});
    QCOMPARE(m().rows, 50);
    QVERIFY(stomata_inside_lattice(m()));

    h.messages.clear();
    m().spacing = 1;
    m().border = 60;
    QVERIFY(h.run(kCmdDimension, [&](QDialog& d) { press(d, DimensionDialog::kOk); }));
    QCOMPARE(h.messages, QStringList{QStringLiteral("Error: Illegal border for this lattice!!")});
    QCOMPARE(m().rows, 50);
    QVERIFY(stomata_inside_lattice(m()));
  }

  // Every control lies inside its dialog and no text is wider than its
  // control. Controls do not overlap, but for the template's own one dialog
  // unit between a field and the label under it.
  void texts_fit_their_controls() {
    for (int command : {kCmdDimension, kCmdDisplay, kCmdSetParams}) {
      QVERIFY(h.run(command, [&](QDialog& d) {
        const QRect inside = d.rect();
        QList<QWidget*> solid;
        for (QWidget* c : d.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
          QVERIFY2(inside.contains(c->geometry()), qPrintable(d.windowTitle()));
          if (qobject_cast<QGroupBox*>(c)) continue;
          const bool has_text = qobject_cast<QLabel*>(c) || qobject_cast<QAbstractButton*>(c);
          if (has_text) {
            QVERIFY2(c->sizeHint().width() <= c->width(),
                     qPrintable(d.windowTitle() + ": " + c->objectName()));
          }
          for (QWidget* other : solid) {
            const QRect common = other->geometry() & c->geometry();
            QVERIFY2(common.isEmpty() || common.height() <= 3,
                     qPrintable(d.windowTitle() + ": " + c->objectName()));
          }
          solid << c;
        }
      }));
    }
  }
};

QTEST_MAIN(TestDialogsDimension)
#include "test_dialogs_dimension.moc"
