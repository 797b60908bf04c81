// Commands and start-up: the load, the resets, the saves, leaving, and the error box.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>

#include "controls/cp932_text.h"
#include "error_box.h"
#include "errors.h"
#include "look/window_style.h"
#include "profile_file.h"
#include "settings_file.h"
#include "support/test_files.h"
#include "tables.h"
#include "window_test_support.h"

namespace jnx {

using layout::Column;

using test::AnswerBoxes;
using test::Captions;
using test::ClickPage;
using test::DistinctModel;
using test::Editor;
using test::ReadBytes;
using test::Sample;
using test::TypeInto;
using test::WriteBytes;

namespace {

// The sample with one line replaced.
std::string SampleWith(const std::string& line, const std::string& replacement) {
    std::string bytes = Sample();
    const std::size_t at = bytes.find(line);
    if (at == std::string::npos) {
        return bytes;
    }
    return bytes.replace(at, line.size(), replacement);
}

QString ErrorCaptionOfThisProgram() {
    return ErrorCaption(QCoreApplication::applicationFilePath());
}

}  // namespace

class CommandsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UseWindowLook(); }

    void startUpShowsPageOneOfTheFile();
    void saveKeepsThePageShown();
    void resetsTouchOnlyThePageShown_data();
    void resetsTouchOnlyThePageShown();
    void typedFolderReachesTheFileAtTheNextSave();
    void failedLoadDisablesEverySettingsCommand_data();
    void failedLoadDisablesEverySettingsCommand();
    void badPopularityStillLetsTheEditorSave();
    void saveAndEndClosesTheWindow();
    void failedSaveShowsThePathAndKeepsTheWindow();
    void leavingWithoutSavingKeepsTheFile();
    void anotherProgramsChangeSurvivesASaveAndShows();
    void resetWinsOverAnotherProgramsChange();
    // A save that kept a value the betting tool wrote meanwhile has succeeded, whatever
    // that value: the rows show it, and no box says otherwise.
    void keptValueThatIsNoNumberRaisesNoBox();
    // A Japanese input method types full-width digits; the save writes the number shown,
    // with the focus still in the box.
    void fullWidthNumberInASpinIsSaved();
    // Values quoted in a message are text: "<b>" is not bold, "&amp;" not "&".
    void messagesArePlainText();
    // A path in a message shows as the system names it: "データ", not "繝・・ｿ".
    void pathInAMessageShowsAsTheSystemNamesIt();
    // A folder text holding a line break, however it got into its box, is refused by the
    // save with a box naming its key, and the file keeps every byte.
    void valueWithALineBreakIsNeverWritten();
};

void CommandsTest::startUpShowsPageOneOfTheFile() {
    Editor editor(Sample());
    const auto boxes = AnswerBoxes([&] { editor.window->FormCreate(); });
    QVERIFY(boxes.empty());
    QCOMPARE(editor.window->pages().currentPage(), 1);
    QCOMPARE(Captions(*editor.window), QStringLiteral("0123456789AB"));
    QCOMPARE(editor.window->row(3).list(Column::Type)->currentText(), QStringLiteral("枠連"));
    QCOMPARE(editor.window->row(3).text(Column::PN)->text(), QStringLiteral("-1200"));
    QVERIFY(editor.window->SaveEnd->isEnabled());
    QVERIFY(editor.window->Save1->isEnabled());
    // The load enables "保存終了" again, and it has the focus when the window opens.
    editor.window->show();
    QVERIFY(QTest::qWaitForWindowActive(editor.window.get()));
    QVERIFY(editor.window->SaveEnd->hasFocus());
}

