// The folder chooser: its layout, where it opens, browsing, accepting and making new
// folders, and the two "参照" buttons of the window.

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include "controls/cp932_text.h"
#include "error_box.h"
#include "errors.h"
#include "folder_chooser/folder_dialog.h"
#include "folder_chooser/folder_paths.h"
#include "look/colours.h"
#include "look/window_style.h"
#include "window_test_support.h"

namespace jnx {

using test::AnswerBoxes;
using test::ClickPage;
using test::DistinctModel;
using test::TypeInto;
using test::WindowOn;

namespace {

// A folder tree to browse: tree/alpha, tree/Beta, tree/gamma/deep, the hidden tree/.wine
// (where the betting tool lives under Wine), and two files.
class Tree {
public:
    Tree() {
        for (const char* folder : {"alpha", "Beta", "gamma/deep", ".wine"}) {
            QDir(root()).mkpath(QString::fromLatin1(folder));
        }
        for (const char* file : {"b.txt", "A.ini"}) {
            QFile(path(QString::fromLatin1(file))).open(QIODevice::WriteOnly);
        }
    }

    [[nodiscard]] QString root() const { return QDir(dir_.path()).canonicalPath(); }
    [[nodiscard]] QString path(const QString& name) const { return root() + u'/' + name; }

private:
    QTemporaryDir dir_;
};

QStringList Texts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i) {
        texts << list->item(i)->text();
    }
    return texts;
}

template <typename Widget>
Widget* Child(QWidget& parent, const char* name) {
    return test::Control<Widget>(parent, QString::fromLatin1(name));
}

// Runs ChooseFolder with the given answer to the dialog.
FolderChoice Choose(const QString& start, const FolderDialogAnswer& answer) {
    SetFolderDialogAnswerForTesting(answer);
    FolderChoice choice;
    try {
        choice = ChooseFolder(nullptr, start);
    } catch (...) {
        SetFolderDialogAnswerForTesting({});
        throw;
    }
    SetFolderDialogAnswerForTesting({});
    return choice;
}

}  // namespace

class FolderDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        UseWindowLook();
        home_ = QDir::currentPath();
    }
    // Browsing moves the current directory; every test starts from the same one.
    void cleanup() {
        QDir::setCurrent(home_);
        FolderDialog::setCreateAnswerForTesting(std::nullopt);
        FolderDialog::setErrorShownForTesting({});
    }

    void layout_data();
    void layout();
    void tabOrderAndMnemonics();
    void opensAtTheStartFolder_data();
    void opensAtTheStartFolder();
    void listsShowTheFoldersAboveAndBelow();
    void browsingMovesTheCurrentDirectory();
    void anotherDriveIsShownInTheDriveBox();
    void newFolderNeedsTheUsersYes();
    void chosenTextComesBackVerbatim();
    // A folder whose name the file cannot hold is refused with a word, and so is a text
    // typed after it, which its box let in.
    void textTheFileCannotHoldIsNotAccepted_data();
    void textTheFileCannotHoldIsNotAccepted();
    // A file's name is no folder to choose, nor to make.
    void aFileIsNotAFolder_data();
    void aFileIsNotAFolder();
    void helpAsksForItsTopic();
    // Enter presses the focused button, as in the main window; elsewhere it is "OK".
    void focusedButtonTakesEnter_data();
    void focusedButtonTakesEnter();
    void fileNamesAreDimmedYetReadable();
    void creationRule_data();
    void creationRule();
    void folderButtonsStartAtTheStoredFolder();
    void failedCreationLeavesTheBoxAlone();
    // A folder the user agreed to have made is made on "OK"; one that cannot be made is
    // reported, and the dialog stays open with the text.
    void agreedFolderIsMadeOrReported_data();
    void agreedFolderIsMadeOrReported();
    void uncreatableFolderShowsTheErrorBox();

private:
    QString home_;
};

