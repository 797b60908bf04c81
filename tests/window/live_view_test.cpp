// The window follows the file while the betting tool writes into it: what the user left
// alone shows the tool's values, what the user is editing or has edited stays the user's.

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "file_watch.h"
#include "look/window_style.h"
#include "profile_document.h"
#include "support/test_files.h"
#include "window_test_support.h"

namespace jnx {

using layout::Column;

using test::AnswerBoxes;
using test::ClickPage;
using test::Editor;
using test::InFile;
using test::OtherProgramWrites;
using test::Sample;
using test::ShownText;
using test::TypeInto;

namespace {

// The window reads the file some 150 ms after a change; the margin is for slow runners
// (sanitizers, Wine).
constexpr int kShowsWithin = 3000;
constexpr int kQuiet = static_cast<int>(FileWatch::kQuiet.count());

// How the betting tool's folder comes back: made again with a new file (the tool
// reinstalled), renamed back (its file changed meanwhile), or a backup renamed into its
// place.
enum class Return { MadeAgain, RenamedBack, BackupInItsPlace };

// The settings file in a folder, as the tests' windows look it up.
std::string FileIn(const QString& folder) {
    return QFile::encodeName(folder + QStringLiteral("/Jnx.ini")).toStdString();
}

// An editor on the sample, loaded, shown and active, as the user sees it.
std::unique_ptr<Editor> OpenEditor() {
    auto editor = std::make_unique<Editor>(Sample());
    editor->window->FormCreate();
    editor->window->show();
    if (!QTest::qWaitForWindowActive(editor->window.get())) {
        QTest::qFail("the window did not become active", __FILE__, __LINE__);
    }
    return editor;
}

// The tool writes [Group3] Total twice, first replacing the file, then in place: the window
// shows each write.
void ExpectToolWritesShown(TQvEnv& window, const std::string& path) {
    OtherProgramWrites(path, "Group3", "Total", "777");
    QTRY_COMPARE_WITH_TIMEOUT(window.row(4).text(Column::Total)->text(), QStringLiteral("777"),
                              kShowsWithin);
    std::string bytes = test::ReadBytes(path);
    bytes.replace(bytes.find("Total=777"), 9, "Total=778");
    test::WriteBytes(path, bytes);
    QTRY_COMPARE_WITH_TIMEOUT(window.row(4).text(Column::Total)->text(), QStringLiteral("778"),
                              kShowsWithin);
}

}  // namespace

class LiveViewTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UseWindowLook(); }

    // The page shown follows at once; another page shows the new value when paged to.
    void rowsFollowAnotherProgramsWrites();
    // A focused box is never touched and takes the file's value once left; a box the user
    // has edited keeps the user's text through refreshes and the save.
    void whatTheUserIsEditingOrEditedStaysTheUsers();
    // A value the user changed and then typed or chose back, in a box still focused, is
    // the user's: the tool's later write of the key is neither shown nor kept by the save.
    void aValueTypedBackIsTheUsers_data();
    void aValueTypedBackIsTheUsers();
    void anOpenListIsNotChanged();
    void aBurstOfWritesIsReadAFewTimes();
    // A value that does not convert shows as text, raises no box and is saved back as it is.
    void valuesThatDoNotConvertArriveWithoutABox();
    void aDeletedAndRecreatedFileIsFollowedAgain();
    // A tool that keeps the file open for writing: the window does not read it meanwhile,
    // and reads it once the tool lets go, though nothing changes in the file then.
    void aFileHeldOpenForWritingIsReadOnceLetGo();
    // The betting tool reinstalled: its folder removed and made again, with a new file.
    void aRemovedAndRecreatedFolderIsFollowedAgain_data();
    void aRemovedAndRecreatedFolderIsFollowedAgain();
    // Its folder gone and back after a while, or another in its place: the window shows the
    // file as it comes back, and the tool's writes after that.
    void aFolderThatGoesAndComesBackIsFollowedAgain_data();
    void aFolderThatGoesAndComesBackIsFollowedAgain();
    // The program's folder renamed with the program in it: the file is looked up beside the
    // program, in the folder under its new name, and followed there.
    void aFileLookedUpInARenamedFolderIsFollowedThere();
};

