// The window's layout: every control where the users expect it, at 96 dots per inch.

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <memory>

#include "look/app_icon.h"
#include "look/colours.h"

#include "look/window_style.h"
#include "window_test_support.h"

namespace jnx {

using layout::Column;

using test::ClickPage;
using test::Control;

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UseWindowLook(); }

    // Each control of the first and the last row, relative to its row panel.
    void rowControlRect_data();
    void rowControlRect();
    // The rows themselves, the top bar and the bottom area, relative to the client area.
    void windowControlRect_data();
    void windowControlRect();
    // Headings keep their left edge (centred ones their centre) and their width.
    void headingPlace_data();
    void headingPlace();
    // A heading wider in the installed font than in the Windows one is condensed to its
    // width: none runs into its neighbour ("MinOdds" "MaxStep" never read as one word).
    void headingsNeverRunIntoEachOther();
    // The check boxes are white in a dark frame on their yellow, as on the users' desktop.
    void checkBoxesStandOut_data();
    void checkBoxesStandOut();
    void captionSizeAndMenu();
    // The menu bar's overflow button, whose icon is looked up only when it is drawn,
    // draws the style's own icon.
    void menuOverflowIcon();
    // Group label colours follow the row, whatever group the page puts there.
    void labelColoursBelongToRows();
    void fixedColours();
    // Tab walks the window's order and starts at "保存終了".
    void tabOrderFromSaveEnd();
    void opensWithFocusOnSaveEnd();
    void resizingMovesNothing();
};

void LayoutTest::rowControlRect_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    struct Row {
        const char* stem;
        int number;  // the name's number in row 1; row 12 adds the step × 11
        int step;
        QRect rect;
    };
    const Row rows[] = {
        {"Gr", 1, 1, {8, 8, 25, 17}},      {"Act", 1, 1, {40, 8, 17, 17}},
        {"Type", 1, 1, {56, 8, 57, 20}},   {"Nk", 1, 1, {112, 8, 15, 20}},
        {"Ud", 1, 1, {127, 8, 24, 20}},    {"Bb", 1, 1, {160, 8, 57, 20}},
        {"Race", 1, 1, {216, 8, 25, 20}},  {"Step", 1, 1, {240, 8, 33, 20}},
        {"Total", 1, 1, {272, 8, 49, 20}}, {"Bet", 1, 1, {320, 8, 49, 20}},
        {"Odd", 1, 1, {368, 8, 49, 20}},   {"Plus", 1, 1, {416, 8, 49, 20}},
        {"Skip", 1, 1, {464, 8, 41, 20}},  {"mOdd", 1, 1, {504, 8, 41, 20}},
        {"mStep", 1, 1, {544, 8, 41, 20}}, {"Ud", 101, 1, {585, 8, 15, 20}},
        {"PN", 1, 1, {608, 8, 57, 20}},    {"Edit", 5, 3, {672, 8, 65, 20}},
        {"Edit", 6, 3, {736, 8, 41, 20}},
    };
    for (const Row& row : rows) {
        for (const int r : {1, 12}) {
            const QString name = row.stem + QString::number(row.number + row.step * (r - 1));
            QTest::newRow(qPrintable(name)) << name << row.rect;
        }
    }
}

void LayoutTest::rowControlRect() {
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    TQvEnv window;
    QCOMPARE(Control(window, name)->geometry(), rect);
}

void LayoutTest::windowControlRect_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::newRow("Panel1") << "Panel1" << QRect(8, 48, 785, 33);
    QTest::newRow("Panel3") << "Panel3" << QRect(8, 80, 785, 33);
    QTest::newRow("Panel23") << "Panel23" << QRect(8, 400, 785, 33);
    QTest::newRow("page1") << "page1" << QRect(8, 0, 73, 25);
    QTest::newRow("page2") << "page2" << QRect(88, 0, 73, 25);
    QTest::newRow("page3") << "page3" << QRect(168, 0, 73, 25);
    QTest::newRow("TotalZero") << "TotalZero" << QRect(278, 0, 59, 25);
    QTest::newRow("Button1") << "Button1" << QRect(616, 0, 57, 25);
    QTest::newRow("Edit2") << "Edit2" << QRect(280, 440, 369, 20);
    QTest::newRow("FindDir1") << "FindDir1" << QRect(648, 440, 41, 20);
    QTest::newRow("Edit3") << "Edit3" << QRect(280, 464, 369, 20);
    QTest::newRow("FindDir2") << "FindDir2" << QRect(648, 464, 41, 20);
    QTest::newRow("Panel2") << "Panel2" << QRect(8, 488, 81, 33);
    QTest::newRow("CheckBox1") << "CheckBox1" << QRect(16, 496, 65, 17);
    QTest::newRow("SaveEnd") << "SaveEnd" << QRect(96, 488, 265, 33);
}

void LayoutTest::windowControlRect() {
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    TQvEnv window;
    QWidget* widget = Control(window, name);
    const QPoint topLeft = widget->mapTo(window.centralWidget(), QPoint(0, 0));
    QCOMPARE(QRect(topLeft, widget->size()), rect);
}