void CommandsTest::saveKeepsThePageShown() {
    const auto editor = Editor::OnDistinctModel();
    TQvEnv& window = *editor->window;
    TypeInto(window.row(2).text(Column::mOdd), QStringLiteral("2.5"));
    window.Save1->trigger();
    QCOMPARE(window.pages().currentPage(), 1);
    QCOMPARE(Captions(window), QStringLiteral("0123456789AB"));
    QCOMPARE(editor->readBack().group(1).fields[kMinOddField], "2.5");

    // Page 1 went into the model, so it is not lost by moving on.
    ClickPage(window, 2);
    QCOMPARE(Captions(window), QStringLiteral("CDEFGHIJKLMN"));
    QCOMPARE(window.model().group(1).fields[kMinOddField], "2.5");
    QCOMPARE(editor->readBack().group(13).fields[kMinOddField], "M13");
}

void CommandsTest::resetsTouchOnlyThePageShown_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("otherText");
    QTest::newRow("Total->0") << "TotalZero" << int{kTotalField} << "T";
    QTest::newRow("収支->0") << "Button1" << int{kBalanceField} << "P";
}

void CommandsTest::resetsTouchOnlyThePageShown() {
    QFETCH(QString, button);
    QFETCH(int, field);
    QFETCH(QString, otherText);
    const auto editor = Editor::OnDistinctModel();
    TQvEnv& window = *editor->window;
    ClickPage(window, 2);
    const std::string before = ReadBytes(editor->path);

    test::Control<QPushButton>(window, button)->click();
    QCOMPARE(window.pages().currentPage(), 2);
    for (int r = 1; r <= 12; ++r) {
        const Cp932LineEdit* box = field == kTotalField ? window.row(r).text(Column::Total)
                                                        : window.row(r).text(Column::PN);
        QCOMPARE(box->text(), QStringLiteral("0"));
    }
    QCOMPARE(ReadBytes(editor->path), before);  // the file changes only at a save

    window.Save1->trigger();
    const SettingsModel saved = editor->readBack();
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        const bool shown = g >= 12 && g < 24;
        const std::string expected = shown ? "0" : otherText.toStdString() + std::to_string(g);
        QCOMPARE(saved.group(g).fields[static_cast<std::size_t>(field)], expected);
    }
}

void CommandsTest::typedFolderReachesTheFileAtTheNextSave() {
    const auto editor = Editor::OnDistinctModel();
    TQvEnv& window = *editor->window;
    TypeInto(window.Edit2, QStringLiteral("D:\\競馬\\自動\\"));
    QCOMPARE(editor->readBack().betAutoReadFolder, "C:\\Auto\\");
    window.Save1->trigger();
    QCOMPARE(editor->readBack().betAutoReadFolder, "D:\\\x8B\xA3\x94\x6E\\\x8E\xA9\x93\xAE\\");
    QCOMPARE(editor->readBack().patFolder, "C:\\Pat\\");
}

void CommandsTest::failedLoadDisablesEverySettingsCommand_data() {
    QTest::addColumn<bool>("present");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("reached");
    QTest::addColumn<QString>("message");
    QTest::newRow("no file") << false << QByteArray() << true << "'' は整数ではありません.";
    QTest::newRow("course x in group 2")
        << true << QByteArray::fromStdString(SampleWith("Bb=3\r\n", "Bb=x\r\n")) << true
        << "'x' は整数ではありません.";
    QTest::newRow("course with a full stop")
        << true << QByteArray::fromStdString(SampleWith("Bb=3\r\n", "Bb=3.\r\n")) << true
        << "'3.' は整数ではありません.";
    // A sound file in a Windows folder whose name the ANSI code page lacks a character of:
    // no settings path can be had for it, and the window is left as after any failed load.
    QTest::newRow("folder the profile functions cannot reach")
        << true << QByteArray::fromStdString(Sample()) << false
        << "C:\\Café\\Jnx.ini を読み込めません.";
}

