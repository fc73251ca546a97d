// The file dialogs as a user drives them: a typed pattern filters the list
// and keeps the dialog open; a name is taken.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>
#include <vector>

#include "platform/file_dialog.h"
#include "platform/qt_text.h"
#include "tests/qt_application_environment.h"

namespace cluster {
namespace {

// Runs `steps` one after the other on the open dialog while Execute() waits
// in it; each step sees the dialog and its name box.
bool Drive(FileDialog& dialog, std::vector<std::function<void(QFileDialog&, QLineEdit&)>> steps) {
  std::size_t next = 0;
  QTimer timer;
  timer.setInterval(20);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* open = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (open == nullptr) return;
    auto* box = open->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    if (next < steps.size() && box != nullptr) {
      steps[next++](*open, *box);
    } else {
      open->reject();  // a dialog that stayed open too long
    }
  });
  timer.start();
  return dialog.Execute();
}

TEST(FileDialogTest, APatternFiltersTheListAndANameIsTaken) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  std::ofstream((folder.path() + "/a.txt").toStdString()).put('x');
  std::ofstream((folder.path() + "/b.csv").toStdString()).put('x');
  FileDialog dialog(FileDialogKind::Open);
  dialog.Title = "Output File";
  dialog.FileName = PathFromQString(folder.path()) + "/*.txt";
  QStringList filtersAtStart;
  QStringList filtersAfterTyping;
  QString boxAtStart;
  const bool chosen = Drive(dialog, {
      [&](QFileDialog& open, QLineEdit& box) {
        // It starts showing the "*.txt" files, the pattern in the name box.
        filtersAtStart = open.nameFilters();
        boxAtStart = box.text();
        box.setText(QStringLiteral("*.csv"));
        QTest::keyClick(&box, Qt::Key_Return);
      },
      [&](QFileDialog& open, QLineEdit& box) {
        // Still open, now showing the "*.csv" files.
        filtersAfterTyping = open.nameFilters();
        box.setText(QStringLiteral("out.txt"));
        QTest::keyClick(&box, Qt::Key_Return);
      },
  });
  EXPECT_EQ(filtersAtStart, QStringList{QStringLiteral("*.txt")});
  EXPECT_EQ(boxAtStart, QStringLiteral("*.txt"));
  EXPECT_EQ(filtersAfterTyping, QStringList{QStringLiteral("*.csv")});
  ASSERT_TRUE(chosen);
  EXPECT_EQ(dialog.FileName, PathFromQString(folder.path()) + "/out.txt");
}

}  // namespace
}  // namespace cluster