void LayoutTest::headingPlace_data() {
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("fontHeight");
    QTest::addColumn<bool>("centred");
    QTest::newRow("Group") << "Group" << 8 << 30 << 12 << false;
    QTest::newRow("Active") << "Active" << 48 << 33 << 12 << false;
    QTest::newRow("popularity") << "人気" << 120 << 26 << 13 << false;
    QTest::newRow("R") << "R" << 224 << 10 << 16 << true;
    QTest::newRow("Step") << "Step" << 248 << 32 << 16 << true;
    QTest::newRow("Total") << "Total" << 288 << 34 << 16 << false;
    QTest::newRow("bet and odds") << "最新のBet&Odds" << 328 << 94 << 12 << false;
    QTest::newRow("Plus") << "Plus" << 424 << 27 << 15 << false;
    QTest::newRow("Skip") << "Skip" << 472 << 26 << 15 << false;
    QTest::newRow("MinOdds") << "MinOdds" << 512 << 44 << 12 << false;
    QTest::newRow("MaxStep") << "MaxStep" << 560 << 44 << 12 << false;
    QTest::newRow("balance") << "収支" << 616 << 26 << 13 << false;
}

void LayoutTest::headingPlace() {
    QFETCH(QString, caption);
    QFETCH(int, x);
    QFETCH(int, width);
    QFETCH(int, fontHeight);
    QFETCH(bool, centred);
    TQvEnv window;
    const QLabel* heading = nullptr;
    for (const QLabel* label : window.centralWidget()->findChildren<QLabel*>()) {
        if (label->text() == caption) {
            heading = label;
        }
    }
    if (heading == nullptr) {
        QFAIL("no such heading");
    }
    const QRect rect = heading->geometry();
    QCOMPARE(rect.y(), 32);
    QCOMPARE(rect.x(), x);
    QCOMPARE(rect.width(), width);
    QCOMPARE(heading->alignment() & Qt::AlignHorizontal_Mask,
             centred ? Qt::AlignHCenter : Qt::AlignLeft);
    QCOMPARE(heading->font().pixelSize(), fontHeight);
}

void LayoutTest::headingsNeverRunIntoEachOther() {
    TQvEnv window;
    QList<const QLabel*> headings;
    for (const QLabel* label : window.centralWidget()->findChildren<QLabel*>()) {
        if (label->y() == 32) {
            headings << label;
        }
    }
    QCOMPARE(headings.size(), 12);
    std::sort(headings.begin(), headings.end(),
              [](const QLabel* a, const QLabel* b) { return a->x() < b->x(); });
    int previousRight = 0;
    QString previous;
    for (const QLabel* heading : headings) {
        // Where the text's ink lies: from the left edge, or around the centre.
        const int advance = QFontMetrics(heading->font()).horizontalAdvance(heading->text());
        QVERIFY2(advance <= heading->width(), qPrintable(heading->text()));
        const int left = heading->alignment() & Qt::AlignHCenter
                             ? heading->x() + (heading->width() - advance) / 2
                             : heading->x();
        QVERIFY2(left >= previousRight,
                 qPrintable(previous + QStringLiteral(" runs into ") + heading->text()));
        previousRight = left + advance;
        previous = heading->text();
    }
}

void LayoutTest::checkBoxesStandOut_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("checked");
    for (const char* name : {"Act1", "Act12", "CheckBox1"}) {
        QTest::addRow("%s unchecked", name) << QString::fromLatin1(name) << false;
        QTest::addRow("%s checked", name) << QString::fromLatin1(name) << true;
    }
}

void LayoutTest::checkBoxesStandOut() {
    QFETCH(QString, name);
    QFETCH(bool, checked);
    TQvEnv window;
    auto* box = Control<QCheckBox>(window, name);
    box->setChecked(checked);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage image = box->grab().toImage();
    QStyleOptionButton option;
    option.initFrom(box);
    option.state |= checked ? QStyle::State_On : QStyle::State_Off;
    const QRect indicator =
        box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    const int ratio = static_cast<int>(image.devicePixelRatio());
    const auto at = [&](int x, int y) { return image.pixelColor(x * ratio, y * ratio); };
    const QColor around = at(box->width() - 1, box->height() - 1);
    QCOMPARE(around, QColor(255, 255, 0));
    // Inside, near the top left corner, where no tick reaches.
    QCOMPARE(at(indicator.left() + 2, indicator.top() + 2), QColor(Qt::white));
    const QColor frame = at(indicator.left(), indicator.center().y());
    QVERIFY2(ContrastRatio(frame, around) >= 3.0, qPrintable(frame.name()));
    if (checked) {
        QVERIFY(ContrastRatio(at(indicator.center().x(), indicator.center().y()), Qt::white) >=
                    3.0 ||
                ContrastRatio(at(indicator.center().x(), indicator.center().y() + 1), Qt::white) >=
                    3.0);
    }
}