void CommandsTest::failedLoadDisablesEverySettingsCommand() {
    QFETCH(bool, present);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, reached);
    QFETCH(QString, message);
    Editor editor(bytes.toStdString());
    if (!present) {
        std::filesystem::remove(editor.path);
    }
    if (!reached) {
        editor.window = std::make_unique<TQvEnv>(
            []() -> std::string { throw ReadError("C:\\Caf?\\Jnx.ini", u"C:\\Café\\Jnx.ini"); });
    }

    const auto boxes =
        AnswerBoxes([&] { RunCommand(editor.window.get(), [&] { editor.window->FormCreate(); }); });
    QCOMPARE(boxes.size(), std::size_t{1});
    // Wine gives the blank default of a missing file back as one blank; Windows drops it.
    const bool wineAnswer = test::kMayBeWine && !present &&
                            boxes[0].text == QStringLiteral("' ' は整数ではありません.");
    if (!wineAnswer) {
        QCOMPARE(boxes[0].text, message);
    }
    QCOMPARE(boxes[0].caption, ErrorCaptionOfThisProgram());
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(boxes[0].modality, Qt::ApplicationModal);

    TQvEnv& window = *editor.window;
    const TQvEnv fresh;  // the rows keep their start texts
    for (const int r : {1, 12}) {
        for (std::size_t c = 0; c < static_cast<std::size_t>(Column::Count); ++c) {
            const auto column = static_cast<Column>(c);
            QCOMPARE(test::ShownText(window.row(r).widget(column)),
                     test::ShownText(fresh.row(r).widget(column)));
        }
    }

    // Every command and box that reads or writes the settings is off; leaving is not.
    const struct {
        const char* name;
        bool enabled;
    } controls[] = {
        {"page1", false},   {"page2", false},    {"page3", false},    {"TotalZero", false},
        {"Button1", false}, {"FindDir1", false}, {"FindDir2", false}, {"SaveEnd", false},
        {"Save1", false},   {"Exit1", true},     {"Type1", false},    {"PN12", false},
        {"Act1", false},    {"Edit2", false},    {"Edit3", false},    {"CheckBox1", false},
    };
    for (const auto& control : controls) {
        const QObject* object = window.findChild<QObject*>(QString::fromLatin1(control.name));
        QVERIFY2(object != nullptr, control.name);
        const auto* widget = qobject_cast<const QWidget*>(object);
        const bool enabled = widget != nullptr ? widget->isEnabled()
                                               : qobject_cast<const QAction*>(object)->isEnabled();
        QVERIFY2(enabled == control.enabled, control.name);
    }
    // Greyed as the desktop greys a disabled button, whatever their own font colour.
    const QColor grey = QGuiApplication::palette().color(QPalette::Disabled, QPalette::ButtonText);
    for (const QPushButton* button : {window.SaveEnd, window.Button1}) {
        QCOMPARE(button->palette().color(QPalette::Disabled, QPalette::ButtonText), grey);
    }
    // The group names stay readable in their colours.
    for (const int r : {1, 11}) {
        const QPalette& palette = window.row(r).label()->palette();
        QCOMPARE(palette.color(QPalette::Disabled, QPalette::WindowText),
                 palette.color(QPalette::Active, QPalette::WindowText));
    }
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QCOMPARE(QApplication::focusWidget(), nullptr);
    QTest::keyClicks(&window, QStringLiteral("abc"));
    QTest::keyClick(&window, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), nullptr);
    QCOMPARE(window.row(1).list(Column::Type)->currentText(),
             fresh.row(1).list(Column::Type)->currentText());

    // Neither the menu nor the button write anything, even when asked directly.
    window.Save1->trigger();
    window.SaveEnd->click();
    QCOMPARE(std::filesystem::exists(editor.path), present);
    if (present) {
        QCOMPARE(ReadBytes(editor.path), bytes.toStdString());
    }
    QVERIFY(window.isVisible());
    window.Exit1->trigger();
    QVERIFY(!window.isVisible());
}

void CommandsTest::badPopularityStillLetsTheEditorSave() {
    // The whole file was read; only the fill of one spin failed, and that group keeps
    // its text through a save.
    Editor editor(SampleWith("Popularity=3\r\n", "Popularity=abc\r\n"));
    const auto boxes =
        AnswerBoxes([&] { RunCommand(editor.window.get(), [&] { editor.window->FormCreate(); }); });
    QCOMPARE(boxes.size(), std::size_t{1});
    QCOMPARE(boxes[0].text, QStringLiteral("'abc' は整数ではありません."));
    QVERIFY(editor.window->Save1->isEnabled());
    editor.window->Save1->trigger();
    QCOMPARE(editor.readBack().group(2).fields[kPopularityField], "abc");
}

