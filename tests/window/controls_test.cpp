// The row controls behave like the ones the users know: combo boxes that complete,
// spin buttons bound to their edit boxes, a race box that cannot be edited.

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QTest>
#include <QToolButton>
#include <limits>

#include "controls/cp932_text.h"
#include "error_box.h"
#include "errors.h"
#include "folder_chooser/folder_dialog.h"
#include "look/window_style.h"
#include "window_test_support.h"

namespace jnx {

using layout::Column;

using test::TypeInto;
using test::TypeText;

namespace {

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

}  // namespace

class ControlsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { UseWindowLook(); }

    void comboListsAreFixed();
    // Typing completes to the first item that begins with the typed text.
    void typingCompletesToAnItem_data();
    void typingCompletesToAnItem();
    // What a Japanese input method commits completes like typed keys.
    void inputMethodTextCompletes();
    void deletingDoesNotComplete();
    void textThatIsNoItemStaysAsTyped();
    void settingAnItemTextSelectsIt();
    void spinButtonsStepWithinTheirRange();
    void arrowKeysStepTheSpin();
    // The spin's box takes only numbers, full-width ones too, and what it shows is the
    // position: the box never shows what a save would not write.
    void typedNumberBecomesThePosition_data();
    void typedNumberBecomesThePosition();
    void longTextsAreKeptWhole();
    void raceBoxCannotBeEdited();
    // No box of the window or the chooser cuts a text at Qt's 32767 characters.
    void noBoxHasALengthLimit();
    // A chord with Alt or Ctrl is a command, never text: a mistyped mnemonic must not end
    // up in the file ("複勝xs"). The editing shortcuts still edit.
    void chordsTypeNothing_data();
    void chordsTypeNothing();
    void editingShortcutsStillEdit();
    // The chords that edit are an edit box's on Windows, on every system: Linux's own
    // Ctrl+D, Ctrl+K and Ctrl+U (which would delete, Ctrl+U the whole text) do nothing,
    // and Windows' Ctrl+Y and Alt+Backspace undo and redo there too.
    void editingChordsAreThoseOfWindows_data();
    void editingChordsAreThoseOfWindows();
    void startTexts();
    void codePage932Conversion();
    void errorBoxText_data();
    void errorBoxText();
    void errorBoxPath_data();
    void errorBoxPath();
    void errorBoxCaption_data();
    void errorBoxCaption();
};

void ControlsTest::comboListsAreFixed() {
    TQvEnv window;
    const QStringList types = {"単勝", "複勝", "枠連", "馬連", "ワイド"};
    const QStringList courses = {"札幌", "函館", "福島", "新潟", "東京",
                                 "中山", "中京", "京都", "阪神", "小倉"};
    QCOMPARE(Items(window.row(1).list(Column::Type)), types);
    QCOMPARE(Items(window.row(12).list(Column::Bb)), courses);
    TypeInto(window.row(1).list(Column::Type)->lineEdit(), "xyz");
    QTest::keyClick(window.row(1).list(Column::Type)->lineEdit(), Qt::Key_Return);
    QCOMPARE(Items(window.row(1).list(Column::Type)), types);
    QCOMPARE(window.row(1).list(Column::Type)->currentText(), QStringLiteral("xyz"));
}

void ControlsTest::typingCompletesToAnItem_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("bytes");
    const struct {
        const char* name;
        QString typed;
        QString shown;
        QByteArray bytes;
    } rows[] = {
        {"first character of a wide", "ワ", "ワイド", "\x83\x8F\x83\x43\x83\x68"},
        {"first character of two", "馬", "馬連", "\x94\x6E\x98\x41"},
        {"two characters", "複勝", "複勝", "\x95\xA1\x8F\x9F"},
        {"no item", "単x", "単x", "\x92\x50x"},
    };
    for (const auto& row : rows) {
        QTest::newRow(row.name) << row.typed << row.shown << row.bytes;
    }
}

void ControlsTest::typingCompletesToAnItem() {
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QByteArray, bytes);
    TQvEnv window;
    Cp932ComboBox* type = window.row(1).list(Column::Type);
    type->setBytes("\x83\x8F\x83\x43\x83\x68");  // ワイド, replaced as a whole
    QTest::keyClick(type, Qt::Key_A, Qt::ControlModifier);
    TypeText(type, typed);
    QCOMPARE(type->currentText(), shown);
    QCOMPARE(type->bytes(), bytes.toStdString());
    if (shown != typed) {
        QCOMPARE(type->currentIndex(), type->findText(shown));
        QCOMPARE(type->lineEdit()->selectedText(), shown.mid(typed.size()));
    }
}

