#include "folder_chooser/folder_dialog.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStorageInfo>
#include <QStyle>
#include <algorithm>
#include <exception>
#include <utility>

#include "controls/cp932_text.h"
#include "controls/text_controls.h"
#include "error_box.h"
#include "errors.h"
#include "folder_chooser/folder_dialog_layout.h"
#include "folder_chooser/folder_icons.h"
#include "folder_chooser/folder_paths.h"
#include "look/colours.h"
#include "look/window_style.h"

namespace jnx {

namespace {

using layout::DialogControl;
using layout::PlaceOf;

constexpr int kPathRole = Qt::UserRole;  // an entry's folder; its depth is kLevelRole

std::optional<bool>& CreateAnswer() {
    static std::optional<bool> answer;
    return answer;
}

FolderDialogAnswer& DialogAnswer() {
    static FolderDialogAnswer answer;
    return answer;
}

FolderErrorShown& ErrorShown() {
    static FolderErrorShown shown;
    return shown;
}

QLabel* BuildLabel(QWidget* parent, DialogControl control) {
    const layout::DialogPlace& place = PlaceOf(control);
    auto* label = new QLabel(Utf8(place.caption), parent);
    label->setObjectName(Utf8(place.name));
    // The Windows font fits the given widths; a wider one widens the label, never cuts it.
    label->move(place.rect.x, place.rect.y);
    label->resize(std::max(place.rect.width, label->sizeHint().width()), place.rect.height);
    return label;
}

template <typename Widget>
Widget* Place(Widget* widget, DialogControl control) {
    const layout::DialogPlace& place = PlaceOf(control);
    widget->setObjectName(Utf8(place.name));
    widget->setGeometry(place.rect.x, place.rect.y, place.rect.width, place.rect.height);
    return widget;
}

}  // namespace

FolderDialog::FolderDialog(const QString& start, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("FolderDialog"));
    setWindowTitle(Utf8(layout::kFolderDialogCaption));
    setFont(WindowFont(layout::kFontHeight));
    setFixedSize(layout::kFolderDialogWidth, layout::kFolderDialogHeight);
    setModal(true);
    buildControls();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
    }
    openFolder(StartFolder(start));
    folderList_->setFocus();
}