void LayoutTest::captionSizeAndMenu() {
    TQvEnv window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(),
             QStringLiteral("Dorvel\u3000「Jnx.ini」設定ツール version 2.01"));
    QCOMPARE(window.centralWidget()->size(), QSize(797, 527));
    // The program's icon, drawn at each of its sizes.
    QList<QSize> iconSizes;
    for (const int size : kAppIconSizes) {
        iconSizes.append(QSize(size, size));
    }
    QCOMPARE(window.windowIcon().availableSizes(), iconSizes);
    const QList<QAction*> menus = window.menuBar()->actions();
    QCOMPARE(menus.size(), 1);
    QCOMPARE(menus[0]->text(), QStringLiteral("ファイル(&F)"));
    const QList<QAction*> items = menus[0]->menu()->actions();
    QCOMPARE(items.size(), 3);
    QCOMPARE(items[0], window.Save1);
    QCOMPARE(items[0]->text(), QStringLiteral("上書き保存(&S)"));
    QVERIFY(items[1]->isSeparator());
    QCOMPARE(items[2], window.Exit1);
    QCOMPARE(items[2]->text(), QStringLiteral("終了(&X)"));
}

void LayoutTest::menuOverflowIcon() {
    TQvEnv window;
    const auto* overflow =
        window.menuBar()->findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button"));
    QVERIFY(overflow != nullptr);
    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    const QIcon expected = fusion->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton);
    QVERIFY(!overflow->icon().isNull());
    for (const int side : {12, 16, 32}) {
        QCOMPARE(overflow->icon().pixmap(side, side).toImage(),
                 expected.pixmap(side, side).toImage());
    }
}

void LayoutTest::labelColoursBelongToRows() {
    const std::unique_ptr<TQvEnv> window = test::WindowOn(test::DistinctModel());
    ClickPage(*window, 2);
    const struct {
        int row;
        QString caption;
        QColor background;
        QColor text;
    } expected[] = {
        {1, "C", Qt::white, Qt::black},
        {2, "D", Qt::black, Qt::white},
        {3, "E", Qt::red, Qt::white},
        {4, "F", Qt::blue, Qt::white},
        {5, "G", Qt::yellow, Qt::black},
        {7, "I", QColor(0, 128, 0), Qt::white},
        {9, "K", QColor(255, 127, 0), Qt::white},
        {12, "N", QColor(255, 160, 192), Qt::black},
    };
    for (const auto& row : expected) {
        const QLabel* label = window->row(row.row).label();
        QCOMPARE(label->text(), row.caption);
        QCOMPARE(label->palette().color(QPalette::Window), row.background);
        QCOMPARE(label->palette().color(QPalette::WindowText), row.text);
        QCOMPARE(label->font().pixelSize(), 19);
    }
}

void LayoutTest::fixedColours() {
    TQvEnv window;
    const QColor yellow(255, 255, 0);
    QCOMPARE(window.row(1).list(Column::Type)->palette().color(QPalette::Base), yellow);
    QCOMPARE(window.row(12).text(Column::mOdd)->palette().color(QPalette::Base), yellow);
    QCOMPARE(window.Edit2->palette().color(QPalette::Base), yellow);
    QCOMPARE(window.Panel2->palette().color(QPalette::Window), yellow);
    // Only the first row's latest bet has the button face.
    const QColor face = QApplication::palette().color(QPalette::Button);
    QCOMPARE(window.row(1).text(Column::Bet)->palette().color(QPalette::Base), face);
    QCOMPARE(window.row(2).text(Column::Bet)->palette().color(QPalette::Base),
             QColor(212, 208, 200));
    QCOMPARE(window.SaveEnd->palette().color(QPalette::ButtonText), QColor(Qt::black));
    QCOMPARE(window.SaveEnd->font().pixelSize(), 16);
}

void LayoutTest::tabOrderFromSaveEnd() {
    TQvEnv window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QStringList visited;
    for (int i = 0; i < 16 * 12 + 12; ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    const QStringList firstRow = {"SaveEnd", "Type1",  "Nk1",   "Bb1",   "Total1", "Plus1",
                                  "mOdd1",   "mStep1", "Race1", "Step1", "Bet1",   "Odd1",
                                  "Skip1",   "Act1",   "PN1",   "Edit5", "Edit6",  "Type2"};
    QCOMPARE(visited.mid(0, firstRow.size()), firstRow);
    const qsizetype last = visited.indexOf("Edit39");
    QVERIFY(last > 0);
    const QStringList tail = {"Edit39",    "page1",     "page2",   "page3",
                              "TotalZero", "Edit2",     "Edit3",   "FindDir1",
                              "FindDir2",  "CheckBox1", "Button1", "SaveEnd"};
    QCOMPARE(visited.mid(last, tail.size()), tail);
}

void LayoutTest::opensWithFocusOnSaveEnd() {
    TQvEnv window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(QApplication::focusWidget(), window.SaveEnd);
}

void LayoutTest::resizingMovesNothing() {
    TQvEnv window;
    window.show();
    window.resize(1200, 900);
    QTest::qWait(10);
    QCOMPARE(window.SaveEnd->geometry(), QRect(96, 488, 265, 33));
    QCOMPARE(window.row(12).panel()->geometry(), QRect(8, 400, 785, 33));
}

}  // namespace jnx

QTEST_MAIN(jnx::LayoutTest)
#include "layout_test.moc"