void CommandsTest::saveAndEndClosesTheWindow() {
    const auto editor = Editor::OnDistinctModel();
    TQvEnv& window = *editor->window;
    window.show();
    ClickPage(window, 3);
    TypeInto(window.row(12).text(Column::Skip), QStringLiteral("9"));
    const auto boxes = AnswerBoxes([&] { window.SaveEnd->click(); });
    QVERIFY(boxes.empty());  // no word on success
    QVERIFY(!window.isVisible());
    QCOMPARE(editor->readBack().group(35).fields[kSkipField], "9");
}

void CommandsTest::failedSaveShowsThePathAndKeepsTheWindow() {
    const auto editor = Editor::OnDistinctModel();
    TQvEnv& window = *editor->window;
    window.show();
    // The next save goes to a folder that has been removed. (Not the loaded one: on Windows
    // the window's watch on it keeps it from being removed.)
    QTemporaryDir removed;
    editor->path = removed.filePath(QStringLiteral("Jnx.ini")).toStdString();
    QVERIFY(removed.remove());

    const auto boxes = AnswerBoxes([&] { window.SaveEnd->click(); });
    QCOMPARE(boxes.size(), std::size_t{1});
    QCOMPARE(boxes[0].text, DecodeCp932(editor->path) + QStringLiteral(" に書き込めません."));
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QVERIFY(window.isVisible());
    QVERIFY(!std::filesystem::exists(editor->path));
}

void CommandsTest::leavingWithoutSavingKeepsTheFile() {
    for (const bool throughTheMenu : {true, false}) {
        Editor editor(Sample());
        TQvEnv& window = *editor.window;
        window.FormCreate();
        window.show();
        TypeInto(window.row(1).text(Column::mOdd), QStringLiteral("7.7"));
        ClickPage(window, 2);
        window.TotalZero->click();
        if (throughTheMenu) {
            window.Exit1->trigger();
        } else {
            window.close();  // the frame's close button
        }
        QVERIFY(!window.isVisible());
        QCOMPARE(ReadBytes(editor.path), Sample());
    }
}

void CommandsTest::anotherProgramsChangeSurvivesASaveAndShows() {
    Editor editor(Sample());
    TQvEnv& window = *editor.window;
    window.FormCreate();
    {
        ProfileFile betting(editor.path);  // the betting tool, writing as it bets
        betting.write("Group3", "Total", "7700");
        betting.commit();
    }
    TypeInto(window.row(6).text(Column::mOdd), QStringLiteral("3.3"));
    window.Save1->trigger();
    const SettingsModel saved = editor.readBack();
    QCOMPARE(saved.group(3).fields[kTotalField], "7700");
    QCOMPARE(saved.group(5).fields[kMinOddField], "3.3");
    QCOMPARE(window.row(4).text(Column::Total)->text(), QStringLiteral("7700"));  // shown at once
    QCOMPARE(window.row(6).text(Column::mOdd)->text(), QStringLiteral("3.3"));
}

void CommandsTest::resetWinsOverAnotherProgramsChange() {
    // Group "0" has a total of 0 in the file already; the betting tool raises it after
    // the load and the user then zeroes the page.
    Editor editor(Sample());
    TQvEnv& window = *editor.window;
    window.FormCreate();
    QCOMPARE(window.row(1).text(Column::Total)->text(), QStringLiteral("0"));
    {
        ProfileFile betting(editor.path);
        betting.write("Group0", "Total", "500");
        betting.commit();
    }
    window.TotalZero->click();
    window.Save1->trigger();
    QCOMPARE(editor.readBack().group(0).fields[kTotalField], "0");
}