void ControlsTest::inputMethodTextCompletes() {
    TQvEnv window;
    Cp932ComboBox* course = window.row(1).list(Column::Bb);
    course->setBytes("");
    QInputMethodEvent preedit(QStringLiteral("なか"), {});
    QApplication::sendEvent(course, &preedit);
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("中"));
    QApplication::sendEvent(course, &commit);
    QCOMPARE(course->currentText(), QStringLiteral("中山"));
    QCOMPARE(course->bytes(), "\x92\x86\x8E\x52");
}

void ControlsTest::deletingDoesNotComplete() {
    TQvEnv window;
    Cp932ComboBox* course = window.row(1).list(Column::Bb);
    course->setBytes("");
    TypeText(course, QStringLiteral("東"));
    QCOMPARE(course->currentText(), QStringLiteral("東京"));
    QTest::keyClick(course, Qt::Key_Backspace);
    QCOMPARE(course->currentText(), QStringLiteral("東"));
    QTest::keyClick(course, Qt::Key_Backspace);
    QCOMPARE(course->currentText(), QString());
}

void ControlsTest::textThatIsNoItemStaysAsTyped() {
    TQvEnv window;
    Cp932ComboBox* course = window.row(2).list(Column::Bb);
    course->setBytes("99");
    QCOMPARE(course->currentText(), QStringLiteral("99"));
    QCOMPARE(course->bytes(), "99");
    TypeInto(course->lineEdit(), QStringLiteral("大井"));
    QCOMPARE(course->currentText(), QStringLiteral("大井"));
    QCOMPARE(course->count(), 10);
}

void ControlsTest::settingAnItemTextSelectsIt() {
    TQvEnv window;
    Cp932ComboBox* type = window.row(1).list(Column::Type);
    type->setBytes("\x98\x67\x98\x41");  // 枠連
    QCOMPARE(type->currentIndex(), 2);
    type->setBytes("t");
    QCOMPARE(type->currentText(), QStringLiteral("t"));
    QCOMPARE(type->currentIndex(), -1);
}

void ControlsTest::spinButtonsStepWithinTheirRange() {
    TQvEnv window;
    window.show();
    UpDown* popularity = window.row(1).spin(Column::Ud);
    auto* up = popularity->findChildren<QToolButton*>().at(0);
    auto* down = popularity->findChildren<QToolButton*>().at(1);
    QCOMPARE(up->arrowType(), Qt::UpArrow);
    for (int i = 0; i < 6; ++i) {
        QTest::mouseClick(up, Qt::LeftButton);
    }
    QCOMPARE(popularity->position(), 5);
    QCOMPARE(window.row(1).edit(Column::Nk)->text(), QStringLiteral("5"));
    for (int i = 0; i < 9; ++i) {
        QTest::mouseClick(down, Qt::LeftButton);
    }
    QCOMPARE(popularity->position(), 1);

    UpDown* maxStep = window.row(1).spin(Column::MaxStepSpin);
    maxStep->setPosition(999);
    QTest::mouseClick(maxStep->findChildren<QToolButton*>().at(0), Qt::LeftButton);
    QTest::mouseClick(maxStep->findChildren<QToolButton*>().at(0), Qt::LeftButton);
    QCOMPARE(maxStep->position(), 1000);
    QCOMPARE(window.row(1).edit(Column::mStep)->text(), QStringLiteral("1,000"));
}

void ControlsTest::arrowKeysStepTheSpin() {
    TQvEnv window;
    QLineEdit* box = window.row(3).edit(Column::mStep);
    QTest::keyClick(box, Qt::Key_Up);
    QTest::keyClick(box, Qt::Key_Up);
    QCOMPARE(window.row(3).spin(Column::MaxStepSpin)->position(), 102);
    QCOMPARE(box->text(), QStringLiteral("102"));
    TypeInto(box, "1");
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(window.row(3).spin(Column::MaxStepSpin)->position(), 1);
}

