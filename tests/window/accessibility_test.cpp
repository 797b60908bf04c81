// What the window tells a screen reader: every control's name says which group and which
// column it is, names follow the page, and what a box shows is its value, never its name.

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <array>
#include <vector>

#include "look/window_style.h"
#include "support/test_files.h"
#include "window_test_support.h"

namespace jnx {

using layout::Column;

using test::ClickPage;
using test::DistinctModel;
using test::Editor;
using test::OtherProgramWrites;
using test::Sample;
using test::WindowOn;

namespace {

// What a screen reader is told a control is called.
QString NameOf(QWidget* control) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
    return iface == nullptr ? QString() : iface->text(QAccessible::Name);
}

QString ValueOf(QWidget* control) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(control);
    return iface == nullptr ? QString() : iface->text(QAccessible::Value);
}

// The controls a screen reader lets the user reach and work: boxes, lists, check boxes
// and buttons, the arrows of the spins among them.
std::vector<QWidget*> WorkedControls(QWidget& window) {
    std::vector<QWidget*> controls;
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        const bool worked = qobject_cast<QLineEdit*>(widget) != nullptr ||
                            qobject_cast<QAbstractButton*>(widget) != nullptr ||
                            qobject_cast<QComboBox*>(widget) != nullptr;
        if (worked && widget->window() == &window && widget->isVisibleTo(&window)) {
            controls.push_back(widget);
        }
    }
    return controls;
}

// A list's edit field is part of the list and is called as the list is.
bool IsPartOfAList(const QWidget* widget) {
    return qobject_cast<const QComboBox*>(widget->parentWidget()) != nullptr;
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UseWindowLook(); }

    // Every row control of every page, by its column: the name a screen reader reads.
    void rowControlsSayTheirGroupAndColumn_data();
    void rowControlsSayTheirGroupAndColumn();
    // Every control a screen reader reaches has a name of its own, on every page.
    void everyControlHasAUniqueName();
    // A list is called what it is; what it shows is its value, and changes alone.
    void aListsNameIsNotItsValue();
    // The page buttons say which groups they show and which page is shown; the reset
    // buttons what they zero, on that page.
    void pageAndResetButtonsFollowThePage();
    void folderBoxesAndTheirButtonsSayWhichFolder();
    // A value the live view takes from the file is the box's value: its name stays, and
    // nothing takes the focus.
    void aValueTakenFromTheFileChangesTheValueNotTheName();
};

void AccessibilityTest::rowControlsSayTheirGroupAndColumn_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");  // a Column
    QTest::addColumn<QString>("name");
    const auto add = [](const char* tag, int page, int row, Column column, const char* name) {
        QTest::newRow(tag) << page << row << static_cast<int>(column) << QString::fromUtf8(name);
    };
    add("group label", 1, 4, Column::Gr, "グループ 3");
    add("active", 1, 1, Column::Act, "グループ 0 Active");
    add("bet type", 1, 11, Column::Type, "グループ A 券種");
    add("popularity", 1, 2, Column::Nk, "グループ 1 人気");
    add("popularity arrows", 1, 2, Column::Ud, "グループ 1 人気の増減");
    add("racecourse", 2, 1, Column::Bb, "グループ C 競馬場");
    add("race", 2, 12, Column::Race, "グループ N R");
    add("step", 3, 1, Column::Step, "グループ O Step");
    add("total", 1, 4, Column::Total, "グループ 3 Total");
    add("bet", 2, 5, Column::Bet, "グループ G 最新のBet");
    add("odds", 1, 4, Column::Odd, "グループ 3 最新のOdds");
    add("plus", 3, 12, Column::Plus, "グループ Z Plus");
    add("skip", 2, 2, Column::Skip, "グループ D Skip");
    add("minimum odds", 1, 12, Column::mOdd, "グループ B MinOdds");
    add("maximum step", 3, 6, Column::mStep, "グループ T MaxStep");
    add("maximum step arrows", 3, 6, Column::MaxStepSpin, "グループ T MaxStepの増減");
    add("balance", 2, 3, Column::PN, "グループ E 収支");
    add("blank left", 1, 1, Column::BlankLeft, "グループ 0 空欄 左");
    add("blank right", 3, 3, Column::BlankRight, "グループ Q 空欄 右");
}

void AccessibilityTest::rowControlsSayTheirGroupAndColumn() {
    QFETCH(int, page);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, name);
    const auto window = WindowOn(DistinctModel());
    // Through another page first: the names are the page's, not left from the last one.
    ClickPage(*window, page % 3 + 1);
    ClickPage(*window, page);
    QCOMPARE(NameOf(window->row(row).widget(static_cast<Column>(column))), name);
}

void AccessibilityTest::everyControlHasAUniqueName() {
    const auto window = WindowOn(DistinctModel());
    for (const int page : {1, 2, 3, 1}) {
        ClickPage(*window, page);
        QSet<QString> names;
        for (QWidget* control : WorkedControls(*window)) {
            const QString name = NameOf(control);
            const QString what = control->objectName() + QStringLiteral(" on page ") +
                                 QString::number(page) + QStringLiteral(": ") + name;
            QVERIFY2(!name.trimmed().isEmpty(), qPrintable(what));
            if (IsPartOfAList(control)) {
                QCOMPARE(name, NameOf(control->parentWidget()));
            } else {
                QVERIFY2(!names.contains(name), qPrintable(what));
                names.insert(name);
            }
        }
        // 12 rows of a check box, 2 lists, 2 spins of two arrows and 13 boxes; 5 buttons
        // at the top, 2 folder boxes and their buttons, the pause box and "保存終了".
        QCOMPARE(names.size(), 12 * (1 + 2 + 2 * 2 + 13) + 5 + 2 * 2 + 1 + 1);
        // Every row's controls name the group its label shows.
        for (int r = 1; r <= layout::kRowCount; ++r) {
            const QString group = window->row(r).label()->text();
            for (const layout::ColumnLayout& place : layout::kColumns) {
                const QString name = NameOf(window->row(r).widget(place.column));
                QVERIFY2(name.startsWith(QStringLiteral("グループ ") + group), qPrintable(name));
            }
        }
    }
}