void FolderDialogTest::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    const struct {
        const char* name;
        QRect rect;
    } places[] = {
        {"NameLabel", {8, 8, 92, 13}},      {"NameBox", {8, 24, 313, 20}},
        {"ListLabel", {8, 56, 66, 13}},     {"FolderList", {8, 72, 213, 138}},
        {"FileLabel", {232, 56, 57, 13}},   {"FileList", {232, 72, 185, 93}},
        {"DriveLabel", {232, 176, 41, 13}}, {"DriveBox", {232, 192, 185, 19}},
        {"OkButton", {172, 224, 77, 27}},   {"CancelButton", {256, 224, 77, 27}},
        {"HelpButton", {340, 224, 77, 27}},
    };
    for (const auto& place : places) {
        QTest::newRow(place.name) << QString::fromLatin1(place.name) << place.rect;
    }
}

void FolderDialogTest::layout() {
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    FolderDialog dialog(QString{});
    QCOMPARE(dialog.windowTitle(), QStringLiteral("ディレクトリの選択"));
    QCOMPARE(dialog.size(), QSize(424, 255));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());  // no resizing
    auto* widget = dialog.findChild<QWidget*>(name);
    QVERIFY(widget != nullptr);
    if (qobject_cast<QLabel*>(widget) != nullptr) {
        // Labels keep their place and grow to their caption in a wider font.
        QCOMPARE(widget->pos(), rect.topLeft());
        QVERIFY(widget->width() >= rect.width());
    } else {
        QCOMPARE(widget->geometry(), rect);
    }
}

void FolderDialogTest::tabOrderAndMnemonics() {
    FolderDialog dialog(QString{});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("FolderList"));
    QStringList visited;
    for (int i = 0; i < 7; ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited, QStringList({"FolderList", "NameBox", "DriveBox", "OkButton", "CancelButton",
                                   "FileList", "HelpButton"}));
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("FolderList"));
    const struct {
        Qt::Key key;
        const char* target;
    } mnemonics[] = {{Qt::Key_N, "NameBox"},
                     {Qt::Key_D, "FolderList"},
                     {Qt::Key_F, "FileList"},
                     {Qt::Key_R, "DriveBox"}};
    for (const auto& mnemonic : mnemonics) {
        QTest::keyClick(&dialog, mnemonic.key, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString::fromLatin1(mnemonic.target));
    }
}

void FolderDialogTest::opensAtTheStartFolder_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("opened");  // relative to the tree; "." is where it starts
    QTest::newRow("empty") << ""
                           << ".";
    QTest::newRow("one blank") << " "
                               << ".";
    QTest::newRow("missing folder") << "/no/such/folder"
                                    << ".";
    QTest::newRow("a file") << "b.txt"
                            << ".";
    QTest::newRow("relative") << "gamma"
                              << "gamma";
    QTest::newRow("relative with dots") << "gamma/deep/.."
                                        << "gamma";
    QTest::newRow("absolute") << "TREE/alpha"
                              << "alpha";
    QTest::newRow("with a final separator") << "TREE/Beta/"
                                            << "Beta";
}

void FolderDialogTest::opensAtTheStartFolder() {
    QFETCH(QString, start);
    QFETCH(QString, opened);
    const Tree tree;
    QDir::setCurrent(tree.root());
    start.replace(QStringLiteral("TREE"), tree.root());
    const FolderDialog dialog(start);
    const QString expected = QDir::cleanPath(tree.path(opened));
    QCOMPARE(dialog.currentFolder(), expected);
    QCOMPARE(QDir::currentPath(), expected);
    QCOMPARE(dialog.folderName(), QDir::toNativeSeparators(expected));
}