void ControlsTest::typedNumberBecomesThePosition_data() {
    QTest::addColumn<QString>("way");  // "keys", "paste" or "input method"
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("shown");  // while the box has the focus
    QTest::addColumn<QString>("left");   // once it is left
    const struct {
        const char* name;
        const char* way;
        QString typed;
        int position;
        QString shown;
        QString left;
    } rows[] = {
        {"in range", "keys", "250", 250, "250", "250"},
        {"with separator", "keys", "1,000", 1000, "1,000", "1,000"},
        {"without separator", "keys", "1000", 1000, "1000", "1,000"},
        {"above range", "keys", "5000", 1000, "5000", "1,000"},
        {"below range", "keys", "0", 1, "0", "1"},
        {"signed", "keys", "+7", 7, "+7", "7"},
        {"negative", "keys", "-7", 1, "-7", "1"},
        {"beyond 64 bits", "keys", "123456789012345678901234", 1000, "123456789012345678901234",
         "1,000"},
        // A Japanese input method types numbers in their full-width forms.
        {"full-width digits", "keys", "１２", 12, "１２", "12"},
        {"full-width separator", "keys", "１，０００", 1000, "１，０００", "1,000"},
        {"full-width sign", "keys", "－５", 1, "－５", "1"},
        {"full-width and ASCII digits", "keys", "１2３", 123, "１2３", "123"},
        {"committed by an input method", "input method", "３００", 300, "３００", "300"},
        {"pasted full-width", "paste", "５５", 55, "５５", "55"},
        // Nothing that is no number gets into the box; what does is the position.
        {"letters", "keys", "abc", 100, "", "100"},
        {"letters between digits", "keys", "1a2", 12, "12", "12"},
        {"full-width letter", "keys", "１ｘ", 1, "１", "1"},
        {"pasted with letters", "paste", "12ab", 100, "", "100"},
        {"pasted two numbers", "paste", "1 2", 100, "", "100"},
        {"input method letters", "input method", "あ", 100, "", "100"},
        // The start of a number keeps the position; leaving shows it again.
        {"empty", "keys", "", 100, "", "100"},
        {"only a sign", "keys", "-", 100, "-", "100"},
    };
    for (const auto& row : rows) {
        QTest::newRow(row.name) << QString::fromLatin1(row.way) << row.typed << row.position
                                << row.shown << row.left;
    }
}

void ControlsTest::typedNumberBecomesThePosition() {
    QFETCH(QString, way);
    QFETCH(QString, typed);
    QFETCH(int, position);
    QFETCH(QString, shown);
    QFETCH(QString, left);
    TQvEnv window;
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QLineEdit* box = window.row(1).edit(Column::mStep);
    box->setFocus();
    TypeInto(box, QString());
    if (way == QStringLiteral("keys")) {
        TypeText(box, typed);
    } else if (way == QStringLiteral("paste")) {
        QGuiApplication::clipboard()->setText(typed);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    } else {
        QInputMethodEvent preedit(typed, {});
        QApplication::sendEvent(box, &preedit);
        QInputMethodEvent commit;
        commit.setCommitString(typed);
        QApplication::sendEvent(box, &commit);
    }
    QCOMPARE(box->text(), shown);
    // The position is what a save writes.
    QCOMPARE(int{window.row(1).spin(Column::MaxStepSpin)->position()}, position);
    window.row(1).text(Column::PN)->setFocus();
    QCOMPARE(box->text(), left);
    QCOMPARE(int{window.row(1).spin(Column::MaxStepSpin)->position()}, position);
}

void ControlsTest::longTextsAreKeptWhole() {
    TQvEnv window;
    const std::string long_text(40000, 'x');
    window.row(1).text(Column::Total)->setBytes(long_text);
    window.Edit2->setBytes(long_text);
    QTest::keyClick(window.Edit2, Qt::Key_End);
    TypeText(window.Edit2, "y");
    QCOMPARE(window.row(1).text(Column::Total)->bytes(), long_text);
    QCOMPARE(window.Edit2->bytes(), long_text + "y");
}

void ControlsTest::noBoxHasALengthLimit() {
    TQvEnv window;
    FolderDialog dialog(QString{});
    for (QWidget* parent : {static_cast<QWidget*>(&window), static_cast<QWidget*>(&dialog)}) {
        const QList<QLineEdit*> edits = parent->findChildren<QLineEdit*>();
        QVERIFY(edits.size() > qsizetype{72} || parent == &dialog);
        for (const QLineEdit* edit : edits) {
            QVERIFY2(edit->maxLength() == std::numeric_limits<int>::max(),
                     qPrintable(edit->objectName() + u'/' + edit->parent()->objectName()));
        }
    }
    // The spin's box too: a long paste stays whole until the spin reads it.
    TQvEnv other;
    other.row(1).edit(Column::Nk)->setText(QString(40000, u'9'));
    QCOMPARE(other.row(1).edit(Column::Nk)->text().size(), 40000);
}