void AccessibilityTest::aListsNameIsNotItsValue() {
    const auto window = WindowOn(DistinctModel());
    for (const Column column : {Column::Type, Column::Bb}) {
        Cp932ComboBox* list = window->row(1).list(column);
        const QString name = NameOf(list);
        QVERIFY(name.startsWith(QStringLiteral("グループ 0 ")));
        QCOMPARE(ValueOf(list), list->currentText());
        QVERIFY2(name != list->currentText(), qPrintable(name));
        list->setCurrentIndex((list->currentIndex() + 1) % list->count());
        QCOMPARE(NameOf(list), name);
        QCOMPARE(ValueOf(list), list->currentText());
        // A text that is no item is shown as typed, and still not the name.
        list->setBytes("xyz");
        QCOMPARE(ValueOf(list), QStringLiteral("xyz"));
        QCOMPARE(NameOf(list), name);
    }
}

void AccessibilityTest::pageAndResetButtonsFollowThePage() {
    const auto window = WindowOn(DistinctModel());
    const std::array<QPushButton*, 3> pages = {window->page1, window->page2, window->page3};
    const std::array<const char*, 3> names = {
        "ページ 1 グループ 0 ～ B", "ページ 2 グループ C ～ N", "ページ 3 グループ O ～ Z"};
    const std::array<const char*, 3> totals = {"ページ 1 のグループ 0 ～ B の Total を 0 にする",
                                               "ページ 2 のグループ C ～ N の Total を 0 にする",
                                               "ページ 3 のグループ O ～ Z の Total を 0 にする"};
    const std::array<const char*, 3> balances = {"ページ 1 のグループ 0 ～ B の 収支 を 0 にする",
                                                 "ページ 2 のグループ C ～ N の 収支 を 0 にする",
                                                 "ページ 3 のグループ O ～ Z の 収支 を 0 にする"};
    for (const int page : {2, 3, 1}) {
        ClickPage(*window, page);
        for (std::size_t i = 0; i < pages.size(); ++i) {
            QCOMPARE(NameOf(pages.at(i)), QString::fromUtf8(names.at(i)));
            const char* description =
                static_cast<int>(i) + 1 == page ? "表示中のページ" : "このページを表示する";
            QCOMPARE(pages.at(i)->accessibleDescription(), QString::fromUtf8(description));
        }
        const auto shown = static_cast<std::size_t>(page - 1);
        QCOMPARE(window->TotalZero->accessibleDescription(), QString::fromUtf8(totals.at(shown)));
        QCOMPARE(window->Button1->accessibleDescription(), QString::fromUtf8(balances.at(shown)));
        // The buttons keep what they show.
        QCOMPARE(NameOf(window->TotalZero), QStringLiteral("Total->0"));
        QCOMPARE(NameOf(window->Button1), QStringLiteral("収支->0"));
    }
}

void AccessibilityTest::folderBoxesAndTheirButtonsSayWhichFolder() {
    const auto window = WindowOn(DistinctModel());
    struct Folder {
        QLineEdit* box;
        QPushButton* button;
        QString caption;
    };
    for (const Folder& folder : {Folder{window->Edit2, window->FindDir1, window->Label1->text()},
                                 Folder{window->Edit3, window->FindDir2, window->Label2->text()}}) {
        QCOMPARE(NameOf(folder.box), folder.caption);
        QCOMPARE(NameOf(folder.button), folder.caption + QStringLiteral(" の参照"));
        QVERIFY(folder.button->accessibleDescription().contains(folder.caption));
    }
    QCOMPARE(NameOf(window->CheckBox1), QStringLiteral("一時停止"));
}

void AccessibilityTest::aValueTakenFromTheFileChangesTheValueNotTheName() {
    Editor editor(Sample());
    TQvEnv& window = *editor.window;
    window.FormCreate();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QWidget* total = window.row(4).text(Column::Total);
    QWidget* list = window.row(4).list(Column::Bb);
    QWidget* focus = QApplication::focusWidget();
    OtherProgramWrites(editor.path, "Group3", "Total", "98765");
    OtherProgramWrites(editor.path, "Group3", "Bb", "5");
    window.followFile();
    QCOMPARE(ValueOf(total), QStringLiteral("98765"));
    QCOMPARE(ValueOf(list), QStringLiteral("東京"));  // course 5
    QCOMPARE(NameOf(total), QStringLiteral("グループ 3 Total"));
    QCOMPARE(NameOf(list), QStringLiteral("グループ 3 競馬場"));
    QCOMPARE(QApplication::focusWidget(), focus);
    QCOMPARE(QApplication::topLevelWidgets().count(&window), 1);
}

}  // namespace jnx

QTEST_MAIN(jnx::AccessibilityTest)
#include "accessibility_test.moc"