void FolderDialogTest::listsShowTheFoldersAboveAndBelow() {
    const Tree tree;
    FolderDialog dialog(tree.root());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* folders = Child<QListWidget>(dialog, "FolderList");
    auto* files = Child<QListWidget>(dialog, "FileList");
    QStringList above = tree.root().split(u'/', Qt::SkipEmptyParts);
#ifdef Q_OS_WIN
    above.first() += u'\\';  // the drive's root, "C:\"
#else
    above.prepend(QStringLiteral("/"));
#endif
    QCOMPARE(Texts(folders), above + QStringList({".wine", "alpha", "Beta", "gamma"}));
    QCOMPARE(folders->currentRow(), above.size() - 1);  // the current folder
    QCOMPARE(Texts(files), QStringList({"A.ini", "b.txt"}));

    // A double-click opens a folder, Enter on another entry too; the name box follows and
    // is wholly selected, so typing replaces it.
    const QListWidgetItem* gamma = folders->item(folders->count() - 1);
    const QPoint gammaAt = folders->visualItemRect(gamma).center();
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, gammaAt);
    QTest::mouseDClick(folders->viewport(), Qt::LeftButton, {}, gammaAt);
    QCOMPARE(dialog.currentFolder(), tree.path(QStringLiteral("gamma")));
    QCOMPARE(Texts(files), QStringList());
    auto* name = Child<QLineEdit>(dialog, "NameBox");
    QCOMPARE(name->selectedText(), name->text());
    folders->setCurrentRow(folders->count() - 1);  // "deep"
    QTest::keyClick(folders, Qt::Key_Return);
    QCOMPARE(dialog.currentFolder(), tree.path(QStringLiteral("gamma/deep")));
    QCOMPARE(dialog.result(), int{QDialog::Rejected});  // still open, nothing accepted
}

void FolderDialogTest::browsingMovesTheCurrentDirectory() {
    const Tree tree;
    {
        FolderDialog dialog(tree.root());
        dialog.openFolder(tree.path(QStringLiteral("alpha")));
        dialog.reject();
    }
    QCOMPARE(QDir::currentPath(), tree.path(QStringLiteral("alpha")));
    // So a start folder that cannot be entered opens where the last dialog was.
    const FolderDialog next(QStringLiteral("/no/such/folder"));
    QCOMPARE(next.currentFolder(), tree.path(QStringLiteral("alpha")));
}

void FolderDialogTest::anotherDriveIsShownInTheDriveBox() {
    const QString here = QStorageInfo(QDir::currentPath()).rootPath();
    QString elsewhere;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady() && volume.rootPath() != here &&
            QDir(volume.rootPath()).isReadable()) {
            elsewhere = volume.rootPath();
            break;
        }
    }
    if (elsewhere.isEmpty()) {
        QSKIP("only one file system is mounted here");
    }
    FolderDialog dialog(elsewhere);
    auto* drives = Child<QComboBox>(dialog, "DriveBox");
    QCOMPARE(drives->currentData().toString(), elsewhere);
    // Choosing a drive moves the lists to its top folder.
    const int hereIndex = drives->findData(here);
    QVERIFY(hereIndex >= 0);
    drives->setCurrentIndex(hereIndex);
    emit drives->activated(hereIndex);
    QCOMPARE(dialog.currentFolder(), QDir(here).absolutePath());
}

void FolderDialogTest::newFolderNeedsTheUsersYes() {
    const Tree tree;
    const QString wanted = tree.path(QStringLiteral("new/nested/folder"));
    const auto typeAndAccept = [&wanted](FolderDialog& dialog) {
        TypeInto(Child<QLineEdit>(dialog, "NameBox"), wanted);
        QTest::keyClick(&dialog, Qt::Key_Return);  // "OK" is the default button
    };

    FolderDialog::setCreateAnswerForTesting(false);
    FolderDialog dialog(tree.root());
    dialog.show();
    typeAndAccept(dialog);
    QVERIFY(dialog.isVisible());  // "いいえ" keeps it open with the text
    QCOMPARE(dialog.folderName(), wanted);
    QVERIFY(!QDir(wanted).exists());

    FolderDialog::setCreateAnswerForTesting(true);
    const FolderChoice choice = Choose(tree.root(), typeAndAccept);
    QVERIFY(choice.chosen);
    QCOMPARE(choice.folder, wanted);
    QVERIFY(QDir(wanted).exists());
}

