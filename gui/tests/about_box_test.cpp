// SPDX-License-Identifier: MIT
#include "gui/about_box.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include "gui/dialog_geometry.h"

namespace varnoket::gui {

class AboutBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void showsIconNameVersionAndCredits() {
    QWidget owner;
    AboutBox box(&owner);
    QCOMPARE(box.windowTitle(), QStringLiteral("О программе"));
    QVERIFY(box.isModal());

    const QStringList lines = box.findChild<QLabel*>("text")->text().split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0], QStringLiteral("Varnoket v1.0"));
    QCOMPARE(lines[1], QString());
    QVERIFY(!lines[2].isEmpty());

    const QPixmap icon = box.findChild<QLabel*>("icon")->pixmap();
    QVERIFY(!icon.isNull());
    QVERIFY(box.findChild<QPushButton*>("ok")->isDefault());
  }

  void closes_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << "ok" << int(QDialog::Accepted);
    QTest::newRow("Enter") << "enter" << int(QDialog::Accepted);
    QTest::newRow("Esc") << "escape" << int(QDialog::Rejected);
    QTest::newRow("close button") << "close" << int(QDialog::Rejected);
  }
  void closes() {
    QFETCH(QString, way);
    QFETCH(int, result);
    QWidget owner;
    owner.show();
    AboutBox box(&owner);
    QSignalSpy finished(&box, &QDialog::finished);
    box.show();
    QVERIFY(QTest::qWaitForWindowActive(&box));

    if (way == "ok") QTest::mouseClick(box.findChild<QPushButton*>("ok"), Qt::LeftButton);
    if (way == "enter") QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    if (way == "escape") QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    if (way == "close") QVERIFY(box.close());

    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.front().front().toInt(), result);
  }

  void centresOverItsOwner() {
    const QRect workArea = QApplication::primaryScreen()->availableGeometry();
    QWidget owner;
    owner.setGeometry(workArea.x() + 100, workArea.y() + 80, 500, 300);
    owner.show();
    AboutBox box(&owner);
    box.show();
    QCOMPARE(box.frameGeometry().topLeft(),
             CentredPosition(box.frameGeometry().size(), owner.frameGeometry(), workArea));
    const QPoint offset = box.frameGeometry().center() - owner.frameGeometry().center();
    QVERIFY(offset.manhattanLength() <= 2);
  }

  // The arithmetic is desktop::CentredPosition's; these rows check what the Qt
  // side gives it: the edges of a QRect, and the work area when there is no
  // reference.
  void centredPosition_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QRect>("reference");
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<QPoint>("expected");
    const QRect area(0, 20, 1000, 700);
    QTest::newRow("over the reference")
        << QSize(100, 50) << QRect(200, 200, 400, 300) << area << QPoint(350, 325);
    QTest::newRow("no reference: on the work area")
        << QSize(100, 50) << QRect() << area << QPoint(450, 345);
    QTest::newRow("odd sizes round toward zero")
        << QSize(101, 51) << QRect(200, 200, 401, 301) << area << QPoint(350, 325);
    QTest::newRow("pushed up from the bottom edge")
        << QSize(100, 100) << QRect(200, 690, 100, 30) << area << QPoint(200, 620);
  }
  void centredPosition() {
    QFETCH(QSize, size);
    QFETCH(QRect, reference);
    QFETCH(QRect, workArea);
    QFETCH(QPoint, expected);
    QCOMPARE(CentredPosition(size, reference, workArea), expected);
  }
};

}  // namespace varnoket::gui

QTEST_MAIN(varnoket::gui::AboutBoxTest)
#include "about_box_test.moc"