void LiveViewTest::rowsFollowAnotherProgramsWrites() {
    const auto editor = OpenEditor();
    TQvEnv& window = *editor->window;
    OtherProgramWrites(editor->path, "Group3", "Total", "98765");
    OtherProgramWrites(editor->path, "GroupC", "Bet", "4400");  // page 2, row 1
    QTRY_COMPARE_WITH_TIMEOUT(window.row(4).text(Column::Total)->text(), QStringLiteral("98765"),
                              kShowsWithin);
    // The rename replaced the file the watch was on; the new one is followed too.
    OtherProgramWrites(editor->path, "Group3", "Total", "12");
    OtherProgramWrites(editor->path, "Dir", "PatData", "D:\\PAT\\");
    QTRY_COMPARE_WITH_TIMEOUT(window.row(4).text(Column::Total)->text(), QStringLiteral("12"),
                              kShowsWithin);
    QTRY_COMPARE_WITH_TIMEOUT(window.Edit3->text(), QStringLiteral("D:\\PAT\\"), kShowsWithin);
    ClickPage(window, 2);
    QCOMPARE(window.row(1).text(Column::Bet)->text(), QStringLiteral("4400"));
}

void LiveViewTest::aFileHeldOpenForWritingIsReadOnceLetGo() {
    const auto editor = OpenEditor();
    TQvEnv& window = *editor->window;
    ProfileDocument document(test::ReadBytes(editor->path));
    document.write("Group3", "Total", "24680");
    const std::string bytes = document.bytes();
    std::FILE* tool = std::fopen(editor->path.c_str(), "r+b");
    QVERIFY(tool != nullptr);
    QCOMPARE(std::fwrite(bytes.data(), 1, bytes.size(), tool), bytes.size());
    QCOMPARE(std::fflush(tool), 0);
    const int before = window.followCount();
    QTRY_VERIFY_WITH_TIMEOUT(window.followCount() > before, kShowsWithin);
    QTest::qWait(2 * kQuiet);
    QCOMPARE(window.row(4).text(Column::Total)->text(), QStringLiteral("3500"));
    QCOMPARE(std::fclose(tool), 0);
    QTRY_COMPARE_WITH_TIMEOUT(window.row(4).text(Column::Total)->text(), QStringLiteral("24680"),
                              kShowsWithin);
}

void LiveViewTest::whatTheUserIsEditingOrEditedStaysTheUsers() {
    const auto editor = OpenEditor();
    TQvEnv& window = *editor->window;
    // Row 2 (group "1"): the bet edited and left; row 4 (group "3"): the step typed into
    // and still focused.
    TypeInto(window.row(2).text(Column::Bet), QStringLiteral("150"));
    window.row(4).text(Column::Step)->setFocus();
    TypeInto(window.row(4).text(Column::Step), QStringLiteral("9"));
    QVERIFY(window.row(4).text(Column::Step)->hasFocus());
    OtherProgramWrites(editor->path, "Group1", "Bet", "300");
    OtherProgramWrites(editor->path, "Group3", "Step", "4");
    OtherProgramWrites(editor->path, "Group1", "Skip", "5");  // left alone: follows
    QTRY_COMPARE_WITH_TIMEOUT(window.row(2).text(Column::Skip)->text(), QStringLiteral("5"),
                              kShowsWithin);
    QCOMPARE(window.row(2).text(Column::Bet)->text(), QStringLiteral("150"));
    QCOMPARE(window.row(4).text(Column::Step)->text(), QStringLiteral("9"));

    // Row 3 (group "2"): the odds focused and not changed; the step is edited and left now.
    window.row(3).text(Column::Odd)->setFocus();
    OtherProgramWrites(editor->path, "Group2", "Odd", "7.7");
    OtherProgramWrites(editor->path, "Group1", "Skip", "6");
    QTRY_COMPARE_WITH_TIMEOUT(window.row(2).text(Column::Skip)->text(), QStringLiteral("6"),
                              kShowsWithin);
    QCOMPARE(window.row(3).text(Column::Odd)->text(), QStringLiteral("3.1"));
    QCOMPARE(window.row(4).text(Column::Step)->text(), QStringLiteral("9"));

    // Once left, the unchanged box takes the file's value.
    window.row(5).text(Column::Plus)->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(window.row(3).text(Column::Odd)->text(), QStringLiteral("7.7"),
                              kShowsWithin);

    // The save writes the user's values and the other program's; its own change of the
    // file then takes nothing back.
    const std::vector<test::ShownBox> boxes = AnswerBoxes([&] { window.Save1->trigger(); });
    QVERIFY(boxes.empty());
    const int follows = window.followCount();
    QTRY_VERIFY_WITH_TIMEOUT(window.followCount() > follows, kShowsWithin);
    QCOMPARE(InFile(editor->path, "Group1", "Bet"), std::string("150"));
    QCOMPARE(InFile(editor->path, "Group3", "Step"), std::string("9"));
    QCOMPARE(InFile(editor->path, "Group2", "Odd"), std::string("7.7"));
    QCOMPARE(InFile(editor->path, "Group1", "Skip"), std::string("6"));
    QCOMPARE(window.row(2).text(Column::Bet)->text(), QStringLiteral("150"));
    QCOMPARE(window.row(4).text(Column::Step)->text(), QStringLiteral("9"));
}