void FolderDialogTest::chosenTextComesBackVerbatim() {
    const Tree tree;
    const FolderChoice root = Choose(tree.root(), [](FolderDialog& dialog) {
        dialog.openFolder(QDir::rootPath());
        dialog.accept();
    });
    QCOMPARE(root.folder, QDir::toNativeSeparators(QDir::rootPath()));  // with its separator
    const FolderChoice beta = Choose(tree.root(), [&tree](FolderDialog& dialog) {
        dialog.openFolder(tree.path(QStringLiteral("Beta")));
        dialog.accept();
    });
    QCOMPARE(beta.folder, QDir::toNativeSeparators(tree.path(QStringLiteral("Beta"))));
    const FolderChoice cancelled =
        Choose(QStringLiteral("start text"), [](FolderDialog& dialog) { dialog.reject(); });
    QVERIFY(!cancelled.chosen);
    QCOMPARE(cancelled.folder, QStringLiteral("start text"));
}

void FolderDialogTest::textTheFileCannotHoldIsNotAccepted_data() {
    QTest::addColumn<QString>("name");
    // Code page 932 has no "é"; a line break would split the key's line in the file and
    // could add keys of its own.
    QTest::newRow("accented letter") << QStringLiteral("café");
    QTest::newRow("line feed") << QStringLiteral("x\n[Options]\nOKStep=True");
    QTest::newRow("carriage return") << QStringLiteral("x\r[Options]");
}

void FolderDialogTest::textTheFileCannotHoldIsNotAccepted() {
    QFETCH(QString, name);
#ifdef Q_OS_WIN
    if (name.contains(u'\n') || name.contains(u'\r')) {
        QSKIP("Windows folder names cannot hold line breaks");
    }
#endif
    const Tree tree;
    const QString folder = tree.path(name);
    QVERIFY(QDir().mkpath(folder));
    // Reached by browsing, as a name that cannot be typed would be.
    FolderDialog dialog(tree.root());
    dialog.show();
    auto* folders = Child<QListWidget>(dialog, "FolderList");
    const QList<QListWidgetItem*> found = folders->findItems(name, Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    const QPoint at = folders->visualItemRect(found[0]).center();
    QTest::mouseClick(folders->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(folders->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(dialog.currentFolder(), folder);
    // Any answer would make a folder, were the question asked.
    FolderDialog::setCreateAnswerForTesting(true);
    auto* nameBox = Child<QLineEdit>(dialog, "NameBox");
    for (const QString& typed : {QString(), QStringLiteral("/new")}) {
        nameBox->setFocus();
        QTest::keyClick(nameBox, Qt::Key_End);
        test::TypeText(nameBox, typed);
        QCOMPARE(dialog.folderName(), QDir::toNativeSeparators(folder) + typed);
        const auto boxes = AnswerBoxes([&] { QTest::keyClick(nameBox, Qt::Key_Return); });
        QCOMPARE(boxes.size(), std::size_t{1});
        QCOMPARE(boxes[0].caption, QStringLiteral("ディレクトリの選択"));
        QCOMPARE(
            boxes[0].text,
            QStringLiteral("設定ファイルに保存できない文字がディレクトリ名に含まれています。"));
        QCOMPARE(boxes[0].icon, QMessageBox::Warning);
        QCOMPARE(boxes[0].format, Qt::PlainText);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), int{QDialog::Rejected});
    }
    QVERIFY(!QFileInfo::exists(folder + QStringLiteral("/new")));
}

void FolderDialogTest::aFileIsNotAFolder_data() {
    QTest::addColumn<QString>("typed");  // TREE stands for the tree's folder
    QTest::newRow("full path") << "TREE/A.ini";
    QTest::newRow("with a final separator") << "TREE/A.ini/";
    QTest::newRow("with two final separators") << "TREE/A.ini//";
    QTest::newRow("relative") << "b.txt";
}

void FolderDialogTest::aFileIsNotAFolder() {
    QFETCH(QString, typed);
    const Tree tree;
    QDir::setCurrent(tree.root());
    typed.replace(QStringLiteral("TREE"), tree.root());
    typed = QDir::toNativeSeparators(typed);
    FolderDialog::setCreateAnswerForTesting(true);
    FolderChoice choice;
    const auto boxes = AnswerBoxes([&] {
        choice = Choose(tree.root(), [&typed](FolderDialog& dialog) {
            TypeInto(Child<QLineEdit>(dialog, "NameBox"), typed);
            QTest::keyClick(&dialog, Qt::Key_Return);
            QVERIFY(dialog.isVisible());
            QCOMPARE(dialog.folderName(), typed);
            dialog.reject();
        });
    });
    QVERIFY(!choice.chosen);
    QCOMPARE(boxes.size(), std::size_t{1});
    QCOMPARE(boxes[0].caption, QStringLiteral("ディレクトリの選択"));
    QCOMPARE(boxes[0].text, QStringLiteral("指定されたパスはディレクトリではありません。"));
    QVERIFY(QFileInfo(tree.path(QStringLiteral("A.ini"))).isFile());
}

void FolderDialogTest::focusedButtonTakesEnter_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("helpAsked");
    QTest::newRow("キャンセル") << "CancelButton" << int{QDialog::Rejected} << false << 0;
    QTest::newRow("ヘルプ") << "HelpButton" << int{QDialog::Rejected} << true << 1;
    QTest::newRow("OK") << "OkButton" << int{QDialog::Accepted} << false << 0;
    QTest::newRow("name box") << "NameBox" << int{QDialog::Accepted} << false << 0;
    QTest::newRow("file list") << "FileList" << int{QDialog::Accepted} << false << 0;
}