void ControlsTest::chordsTypeNothing_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    const struct {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } chords[] = {
        {"Alt+X", Qt::Key_X, Qt::AltModifier},
        {"Alt+S", Qt::Key_S, Qt::AltModifier},
        {"Alt+Q", Qt::Key_Q, Qt::AltModifier},
        {"Alt+Shift+X", Qt::Key_X, Qt::AltModifier | Qt::ShiftModifier},
        {"Alt+1", Qt::Key_1, Qt::AltModifier},
        {"Ctrl+Q", Qt::Key_Q, Qt::ControlModifier},
        {"Ctrl+Alt+S", Qt::Key_S, Qt::ControlModifier | Qt::AltModifier},
    };
    // Every kind of box: the combo boxes, the spins' boxes, a text box, the blank boxes,
    // the folder boxes and the chooser's name box.
    for (const char* box : {"Type1", "Bb12", "Nk1", "mStep1", "mOdd1", "PN12", "Edit5", "Edit39",
                            "Edit2", "Edit3", "NameBox"}) {
        for (const auto& chord : chords) {
            QTest::addRow("%s %s", box, chord.name) << QString::fromLatin1(box) << int{chord.key}
                                                    << static_cast<int>(chord.modifiers.toInt());
        }
    }
}

void ControlsTest::chordsTypeNothing() {
    QFETCH(QString, box);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    TQvEnv window;
    FolderDialog dialog(QString{});
    QWidget* target =
        box == QStringLiteral("NameBox") ? test::Control(dialog, box) : test::Control(window, box);
    auto* edit = qobject_cast<QLineEdit*>(target);
    if (auto* combo = qobject_cast<QComboBox*>(target)) {
        edit = combo->lineEdit();
    }
    QVERIFY(edit != nullptr);
    const QString before = edit->text();
    QTest::keyClick(target, static_cast<Qt::Key>(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(edit->text(), before);
    QTest::keyClick(target, Qt::Key_End);
    QTest::keyClick(target, Qt::Key_5);  // the same box still takes what is typed
    QVERIFY(edit->text().endsWith(u'5'));
}

void ControlsTest::editingShortcutsStillEdit() {
    TQvEnv window;
    Cp932LineEdit* step = window.row(1).text(Column::Step);
    step->setBytes("12");
    QTest::keyClick(step, Qt::Key_A, Qt::ControlModifier);  // select all
    QTest::keyClick(step, Qt::Key_C, Qt::ControlModifier);  // copy
    QTest::keyClick(step, Qt::Key_End);
    QTest::keyClick(step, Qt::Key_V, Qt::ControlModifier);  // paste
    QCOMPARE(step->text(), QStringLiteral("1212"));
    QTest::keyClick(step, Qt::Key_Z, Qt::ControlModifier);  // undo
    QCOMPARE(step->text(), QStringLiteral("12"));
}

void ControlsTest::editingChordsAreThoseOfWindows_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("cursor");    // where the cursor stands in "ab9 cd" ("9" was typed)
    QTest::addColumn<QString>("keys");  // pressed in turn
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("cursorAfter");
    const struct {
        const char* name;
        int cursor;
        const char* keys;
        const char* text;
        int cursorAfter;
    } chords[] = {
        // Chords Linux's edit box takes and Windows' does not.
        {"Ctrl+D deletes nothing", 3, "Ctrl+D", "ab9 cd", 3},
        {"Ctrl+K deletes nothing", 3, "Ctrl+K", "ab9 cd", 3},
        {"Ctrl+U deletes nothing", 3, "Ctrl+U", "ab9 cd", 3},
        {"Ctrl+E moves nowhere", 0, "Ctrl+E", "ab9 cd", 0},
        {"Ctrl+Shift+Insert pastes nothing", 3, "Ctrl+Shift+Insert", "ab9 cd", 3},
        // Windows' chords of the history.
        {"Alt+Backspace undoes", 6, "Alt+Backspace", "ab cd", 2},
        {"Ctrl+Y redoes", 3, "Ctrl+Z, Ctrl+Y", "ab9 cd", 3},
        {"Alt+Shift+Backspace redoes", 3, "Ctrl+Z, Alt+Shift+Backspace", "ab9 cd", 3},
        // The chords both take.
        {"Ctrl+Z undoes", 3, "Ctrl+Z", "ab cd", 2},
        {"Ctrl+Shift+Z redoes", 3, "Ctrl+Z, Ctrl+Shift+Z", "ab9 cd", 3},
        {"Ctrl+X cuts", 3, "Ctrl+A, Ctrl+X", "", 0},
        {"Shift+Delete cuts", 3, "Ctrl+A, Shift+Del", "", 0},
        {"Ctrl+V pastes", 3, "Ctrl+V", "ab9X cd", 4},
        {"Shift+Insert pastes", 3, "Shift+Ins", "ab9X cd", 4},
        {"Ctrl+C copies", 3, "Ctrl+A, Ctrl+C, End, Ctrl+V", "ab9 cdab9 cd", 12},
        {"Ctrl+Insert copies", 3, "Ctrl+A, Ctrl+Ins, End, Shift+Ins", "ab9 cdab9 cd", 12},
        {"Ctrl+Backspace deletes a word", 3, "Ctrl+Backspace", " cd", 0},
        {"Ctrl+Delete deletes a word", 0, "Ctrl+Del", "cd", 0},
        {"Ctrl+Left moves by a word", 6, "Ctrl+Left", "ab9 cd", 4},
        {"Ctrl+Right moves by a word", 0, "Ctrl+Right", "ab9 cd", 4},
    };
    // A text box, a combo box, a folder box and the chooser's name box.
    for (const char* box : {"Step1", "Type1", "Edit2", "NameBox"}) {
        for (const auto& chord : chords) {
            QTest::addRow("%s %s", box, chord.name)
                << QString::fromLatin1(box) << chord.cursor << QString::fromLatin1(chord.keys)
                << QString::fromLatin1(chord.text) << chord.cursorAfter;
        }
    }
}

void ControlsTest::editingChordsAreThoseOfWindows() {
    QFETCH(QString, box);
    QFETCH(int, cursor);
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(int, cursorAfter);
    TQvEnv window;
    FolderDialog dialog(QString{});
    QWidget* target =
        box == QStringLiteral("NameBox") ? test::Control(dialog, box) : test::Control(window, box);
    auto* edit = qobject_cast<QLineEdit*>(target);
    if (auto* combo = qobject_cast<QComboBox*>(target)) {
        edit = combo->lineEdit();
    }
    QVERIFY(edit != nullptr);
    edit->setText(QStringLiteral("ab cd"));
    edit->setCursorPosition(2);
    TypeText(target, QStringLiteral("9"));
    QCOMPARE(edit->text(), QStringLiteral("ab9 cd"));
    edit->setCursorPosition(cursor);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("X"));
    if (clipboard->supportsSelection()) {
        clipboard->setText(QStringLiteral("Y"), QClipboard::Selection);
    }
    QTest::keySequence(target, QKeySequence(keys));
    QCOMPARE(edit->text(), text);
    QCOMPARE(edit->cursorPosition(), cursorAfter);
}