namespace {

// A control of the editor's window that shows one key, and how the user sets it.
struct TypedBackCase {
    const char* section;
    const char* key;
    QWidget* (*control)(TQvEnv& window);
    const char* toolValue;  // what the tool writes while the user's value is shown
};

const std::array<TypedBackCase, 6> kTypedBackCases = {{
    {"Group3", "Plus", [](TQvEnv& w) -> QWidget* { return w.row(4).text(Column::Plus); }, "700"},
    {"Group3", "Popularity", [](TQvEnv& w) -> QWidget* { return w.row(4).edit(Column::Nk); }, "5"},
    {"Group3", "Bb", [](TQvEnv& w) -> QWidget* { return w.row(4).list(Column::Bb); }, "7"},
    {"Group3", "Active", [](TQvEnv& w) -> QWidget* { return w.row(4).check(); }, "False"},
    {"Dir", "BetAutoRead", [](TQvEnv& w) -> QWidget* { return w.Edit2; }, "D:\\Tool\\"},
    {"Options", "OKStep", [](TQvEnv& w) -> QWidget* { return w.CheckBox1; }, "True"},
}};

// Makes the focused control show `shown` as the user does: types it into an edit box,
// steps a list to it with the arrow keys, presses Space on a check box.
void UserSets(QWidget* control, const QString& shown) {
    if (auto* check = qobject_cast<QCheckBox*>(control)) {
        if (ShownText(check) != shown) {
            QTest::keyClick(check, Qt::Key_Space);
        }
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
        const int wanted = list->findText(shown);
        QVERIFY(wanted >= 0);
        while (list->currentIndex() != wanted) {
            QTest::keyClick(list, list->currentIndex() < wanted ? Qt::Key_Down : Qt::Key_Up);
        }
    } else {
        TypeInto(control, shown);
    }
    QCOMPARE(ShownText(control), shown);
}

// Another value the control can show: the other state of a check box, the next item of a
// list, a number or text of another length in an edit box.
QString AnotherValue(QWidget* control) {
    if (auto* check = qobject_cast<QCheckBox*>(control)) {
        return check->isChecked() ? QStringLiteral("unchecked") : QStringLiteral("checked");
    }
    if (auto* list = qobject_cast<QComboBox*>(control)) {
        return list->itemText((list->currentIndex() + 1) % list->count());
    }
    return ShownText(control) == QStringLiteral("2") ? QStringLiteral("3") : QStringLiteral("2");
}

}  // namespace