void FolderDialogTest::focusedButtonTakesEnter() {
    QFETCH(QString, focus);
    QFETCH(int, result);
    QFETCH(bool, open);
    QFETCH(int, helpAsked);
    const Tree tree;
    FolderDialog dialog(tree.root());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QSignalSpy help(&dialog, &FolderDialog::helpRequested);
    auto* target = Child<QWidget>(dialog, focus.toLatin1().constData());
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Return);
    QCOMPARE(dialog.result(), result);
    QCOMPARE(dialog.isVisible(), open);
    QCOMPARE(help.count(), helpAsked);
    QCOMPARE(QDir::currentPath(), tree.root());  // the folder shown, whatever the answer
}

void FolderDialogTest::fileNamesAreDimmedYetReadable() {
    const FolderDialog dialog(QString{});
    const QPalette palette =
        Child<QListWidget>(const_cast<FolderDialog&>(dialog), "FileList")->palette();
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    QCOMPARE(base, QColor(Qt::white));
    QVERIFY2(ContrastRatio(text, base) >= 3.0, qPrintable(text.name()));
    // Still dimmed: lighter than the text of the folder list.
    const QPalette folders =
        Child<QListWidget>(const_cast<FolderDialog&>(dialog), "FolderList")->palette();
    QVERIFY(ContrastRatio(text, base) < ContrastRatio(folders.color(QPalette::Text), base));
}

void FolderDialogTest::helpAsksForItsTopic() {
    FolderDialog dialog(QString{});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QSignalSpy help(&dialog, &FolderDialog::helpRequested);
    QTest::keyClick(&dialog, Qt::Key_H, Qt::AltModifier);
    QTRY_COMPARE(help.count(), 1);  // a mnemonic clicks its button after a moment
    QCOMPARE(help.at(0).at(0).toInt(), 1000);
}

void FolderDialogTest::creationRule_data() {
    QTest::addColumn<QString>("text");  // TREE stands for the tree's folder
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("made");  // the folder that then exists, if any
    QTest::newRow("nested") << "TREE/x/y/z" << true << "TREE/x/y/z";
    QTest::newRow("final separator") << "TREE/x/" << true << "TREE/x";
    QTest::newRow("existing") << "TREE/alpha" << true << "TREE/alpha";
    QTest::newRow("root") << "/" << true << "/";
    QTest::newRow("below a file") << "TREE/b.txt/x" << false << "";
    QTest::newRow("two final separators") << "TREE/q//" << true << "";
}