void ControlsTest::raceBoxCannotBeEdited() {
    TQvEnv window;
    Cp932LineEdit* race = window.row(1).text(Column::Race);
    race->setBytes("7");
    TypeText(race, "12");
    QCOMPARE(race->bytes(), "7");
}

void ControlsTest::startTexts() {
    TQvEnv window;
    const RowControls& row = window.row(12);
    QCOMPARE(row.label()->text(), QStringLiteral("B"));
    QVERIFY(!row.check()->isChecked());
    QCOMPARE(row.list(Column::Type)->currentText(), QStringLiteral("単勝"));
    QCOMPARE(row.edit(Column::Nk)->text(), QStringLiteral("1"));
    QCOMPARE(row.list(Column::Bb)->currentText(), QStringLiteral("京都"));
    const QStringList texts = {row.text(Column::Race)->text(),     row.text(Column::Step)->text(),
                               row.text(Column::Total)->text(),    row.text(Column::Bet)->text(),
                               row.text(Column::Odd)->text(),      row.text(Column::Plus)->text(),
                               row.text(Column::Skip)->text(),     row.text(Column::mOdd)->text(),
                               row.edit(Column::mStep)->text(),    row.text(Column::PN)->text(),
                               row.edit(Column::BlankLeft)->text()};
    QCOMPARE(texts, QStringList({"1", "0", "0", "0", "0.0", "500", "0", "2.2", "100", "0", ""}));
}