void FolderDialog::buildControls() {
    QLabel* nameLabel = BuildLabel(this, DialogControl::NameLabel);
    nameBox_ = Place(new Cp932LineEdit(this), DialogControl::NameBox);
    nameLabel->setBuddy(nameBox_);

    QLabel* listLabel = BuildLabel(this, DialogControl::ListLabel);
    folderList_ = Place(new QListWidget(this), DialogControl::FolderList);
    folderList_->setItemDelegate(new EntryDelegate(layout::kFolderItemHeight, folderList_));
    folderList_->setUniformItemSizes(true);
    listLabel->setBuddy(folderList_);
    connect(folderList_, &QListWidget::itemDoubleClicked, this,
            [this](const QListWidgetItem* item) { openItem(item); });
    folderList_->installEventFilter(this);

    QLabel* fileLabel = BuildLabel(this, DialogControl::FileLabel);
    fileList_ = Place(new QListWidget(this), DialogControl::FileList);
    fileList_->setItemDelegate(new EntryDelegate(layout::kFileItemHeight, fileList_));
    fileList_->setUniformItemSizes(true);
    // The files are there to look at: dimmed, and choosing one changes nothing.
    QPalette dimmed = fileList_->palette();
    dimmed.setColor(QPalette::Text, ColourOf(Colour::GrayText, QGuiApplication::palette()));
    fileList_->setPalette(dimmed);
    fileLabel->setBuddy(fileList_);

    QLabel* driveLabel = BuildLabel(this, DialogControl::DriveLabel);
    driveBox_ = Place(new QComboBox(this), DialogControl::DriveBox);
    driveLabel->setBuddy(driveBox_);
    connect(driveBox_, &QComboBox::activated, this,
            [this](int index) { openFolder(driveBox_->itemData(index).toString()); });

    auto* ok =
        Place(new QPushButton(Utf8(PlaceOf(DialogControl::Ok).caption), this), DialogControl::Ok);
    connect(ok, &QPushButton::clicked, this, &FolderDialog::accept);
    auto* cancel = Place(new QPushButton(Utf8(PlaceOf(DialogControl::Cancel).caption), this),
                         DialogControl::Cancel);
    connect(cancel, &QPushButton::clicked, this, &FolderDialog::reject);
    auto* help = Place(new QPushButton(Utf8(PlaceOf(DialogControl::Help).caption), this),
                       DialogControl::Help);
    connect(help, &QPushButton::clicked, this,
            [this] { emit helpRequested(layout::kFolderHelpTopic); });
    // A focused button takes Enter, as on the users' desktop; elsewhere Enter is "OK".
    for (QPushButton* button : {ok, cancel, help}) {
        button->setAutoDefault(true);
    }
    ok->setDefault(true);

    QWidget* previous = nullptr;
    for (const DialogControl control : layout::kDialogTabOrder) {
        auto* widget = findChild<QWidget*>(Utf8(PlaceOf(control).name));
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

QString FolderDialog::folderName() const {
    return nameBox_->text();
}

void FolderDialog::openFolder(const QString& folder) {
    if (!QDir::setCurrent(folder)) {
        return;
    }
    current_ = QDir::currentPath();
    fillFolders();
    fillFiles();
    fillDrives();
    nameBox_->setText(QDir::toNativeSeparators(current_));
    nameBox_->selectAll();
}

void FolderDialog::fillFolders() {
    static const QIcon open = FolderIconOf(FolderIcon::Open);
    static const QIcon currentIcon = FolderIconOf(FolderIcon::Current);
    static const QIcon closed = FolderIconOf(FolderIcon::Closed);

    folderList_->clear();
    const QStringList chain = FoldersDownTo(current_);
    int level = 0;
    for (const QString& path : chain) {
        auto* item = new QListWidgetItem(path == current_ ? currentIcon : open, EntryName(path),
                                         folderList_);
        item->setData(kPathRole, path);
        item->setData(kLevelRole, level++);
    }
    folderList_->setCurrentRow(folderList_->count() - 1);
    const QDir dir(current_);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                                             QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(closed, name, folderList_);
        item->setData(kPathRole, dir.absoluteFilePath(name));
        item->setData(kLevelRole, level);
    }
}

void FolderDialog::fillFiles() {
    fileList_->clear();
    fileList_->addItems(QDir(current_).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
}

void FolderDialog::fillDrives() {
    const QString root = QStorageInfo(current_).rootPath();
    driveBox_->clear();
    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    std::sort(volumes.begin(), volumes.end(), [](const QStorageInfo& a, const QStorageInfo& b) {
        return a.rootPath() < b.rootPath();
    });
    for (const QStorageInfo& volume : volumes) {
        if (!volume.isValid() || !volume.isReady()) {
            continue;
        }
#ifdef Q_OS_WIN
        // "c: [label]", as the drives are known on Windows.
        QString shown = volume.rootPath().left(2).toLower();
        if (!volume.displayName().isEmpty() && volume.displayName() != volume.rootPath()) {
            shown += QStringLiteral(" [%1]").arg(volume.displayName());
        }
#else
        const QString shown = volume.rootPath();
#endif
        driveBox_->addItem(shown, volume.rootPath());
    }
    int shownDrive = driveBox_->findData(root);
    if (shownDrive < 0) {
        driveBox_->addItem(QDir::toNativeSeparators(root), root);
        shownDrive = driveBox_->count() - 1;
    }
    driveBox_->setCurrentIndex(shownDrive);
}

void FolderDialog::openItem(const QListWidgetItem* item) {
    if (item != nullptr) {
        openFolder(item->data(kPathRole).toString());
    }
}

bool FolderDialog::eventFilter(QObject* watched, QEvent* event) {
    // Enter on another folder than the current one opens it; on the current one it
    // accepts, as everywhere else in the dialog.
    if (watched == folderList_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const QListWidgetItem* item = folderList_->currentItem();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && item != nullptr &&
            item->data(kPathRole).toString() != current_) {
            openItem(item);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool FolderDialog::userAgreesToCreate() {
    if (const std::optional<bool> answer = CreateAnswer()) {
        return *answer;
    }
    QMessageBox question(QMessageBox::Question, Utf8(layout::kCreateQuestionCaption),
                         Utf8(layout::kCreateQuestion), QMessageBox::NoButton, this);
    QPushButton* yes = question.addButton(Utf8(layout::kYesCaption), QMessageBox::YesRole);
    QPushButton* no = question.addButton(Utf8(layout::kNoCaption), QMessageBox::NoRole);
    question.setDefaultButton(yes);
    question.setEscapeButton(no);  // closing the box counts as "いいえ"
    question.exec();
    return question.clickedButton() == yes;
}

void FolderDialog::refuse(std::string_view message) {
    QMessageBox box(QMessageBox::Warning, windowTitle(), Utf8(message), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void FolderDialog::showError(const QString& text) {
    if (const FolderErrorShown& shown = ErrorShown()) {
        shown(text);
        return;
    }
    ShowError(this, text);
}

bool FolderDialog::makeFolder(const QString& text) {
    creationError_ = nullptr;
    try {
        if (!CreateFolders(text)) {
            // Under a file, in a folder the user may not write to, on a file system that
            // holds no folders: the text stays in the box to be mended or cancelled.
            showError(ErrorText(FolderCreationError()));
            return false;
        }
    } catch (const FolderCreationError&) {
        // A text that names no folder to make (empty, or relative down to its uppermost
        // folder): the dialog closes and ChooseFolder raises the error in the window.
        creationError_ = std::current_exception();
    }
    return true;
}

void FolderDialog::accept() {
    const QString text = nameBox_->text();
    if (!IsStorableText(text)) {
        // A folder whose name the settings file cannot hold (as one line of code page 932)
        // cannot be chosen. Browsing reaches such folders, and the box shows them.
        refuse(layout::kUnstorableNameMessage);
        return;
    }
    if (NamesNoFolder(text)) {
        // Not made, and not a folder the betting tool could use.
        refuse(layout::kNotAFolderMessage);
        return;
    }
    const bool exists = !text.isEmpty() && QFileInfo(QDir::current(), text).isDir();
    if (!exists && (!userAgreesToCreate() || !makeFolder(text))) {
        return;
    }
    QDialog::accept();
}

void FolderDialog::setCreateAnswerForTesting(std::optional<bool> answer) {
    CreateAnswer() = answer;
}

void FolderDialog::setErrorShownForTesting(FolderErrorShown shown) {
    ErrorShown() = std::move(shown);
}

void SetFolderDialogAnswerForTesting(FolderDialogAnswer answer) {
    DialogAnswer() = std::move(answer);
}

FolderChoice ChooseFolder(QWidget* parent, const QString& start) {
    FolderDialog dialog(start, parent);
    if (const FolderDialogAnswer& answer = DialogAnswer()) {
        dialog.show();
        answer(dialog);
    } else {
        dialog.exec();
    }
    if (dialog.result() != QDialog::Accepted) {
        return {false, start};
    }
    if (const std::exception_ptr error = dialog.creationError()) {
        std::rethrow_exception(error);
    }
    return {true, dialog.folderName()};
}

}  // namespace jnx
