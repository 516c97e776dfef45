// The Stomata dialog driven through the "Stomata" command of the main window:
// what opening, OK, Cancel, "Randomize" and "Apply" leave in the model, the
// list texts, and the refusals of bad counts, borders and positions.
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <vector>

#include "model/model_state.h"
#include "model/placement.h"
#include "ui/window/main_window.h"
#include "ui/resources/command_ids.h"
#include "ui/dialogs/stoma_lists.h"
#include "ui/dialogs/stomata_dialog.h"

using namespace ombrisk;

namespace {

using D = StomataDialog;

const std::vector<int> kStartCols(kStartupStomaCol, kStartupStomaCol + kStartupStomaCount);
const std::vector<int> kStartRows(kStartupStomaRow, kStartupStomaRow + kStartupStomaCount);
const QString kIllegal = QStringLiteral("Illegal location for stomata!!");

template <typename W>
W* control(D& d, int id) {
  return d.findChild<W*>(QStringLiteral("control_%1").arg(id));
}
QLineEdit* field(D& d, int id) { return control<QLineEdit>(d, id); }
QPlainTextEdit* list(D& d, int id) { return control<QPlainTextEdit>(d, id); }
void press(D& d, int id) { control<QPushButton>(d, id)->click(); }

// Types into a field as the user does, replacing what it held.
void type(D& d, int id, const QString& text) {
  QLineEdit* edit = field(d, id);
  edit->selectAll();
  QTest::keyClick(edit, Qt::Key_Delete);
  QTest::keyClicks(edit, text);
}

}  // namespace