void CommandsTest::keptValueThatIsNoNumberRaisesNoBox() {
    Editor editor(Sample());
    TQvEnv& window = *editor.window;
    window.FormCreate();
    {
        ProfileFile betting(editor.path);
        betting.write("Group3", "Popularity", "x");
        betting.write("Group4", "Maxstep", "lots");
        betting.commit();
    }
    TypeInto(window.row(1).text(Column::mOdd), QStringLiteral("3.3"));
    const auto boxes = AnswerBoxes([&] { window.Save1->trigger(); });
    QVERIFY(boxes.empty());
    QCOMPARE(window.row(4).edit(Column::Nk)->text(), QStringLiteral("x"));
    QCOMPARE(window.row(5).edit(Column::mStep)->text(), QStringLiteral("lots"));
    const SettingsModel saved = editor.readBack();
    QCOMPARE(saved.group(3).fields[kPopularityField], "x");
    QCOMPARE(saved.group(4).fields[kMaxStepField], "lots");
    QCOMPARE(saved.group(0).fields[kMinOddField], "3.3");

    // They are kept as text through the next save, as a page fill keeps them.
    const auto again = AnswerBoxes([&] { window.Save1->trigger(); });
    QVERIFY(again.empty());
    QCOMPARE(editor.readBack().group(3).fields[kPopularityField], "x");
}

void CommandsTest::fullWidthNumberInASpinIsSaved() {
    Editor editor(Sample());
    TQvEnv& window = *editor.window;
    window.FormCreate();
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QLineEdit* box = window.row(1).edit(Column::mStep);
    box->setFocus();
    TypeInto(box, QStringLiteral("２５０"));
    const auto boxes = AnswerBoxes([&] { window.Save1->trigger(); });
    QVERIFY(boxes.empty());
    QCOMPARE(test::InFile(editor.path, "Group0", "Maxstep"), std::string("250"));
    window.row(1).text(Column::PN)->setFocus();
    QCOMPARE(box->text(), QStringLiteral("250"));
}

void CommandsTest::messagesArePlainText() {
    for (const char* value : {"<b>1</b>", "&amp;", "<img src=x>"}) {
        const auto boxes =
            AnswerBoxes([&] { RunCommand(nullptr, [&] { throw ConversionError(value); }); });
        QCOMPARE(boxes.size(), std::size_t{1});
        QCOMPARE(boxes[0].format, Qt::PlainText);
        QCOMPARE(boxes[0].text,
                 QStringLiteral("'%1' は整数ではありません.").arg(QLatin1String(value)));
    }
}

void CommandsTest::pathInAMessageShowsAsTheSystemNamesIt() {
    // Loaded from one folder, saved into a folder named データ that has been removed.
    Editor editor(Sample());
    editor.window->FormCreate();
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("データ"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/Jnx.ini");
    editor.path = QFile::encodeName(path).toStdString();
    QVERIFY(QDir(folder).removeRecursively());
    const auto boxes = AnswerBoxes([&] { editor.window->Save1->trigger(); });
    QCOMPARE(boxes.size(), std::size_t{1});
    QCOMPARE(boxes[0].text, path + QStringLiteral(" に書き込めません."));
}

void CommandsTest::valueWithALineBreakIsNeverWritten() {
    Editor editor(Sample());
    TQvEnv& window = *editor.window;
    window.FormCreate();
    window.show();
    TypeInto(window.row(1).text(Column::mOdd), QStringLiteral("3.3"));
    window.Edit3->setText(QStringLiteral("C:\\PAT\n[Options]\nOKStep=True"));
    const auto boxes = AnswerBoxes([&] { window.SaveEnd->click(); });
    QCOMPARE(boxes.size(), std::size_t{1});
    QVERIFY2(boxes[0].text.startsWith(QStringLiteral("[Dir] PatData ")), qPrintable(boxes[0].text));
    QVERIFY(boxes[0].text.endsWith(QStringLiteral("書き込めません.")));
    QVERIFY(window.isVisible());
    QCOMPARE(ReadBytes(editor.path), Sample());
}

}  // namespace jnx

QTEST_MAIN(jnx::CommandsTest)
#include "commands_test.moc"