void LiveViewTest::aValueTypedBackIsTheUsers_data() {
    QTest::addColumn<int>("index");
    for (std::size_t i = 0; i < kTypedBackCases.size(); ++i) {
        const TypedBackCase& row = kTypedBackCases[i];
        QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(row.section, row.key)))
            << static_cast<int>(i);
    }
}

void LiveViewTest::aValueTypedBackIsTheUsers() {
    QFETCH(int, index);
    const TypedBackCase& row = kTypedBackCases.at(static_cast<std::size_t>(index));
    const auto editor = OpenEditor();
    TQvEnv& window = *editor->window;
    const std::string inFile = InFile(editor->path, row.section, row.key);
    QWidget* control = row.control(window);
    const QString loaded = ShownText(control);

    // Changed and left, then set back and kept focused.
    control->setFocus();
    UserSets(control, AnotherValue(control));
    window.row(1).text(Column::Race)->setFocus();
    control->setFocus();
    UserSets(control, loaded);

    OtherProgramWrites(editor->path, row.section, row.key, row.toolValue);
    OtherProgramWrites(editor->path, "Group1", "Skip", "5");  // left alone: follows
    QTRY_COMPARE_WITH_TIMEOUT(window.row(2).text(Column::Skip)->text(), QStringLiteral("5"),
                              kShowsWithin);
    QCOMPARE(ShownText(control), loaded);
    QVERIFY(control->hasFocus());

    const std::vector<test::ShownBox> boxes = AnswerBoxes([&] { window.Save1->trigger(); });
    QVERIFY(boxes.empty());
    QCOMPARE(InFile(editor->path, row.section, row.key), inFile);
    QCOMPARE(ShownText(control), loaded);
    QCOMPARE(InFile(editor->path, "Group1", "Skip"), std::string("5"));
}

void LiveViewTest::anOpenListIsNotChanged() {
    const auto editor = OpenEditor();
    TQvEnv& window = *editor->window;
    Cp932ComboBox* type = window.row(1).list(Column::Type);
    type->showPopup();
    QTRY_VERIFY(type->view()->isVisible());
    // Away from the combo box: its list is open all the same.
    window.row(5).text(Column::Plus)->setFocus();
    QVERIFY(type->view()->isVisible());
    OtherProgramWrites(editor->path, "Group0", "Type", "K");
    OtherProgramWrites(editor->path, "Group0", "Skip", "3");
    QTRY_COMPARE_WITH_TIMEOUT(window.row(1).text(Column::Skip)->text(), QStringLiteral("3"),
                              kShowsWithin);
    QCOMPARE(type->currentText(), QStringLiteral("単勝"));

    type->hidePopup();
    window.row(6).text(Column::Plus)->setFocus();
    QTRY_COMPARE_WITH_TIMEOUT(type->currentText(), QStringLiteral("ワイド"), kShowsWithin);
}