class TestStomataDialog : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<MainWindow> w;
  QStringList messages;

  ModelState& m() { return w->model(); }

  // Runs the "Stomata" command with `script` acting on the open dialog.
  // Returns whether the dialog was still open when the script ended (it is
  // then cancelled).
  bool run(const std::function<void(D&)>& script) {
    bool opened = false;
    bool left_open = false;
    QTimer::singleShot(0, [&] {
      auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
      if (!d) return;
      opened = true;
      script(*d);
      left_open = d->isVisible();
      if (left_open) d->reject();
    });
    w->handle_command(kCmdStomata);
    if (!opened) qWarning("the Stomata dialog did not open");
    return left_open || !opened;
  }

  void use_lattice(int side, int count) {
    free_lattice(m());
    m().rows = m().cols = side;
    m().dimension_choice = dimension_choice_for_side(side);
    m().stomata.stoma_count = count;
    reset_lattice(m());
    allocate_stoma_table(m());
  }

 private slots:
  void init() {
    messages.clear();
    w = std::make_unique<MainWindow>();
    w->set_message_sink([this](const QString& text, const QString& caption,
                               QMessageBox::Icon, QWidget* owner) {
      QVERIFY(owner == nullptr);
      messages << caption + ": " + text;
    });
    seed_random(w->random(), 12345);
    m().spacing = 1.234;
    m().step = 7;
  }
  void cleanup() { w.reset(); }

  void opening_and_ok_without_change() {
    QStringList order;
    QVERIFY(!run([&](D& d) {
      QCOMPARE(d.windowTitle(), QStringLiteral("Stomata"));
      QCOMPARE(field(d, D::kCount)->text(), QStringLiteral("10"));
      QCOMPARE(field(d, D::kSpacing)->text(), QStringLiteral(" 1.23"));
      QCOMPARE(field(d, D::kBorder)->text(), QStringLiteral("1"));
      QCOMPARE(list(d, D::kColumnsList)->toPlainText(),
               QStringLiteral("   10   10   20   30   50   60   60   80   80   80"));
      QCOMPARE(list(d, D::kRowsList)->toPlainText(),
               QStringLiteral("   20   60   40   80   30   40   70   20   40   70"));
      QVERIFY(control<QPushButton>(d, D::kOk)->isDefault());
      QWidget* first = control<QWidget>(d, D::kOk);
      for (QWidget* c = first; order.size() < 20;) {
        if (c->objectName().startsWith("control_")) order << c->objectName().mid(8);
        c = c->nextInFocusChain();
        if (c == first) break;
      }
      press(d, D::kOk);
    }));
    QCOMPARE(order, (QStringList{"1", "2", "1008", "1009", "1010", "1014", "1015", "1007",
                                 "1016"}));
    QCOMPARE(m().stomata.stoma_col, kStartCols);
    QCOMPARE(m().stomata.stoma_row, kStartRows);
    QVERIFY(m().spacing == 1.234);  // untouched, so not rounded to what the field shows
    QCOMPARE(m().dialog_accepted, 1);
    QCOMPARE(m().step, 0);
    QVERIFY(!m().p_current.empty());
    QVERIFY(messages.isEmpty());

    // A typed spacing is taken as typed, a count typed without "Apply" plays
    // no part; Enter in a list presses OK.
    QVERIFY(!run([&](D& d) {
      type(d, D::kSpacing, "2.5xyz");
      type(d, D::kCount, "3");
      QTest::keyClick(list(d, D::kRowsList), Qt::Key_Return);
    }));
    QCOMPARE(m().spacing, 2.5);
    QCOMPARE(m().stomata.stoma_count, 10);
    QCOMPARE(m().stomata.stoma_col, kStartCols);
  }

  void randomize_then_cancel_restores_everything() {
    for (int way = 0; way < 3; ++way) {  // Cancel, Esc, close box
      QVERIFY(!run([&](D& d) {
        type(d, D::kBorder, "3");
        type(d, D::kSpacing, "4");
        type(d, D::kCount, "40");  // ignored by Randomize
        press(d, D::kRandomize);
        QCOMPARE(m().stomata.stoma_count, 10);
        QCOMPARE(m().border, 3);
        QCOMPARE(m().spacing, 4.0);
        QVERIFY(m().stomata.stoma_col != kStartCols);
        for (int i = 0; i < 10; ++i) {
          QVERIFY(m().stomata.stoma_col[i] >= 3 && m().stomata.stoma_col[i] < 97);
          QVERIFY(m().stomata.stoma_row[i] >= 3 && m().stomata.stoma_row[i] < 97);
        }
        QCOMPARE(list(d, D::kColumnsList)->toPlainText().toStdString(),
                 format_stoma_list(m().stomata.stoma_col, 10));
        if (way == 0) press(d, D::kCancel);
        if (way == 1) QTest::keyClick(&d, Qt::Key_Escape);
        if (way == 2) d.close();
      }));
      QCOMPARE(m().stomata.stoma_col, kStartCols);
      QCOMPARE(m().stomata.stoma_row, kStartRows);
      QCOMPARE(m().border, 1);
      QCOMPARE(m().spacing, 1.234);
      QCOMPARE(m().dialog_accepted, 0);
      QCOMPARE(m().step, 7);
    }
  }

  void apply_then_cancel_keeps_the_new_table() {
    std::vector<int> cols, rows;
    QVERIFY(!run([&](D& d) {
      type(d, D::kCount, "25");
      type(d, D::kBorder, "2");
      press(d, D::kApply);
      cols = m().stomata.stoma_col;
      rows = m().stomata.stoma_row;
      QCOMPARE(list(d, D::kRowsList)->toPlainText().size(), 125);
      QCOMPARE(m().border, 2);
      press(d, D::kCancel);
    }));
    QCOMPARE(m().stomata.stoma_count, 25);
    QCOMPARE(m().stomata.stoma_col, cols);
    QCOMPARE(m().stomata.stoma_row, rows);
    QVERIFY(stomata_inside_lattice(m()));
    QCOMPARE(m().border, 1);
    QCOMPARE(m().spacing, 1.234);
    QCOMPARE(m().step, 7);
    QVERIFY(messages.isEmpty());
  }

  void refused_counts_and_borders_change_nothing() {
    use_lattice(50, 10);
    QVERIFY(!run([&](D& d) {
      const QStringList expected = {"Too many stomata!!", "Too many stomata!!",
                                    "Illegal number of stomata!!",
                                    "Illegal border for this lattice!!",
                                    "Illegal border for this lattice!!",
                                    "Illegal border for this lattice!!"};
      type(d, D::kCount, "30000");
      press(d, D::kApply);
      type(d, D::kCount, "2501");
      press(d, D::kApply);
      type(d, D::kCount, "-5");
      press(d, D::kApply);
      type(d, D::kCount, "20");
      type(d, D::kBorder, "-1");
      press(d, D::kApply);
      type(d, D::kBorder, "50");
      press(d, D::kRandomize);
      press(d, D::kOk);
      QVERIFY(d.isVisible());
      for (const QString& text : expected) QVERIFY(messages.removeOne("Error: " + text));
      QVERIFY(messages.isEmpty());
      QCOMPARE(m().stomata.stoma_count, 10);
      QCOMPARE(m().stomata.stoma_col, std::vector<int>(10, 0));
      QCOMPARE(m().border, 1);
      QCOMPARE(m().spacing, 1.234);
      QCOMPARE(m().dialog_accepted, 0);

      // 2500 passes the count test, but only 48 x 48 cells lie inside border 1.
      type(d, D::kBorder, "1");
      type(d, D::kCount, "2500");
      press(d, D::kApply);
      QCOMPARE(messages, QStringList{"Error: Randomize Failure!!"});
      QCOMPARE(m().stomata.stoma_count, 2500);
      QVERIFY(stomata_inside_lattice(m()));
      QCOMPARE(list(d, D::kColumnsList)->toPlainText().size(), 12500);

      // A count box with no number empties the table.
      type(d, D::kCount, "");
      press(d, D::kApply);
      QCOMPARE(m().stomata.stoma_count, 0);
      QVERIFY(list(d, D::kColumnsList)->toPlainText().isEmpty());
      press(d, D::kOk);
    }));
    QCOMPARE(m().dialog_accepted, 1);
    QCOMPARE(m().stomata.stoma_count, 0);
    QCOMPARE(m().step, 0);
  }

  void lists_are_read_with_integer_conversions() {
    QVERIFY(!run([&](D& d) {
      // Short columns list: only the first entries change. Rows: 010 is octal,
      // 0x1A hexadecimal, and what follows the tenth number is ignored.
      list(d, D::kColumnsList)->setPlainText("5\n6\t 7 ");
      list(d, D::kRowsList)->setPlainText("010 0x1A -0 +3 4 5 6 7 8 9 999 junk");
      press(d, D::kOk);
    }));
    std::vector<int> cols = kStartCols;
    cols[0] = 5, cols[1] = 6, cols[2] = 7;
    QCOMPARE(m().stomata.stoma_col, cols);
    QCOMPARE(m().stomata.stoma_row, (std::vector<int>{8, 26, 0, 3, 4, 5, 6, 7, 8, 9}));

    // Text that is no number stops the reading there.
    QVERIFY(!run([&](D& d) {
      list(d, D::kColumnsList)->setPlainText("1 x 2 3 4 5 6 7 8 9");
      press(d, D::kOk);
    }));
    cols[0] = 1;
    QCOMPARE(m().stomata.stoma_col, cols);
  }

  void illegal_positions_keep_the_dialog_open() {
    QVERIFY(run([&](D& d) {
      list(d, D::kColumnsList)->setPlainText("-3");
      list(d, D::kRowsList)->setPlainText("1 2 3 4 5 6 7 8 9 100");
      press(d, D::kOk);
      QCOMPARE(messages, (QStringList{"Error: " + kIllegal, "Error: " + kIllegal}));
      // The window may repaint now: the model must still hold legal cells.
      QCOMPARE(m().stomata.stoma_col, kStartCols);
      QCOMPARE(m().stomata.stoma_row, kStartRows);
    }));
    QCOMPARE(m().dialog_accepted, 0);
    QCOMPARE(m().step, 7);

    // Hundreds of illegal values: three messages, then one that counts the rest.
    messages.clear();
    QVERIFY(run([&](D& d) {
      type(d, D::kCount, "600");
      press(d, D::kApply);
      QString many;
      for (int i = 0; i < 600; ++i) many += "  999";
      list(d, D::kColumnsList)->setPlainText(many);
      list(d, D::kRowsList)->setPlainText("   -1");
      press(d, D::kOk);
    }));
    QCOMPARE(messages, (QStringList{"Error: " + kIllegal, "Error: " + kIllegal,
                                    "Error: " + kIllegal,
                                    "Error: " + kIllegal + " (and 598 more)"}));
    QCOMPARE(m().stomata.stoma_count, 600);
    QVERIFY(stomata_inside_lattice(m()));
  }

  void twenty_thousand_stomata_round_trip_whole() {
    use_lattice(800, kMaxStomata);
    m().border = 0;
    QVERIFY(randomize_stomata(m(), w->random()).status == PlacementStatus::complete);
    std::vector<int> cols = m().stomata.stoma_col;
    const std::vector<int> rows = m().stomata.stoma_row;
    QVERIFY(!run([&](D& d) {
      QString text = list(d, D::kColumnsList)->toPlainText();
      QCOMPARE(text.size(), 100000);
      QCOMPARE(list(d, D::kRowsList)->toPlainText().size(), 100000);
      text.replace(text.size() - 5, 5, "  799");
      list(d, D::kColumnsList)->setPlainText(text);
      press(d, D::kOk);
    }));
    cols.back() = 799;
    QCOMPARE(m().stomata.stoma_col, cols);
    QCOMPARE(m().stomata.stoma_row, rows);
    QCOMPARE(m().dialog_accepted, 1);
  }
};

QTEST_MAIN(TestStomataDialog)
#include "test_stomata_dialog.moc"