void FolderDialogTest::creationRule() {
    QFETCH(QString, text);
    QFETCH(bool, succeeds);
    QFETCH(QString, made);
    const Tree tree;
    text.replace(QStringLiteral("TREE"), tree.root());
    made.replace(QStringLiteral("TREE"), tree.root());
    QCOMPARE(CreateFolders(QDir::toNativeSeparators(text)), succeeds);
    if (!made.isEmpty()) {
        QVERIFY(QDir(made).exists());
    }
    QVERIFY(!QDir(tree.path(QStringLiteral("q"))).exists());

    // An empty text, or a relative one whose uppermost folder has no folder part, fails.
    QDir::setCurrent(tree.root());
    for (const QString& bad : {QString(), QStringLiteral("newfolder")}) {
        try {
            CreateFolders(bad);
            QFAIL("no error");
        } catch (const FolderCreationError& error) {
            QCOMPARE(DecodeCp932(error.message()), QStringLiteral("ディレクトリを作成できません"));
        }
    }
}

void FolderDialogTest::folderButtonsStartAtTheStoredFolder() {
    const Tree tree;
    SettingsModel model = DistinctModel();
    model.betAutoReadFolder = EncodeCp932(tree.path(QStringLiteral("alpha"))).value();
    model.patFolder = EncodeCp932(QDir::rootPath()).value();
    const std::unique_ptr<TQvEnv> window = WindowOn(model);
    // Typed but not yet stored: "参照" does not start there.
    TypeInto(window->Edit2, tree.path(QStringLiteral("Beta")));

    QString openedAt;
    SetFolderDialogAnswerForTesting([&](FolderDialog& dialog) {
        openedAt = dialog.currentFolder();
        dialog.openFolder(tree.path(QStringLiteral("gamma")));
        dialog.accept();
    });
    window->FindDir1->click();
    QCOMPARE(openedAt, tree.path(QStringLiteral("alpha")));
    QCOMPARE(window->Edit2->text(),
             QDir::toNativeSeparators(tree.path("gamma")) + FolderSeparator());

    // A root keeps its one separator.
    SetFolderDialogAnswerForTesting([&](FolderDialog& dialog) {
        openedAt = dialog.currentFolder();
        dialog.accept();
    });
    window->FindDir2->click();
    SetFolderDialogAnswerForTesting({});
    QCOMPARE(openedAt, QDir::rootPath());
    QCOMPARE(window->Edit3->text(), QDir::toNativeSeparators(QDir::rootPath()));

    // The model takes the box's text at the next store.
    QCOMPARE(window->model().betAutoReadFolder, EncodeCp932(tree.path("alpha")).value());
    ClickPage(*window, 2);
    QCOMPARE(window->model().betAutoReadFolder,
             EncodeCp932(QDir::toNativeSeparators(tree.path("gamma")) + FolderSeparator()).value());
}

void FolderDialogTest::failedCreationLeavesTheBoxAlone() {
    const Tree tree;
    const std::unique_ptr<TQvEnv> window = WindowOn(DistinctModel());
    const QString before = window->Edit2->text();
    FolderDialog::setCreateAnswerForTesting(true);
    SetFolderDialogAnswerForTesting([](FolderDialog& dialog) {
        TypeInto(Child<QLineEdit>(dialog, "NameBox"), QString());
        dialog.accept();
    });
    const auto boxes = AnswerBoxes([&] { window->FindDir1->click(); });
    SetFolderDialogAnswerForTesting({});
    QCOMPARE(boxes.size(), std::size_t{1});
    QCOMPARE(boxes[0].text, QStringLiteral("ディレクトリを作成できません."));
    QCOMPARE(window->Edit2->text(), before);
}

void FolderDialogTest::agreedFolderIsMadeOrReported_data() {
    QTest::addColumn<QString>("typed");  // TREE stands for the tree's folder
    QTest::addColumn<bool>("makeable");
    QTest::newRow("below a file") << "TREE/b.txt/sub" << false;
    QTest::newRow("two levels below a file") << "TREE/A.ini/sub/deeper" << false;
    QTest::newRow("in a folder without write permission") << "TREE/locked/新規" << false;
#ifdef Q_OS_LINUX
    QTest::newRow("on a file system of no folders") << "/proc/新規" << false;
#endif
    QTest::newRow("new with its parents") << "TREE/new/nested/folder" << true;
    QTest::newRow("relative below an existing folder") << "alpha/新規" << true;
}