void LiveViewTest::aBurstOfWritesIsReadAFewTimes() {
    const auto editor = OpenEditor();
    TQvEnv& window = *editor->window;
    const int before = window.followCount();
    // 500 writes of one key each, over about a second, as the betting tool writes (over ten
    // and more where writing a file is slow, as on Wine).
    std::atomic<int> failed = 0;
    std::atomic<bool> done = false;
    const auto start = std::chrono::steady_clock::now();
    std::thread writer([path = editor->path, &failed, &done] {
        for (int i = 1; i <= 500; ++i) {
            try {
                OtherProgramWrites(path, "Group0", "Total", std::to_string(i));
            } catch (const std::exception&) {
                ++failed;  // the editor's reads must never make a write fail
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        done = true;
    });
    while (!done) {
        QTest::qWait(20);  // the window follows meanwhile
    }
    writer.join();
    const auto burst = std::chrono::steady_clock::now() - start;
    QCOMPARE(failed.load(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(window.row(1).text(Column::Total)->text(), QStringLiteral("500"),
                              kShowsWithin);
    QTest::qWait(500);
    const int reads = window.followCount() - before;
    // One read at least every kLongest while the burst goes on, and one after it; the
    // margin is for pauses in the writes longer than kQuiet.
    const int most = static_cast<int>(burst / FileWatch::kLongest) + 1 + 10;
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(burst).count();
    QVERIFY2(reads <= most,
             qPrintable(QStringLiteral("%1 reads in a burst of %2 ms").arg(reads).arg(ms)));
}

void LiveViewTest::valuesThatDoNotConvertArriveWithoutABox() {
    const auto editor = OpenEditor();
    TQvEnv& window = *editor->window;
    const std::vector<test::ShownBox> boxes = AnswerBoxes([&] {
        OtherProgramWrites(editor->path, "Group1", "Popularity", "x");
        OtherProgramWrites(editor->path, "Group1", "Maxstep", "lots");
        OtherProgramWrites(editor->path, "Group1", "Bb", "99");
        QTRY_COMPARE_WITH_TIMEOUT(window.row(2).edit(Column::Nk)->text(), QStringLiteral("x"),
                                  kShowsWithin);
        QTRY_COMPARE_WITH_TIMEOUT(window.row(2).edit(Column::mStep)->text(), QStringLiteral("lots"),
                                  kShowsWithin);
        QTRY_COMPARE_WITH_TIMEOUT(window.row(2).list(Column::Bb)->currentText(),
                                  QStringLiteral("99"), kShowsWithin);
        window.Save1->trigger();
    });
    QVERIFY(boxes.empty());
    QCOMPARE(InFile(editor->path, "Group1", "Popularity"), std::string("x"));
    QCOMPARE(InFile(editor->path, "Group1", "Maxstep"), std::string("lots"));
    QCOMPARE(InFile(editor->path, "Group1", "Bb"), std::string("99"));
}

void LiveViewTest::aDeletedAndRecreatedFileIsFollowedAgain() {
    const auto editor = OpenEditor();
    TQvEnv& window = *editor->window;
    const int follows = window.followCount();
    std::filesystem::remove(editor->path);
    QTRY_VERIFY_WITH_TIMEOUT(window.followCount() > follows, kShowsWithin);
    QCOMPARE(window.row(4).text(Column::Total)->text(), QStringLiteral("3500"));

    test::WriteBytes(editor->path, Sample());
    ExpectToolWritesShown(window, editor->path);
}

void LiveViewTest::aRemovedAndRecreatedFolderIsFollowedAgain_data() {
    QTest::addColumn<QString>("file");     // below a temporary folder
    QTest::addColumn<QString>("removed");  // the folder removed with everything in it
    QTest::addColumn<bool>("pause");       // a moment between the folder and its file
    QTest::newRow("its folder") << "tool/Jnx.ini"
                                << "tool" << false;
    QTest::newRow("its folder, the file later") << "tool/Jnx.ini"
                                                << "tool" << true;
    QTest::newRow("the folder above too") << "tool/data/Jnx.ini"
                                          << "tool" << false;
    QTest::newRow("the folder above too, the file later") << "tool/data/Jnx.ini"
                                                          << "tool" << true;
}

void LiveViewTest::aRemovedAndRecreatedFolderIsFollowedAgain() {
    QFETCH(QString, file);
    QFETCH(QString, removed);
    QFETCH(bool, pause);
    QTemporaryDir dir;
    const QString filePath = dir.filePath(file);
    const QString folder = QFileInfo(filePath).absolutePath();
    QVERIFY(QDir().mkpath(folder));
    const std::string path = QFile::encodeName(filePath).toStdString();
    test::WriteBytes(path, Sample());
    TQvEnv window([&path] { return path; });
    window.FormCreate();
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    const int follows = window.followCount();
    if (!QDir(dir.filePath(removed)).removeRecursively()) {
#ifdef _WIN32
        QSKIP("Windows keeps a folder a program watches");
#else
        QFAIL("the folder could not be removed");
#endif
    }
    QTRY_VERIFY_WITH_TIMEOUT(window.followCount() > follows, kShowsWithin);
    QCOMPARE(window.row(4).text(Column::Total)->text(), QStringLiteral("3500"));
    // While it is gone, what else happens above it is not read for.
    QTest::qWait(2 * kQuiet);
    const int gone = window.followCount();
    test::WriteBytes(dir.filePath(QStringLiteral("other.txt")).toStdString(), "x");
    QTest::qWait(3 * kQuiet);
    QCOMPARE(window.followCount(), gone);

    QVERIFY(QDir().mkpath(folder));
    if (pause) {
        QTest::qWait(3 * kQuiet);
    }
    test::WriteBytes(path, Sample());
    ExpectToolWritesShown(window, path);
}

void LiveViewTest::aFolderThatGoesAndComesBackIsFollowedAgain_data() {
    QTest::addColumn<Return>("how");
    QTest::addColumn<int>("away");  // ms between the folder going and coming back
    for (const int away : {0, 200, 1000, 2000}) {
        QTest::addRow("removed, made again after %d ms", away) << Return::MadeAgain << away;
    }
    // Long enough for the window to have seen the folder go.
    for (const int away : {0, 500}) {
        QTest::addRow("renamed away, back after %d ms", away) << Return::RenamedBack << away;
    }
    for (const int away : {0, 500}) {
        QTest::addRow("renamed away, a backup in its place after %d ms", away)
            << Return::BackupInItsPlace << away;
    }
}

void LiveViewTest::aFolderThatGoesAndComesBackIsFollowedAgain() {
    QFETCH(Return, how);
    QFETCH(int, away);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("tool"));
    const QString aside = dir.filePath(QStringLiteral("tool.old"));
    const QString backup = dir.filePath(QStringLiteral("backup"));
    const std::string path = FileIn(folder);
    QVERIFY(QDir().mkpath(folder));
    test::WriteBytes(path, Sample());
    // What the file holds when it comes back, unlike what the window loaded.
    ProfileDocument returning(Sample());
    returning.write("Group3", "Total", "555");
    if (how == Return::BackupInItsPlace) {
        QVERIFY(QDir().mkpath(backup));
        test::WriteBytes(FileIn(backup), returning.bytes());
    }
    TQvEnv window([&path] { return path; });
    window.FormCreate();
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    const bool gone =
        how == Return::MadeAgain ? QDir(folder).removeRecursively() : QDir().rename(folder, aside);
    if (!gone) {
#ifdef _WIN32
        QSKIP("Windows keeps a folder a program watches");
#else
        QFAIL("the folder could not be removed or renamed");
#endif
    }
    switch (how) {
        case Return::MadeAgain:
            QTest::qWait(away);
            QVERIFY(QDir().mkpath(folder));
            test::WriteBytes(path, returning.bytes());
            break;
        case Return::RenamedBack:
            test::WriteBytes(FileIn(aside), returning.bytes());
            QTest::qWait(away);
            QVERIFY(QDir().rename(aside, folder));
            break;
        case Return::BackupInItsPlace:
            QTest::qWait(away);
            QVERIFY(QDir().rename(backup, folder));
            break;
    }
    QTRY_COMPARE_WITH_TIMEOUT(window.row(4).text(Column::Total)->text(), QStringLiteral("555"),
                              kShowsWithin);
    ExpectToolWritesShown(window, path);
}

void LiveViewTest::aFileLookedUpInARenamedFolderIsFollowedThere() {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("tool"));
    const QString renamed = dir.filePath(QStringLiteral("tool 2"));
    QVERIFY(QDir().mkpath(folder));
    std::string path = FileIn(folder);
    test::WriteBytes(path, Sample());
    TQvEnv window([&path] { return path; });
    window.FormCreate();
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    if (!QDir().rename(folder, renamed)) {
#ifdef _WIN32
        QSKIP("Windows keeps a folder a program watches");
#else
        QFAIL("the folder could not be renamed");
#endif
    }
    // Looked up beside the program, the file is in the folder under its new name now.
    path = FileIn(renamed);
    QTest::qWait(2 * kQuiet);  // the window sees the rename before the tool writes
    ExpectToolWritesShown(window, path);
}

}  // namespace jnx

QTEST_MAIN(jnx::LiveViewTest)
#include "live_view_test.moc"