void ControlsTest::codePage932Conversion() {
    // Half-width katakana, the yen-less backslash, NEC and IBM extensions, a user-defined
    // character and characters whose trail byte is "\" or an ASCII letter.
    const std::string text = "\xB1\xDD 5C\\ \x87\x40 \xFA\x40 \xF0\x40 \x83\x5C\x95\x5C \x83\x41";
    QCOMPARE(DecodeCp932(text), QStringLiteral("ｱﾝ 5C\\ ① ⅰ \uE000 ソ表 ア"));
    QCOMPARE(EncodeCp932(DecodeCp932(text)).value(), text);
    // Bytes outside code page 932 come back as they were.
    const std::string broken = "a\x80\x81\x20\xA0\xFD\xFE\xFF\x85\x40z\x81";
    QCOMPARE(EncodeCp932(DecodeCp932(broken)).value(), broken);
    QVERIFY(!EncodeCp932(QStringLiteral("é")).has_value());
    QVERIFY(!EncodeCp932(QStringLiteral("¥")).has_value());  // would come back as "\"
}

void ControlsTest::errorBoxText_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QString>("text");
    const struct {
        const char* name;
        QByteArray message;
        QString text;
    } rows[] = {
        {"plain", "abc", "abc."},      {"empty", "", ""},
        {"full stop", "abc.", "abc."}, {"blank", "abc ", "abc "},
        {"slash", "C:/x/", "C:/x/."},  {"double-byte end", "\x82\xA0", "あ."},
    };
    for (const auto& row : rows) {
        QTest::newRow(row.name) << row.message << row.text;
    }
}

void ControlsTest::errorBoxText() {
    QFETCH(QByteArray, message);
    QFETCH(QString, text);
    QCOMPARE(ErrorText(message.toStdString()), text);
}

void ControlsTest::errorBoxPath_data() {
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QString>("widePath");
    QTest::addColumn<QString>("text");
    // A Windows folder whose name the ANSI code page lacks a character of: the message's
    // bytes hold "?" for it, the box shows the folder's own name.
    QTest::newRow("named by its UTF-16 name")
        << QByteArray("C:\\Caf?\\Jnx.ini") << QStringLiteral("C:\\Café\\Jnx.ini")
        << QStringLiteral("C:\\Café\\Jnx.ini を読み込めません.");
    QTest::newRow("ending in trail byte backslashes")
        << QByteArray("C:\\\x83\x5C\x95\x5C\\Jnx.ini") << QStringLiteral("C:\\ソ表\\Jnx.ini")
        << QStringLiteral("C:\\ソ表\\Jnx.ini を読み込めません.");
    // Without one, the path's bytes are the system's name of the file.
    QTest::newRow("named by its bytes") << QByteArray("C:\\x\\Jnx.ini") << QString()
                                        << QStringLiteral("C:\\x\\Jnx.ini を読み込めません.");
}

void ControlsTest::errorBoxPath() {
    QFETCH(QByteArray, path);
    QFETCH(QString, widePath);
    QFETCH(QString, text);
    const std::string bytes = path.toStdString();
    const ReadError error =
        widePath.isEmpty() ? ReadError(bytes) : ReadError(bytes, widePath.toStdU16String());
    QCOMPARE(ErrorText(error), text);
}

void ControlsTest::errorBoxCaption_data() {
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("caption");
    QTest::newRow("plain") << "/opt/jnx/JnxEnv"
                           << "Jnxenv";
    QTest::newRow("dashed, first letter kept") << "/opt/jnx-settings"
                                               << "jnx-settings";
    QTest::newRow("cut at the first dot") << "C:/Tools/Jnx.Settings.exe"
                                          << "Jnx";
    QTest::newRow("upper case") << "/usr/bin/JNX"
                                << "Jnx";
    QTest::newRow("dotted folder") << "C:/Tools.v2/JNXENV.v2.EXE"
                                   << "Jnxenv";
}

void ControlsTest::errorBoxCaption() {
    QFETCH(QString, executable);
    QFETCH(QString, caption);
    QCOMPARE(ErrorCaption(executable), caption);
}

}  // namespace jnx

QTEST_MAIN(jnx::ControlsTest)
#include "controls_test.moc"