void FolderDialogTest::agreedFolderIsMadeOrReported() {
    QFETCH(QString, typed);
    QFETCH(bool, makeable);
    const Tree tree;
    QDir::setCurrent(tree.root());
    const QString locked = tree.path(QStringLiteral("locked"));
    if (typed.contains(QStringLiteral("locked"))) {
        QVERIFY(QDir().mkdir(locked));
        QVERIFY(QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        // Root, and Windows, write into it all the same.
        if (QDir(locked).mkdir(QStringLiteral("probe"))) {
            QDir(locked).rmdir(QStringLiteral("probe"));
            QSKIP("this user may write into a folder without write permission");
        }
    }
    typed = QDir::toNativeSeparators(typed.replace(QStringLiteral("TREE"), tree.root()));

    const std::unique_ptr<TQvEnv> window = WindowOn(DistinctModel());
    const QString before = window->Edit2->text();
    FolderDialog::setCreateAnswerForTesting(true);
    QStringList errors;
    FolderDialog::setErrorShownForTesting([&errors](const QString& text) { errors << text; });
    bool leftOpen = false;
    QString leftInBox;
    SetFolderDialogAnswerForTesting([&](FolderDialog& dialog) {
        TypeInto(Child<QLineEdit>(dialog, "NameBox"), typed);
        QTest::keyClick(&dialog, Qt::Key_Return);
        leftOpen = dialog.isVisible() && dialog.result() == QDialog::Rejected;
        leftInBox = dialog.folderName();
        if (leftOpen) {
            dialog.reject();  // the user gives up
        }
    });
    const auto boxes = AnswerBoxes([&] { window->FindDir1->click(); });
    SetFolderDialogAnswerForTesting({});
    QFile::setPermissions(locked,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QVERIFY(boxes.empty());  // nor is anything raised in the window after the dialog
    if (makeable) {
        QVERIFY(errors.isEmpty());
        QVERIFY(!leftOpen);
        QVERIFY(QFileInfo(typed).isDir());
        QCOMPARE(window->Edit2->text(), typed + FolderSeparator());
    } else {
        QCOMPARE(errors, QStringList({QStringLiteral("ディレクトリを作成できません.")}));
        QVERIFY(leftOpen);
        QCOMPARE(leftInBox, typed);
        QVERIFY(!QFileInfo::exists(typed));
        QCOMPARE(window->Edit2->text(), before);
    }
}

void FolderDialogTest::uncreatableFolderShowsTheErrorBox() {
    const Tree tree;
    const QString typed = QDir::toNativeSeparators(tree.path(QStringLiteral("b.txt/sub")));
    FolderDialog::setCreateAnswerForTesting(true);
    bool leftOpen = false;
    FolderChoice choice;
    const auto boxes = AnswerBoxes([&] {
        choice = Choose(tree.root(), [&](FolderDialog& dialog) {
            TypeInto(Child<QLineEdit>(dialog, "NameBox"), typed);
            QTest::keyClick(&dialog, Qt::Key_Return);
            leftOpen = dialog.isVisible() && dialog.folderName() == typed;
            dialog.reject();
        });
    });
    QVERIFY(leftOpen);
    QVERIFY(!choice.chosen);
    QCOMPARE(boxes.size(), std::size_t{1});
    QCOMPARE(boxes[0].caption, ErrorCaption(QCoreApplication::applicationFilePath()));
    QCOMPARE(boxes[0].text, QStringLiteral("ディレクトリを作成できません."));
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(boxes[0].format, Qt::PlainText);
}

}  // namespace jnx

QTEST_MAIN(jnx::FolderDialogTest)
#include "folder_dialog_test.moc"
