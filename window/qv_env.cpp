#include "qv_env.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <initializer_list>
#include <utility>
#include <vector>

#include "controls/cp932_text.h"
#include "error_box.h"
#include "folder_chooser/folder_dialog.h"
#include "folder_chooser/folder_paths.h"
#include "look/app_icon.h"
#include "look/window_style.h"
#include "tables.h"
#include "window_layout.h"

namespace jnx {

namespace {

QPushButton* BuildButton(QWidget* parent, std::string_view name, std::string_view caption,
                         const layout::Rect& rect) {
    auto* button = new QPushButton(Utf8(caption), parent);
    button->setObjectName(Utf8(name));
    button->setGeometry(rect.x, rect.y, rect.width, rect.height);
    // A focused button takes Enter as well as Space, as on the users' desktop.
    button->setAutoDefault(true);
    return button;
}

QLabel* BuildLabel(QWidget* parent, std::string_view name, std::string_view caption, int x, int y,
                   int fontHeight) {
    auto* label = new QLabel(Utf8(caption), parent);
    label->setObjectName(Utf8(name));
    label->setFont(WindowFont(fontHeight));
    label->move(x, y);
    label->adjustSize();
    return label;
}

// The window's buttons and the handler each runs. Every one reads or writes the
// settings, so none works until a load has completed.
struct ButtonCommand {
    QPushButton* TQvEnv::*button;
    void (TQvEnv::*handler)();
};

constexpr std::array<ButtonCommand, 8> kButtonCommands = {{
    {&TQvEnv::page1, &TQvEnv::page1Click},
    {&TQvEnv::page2, &TQvEnv::page2Click},
    {&TQvEnv::page3, &TQvEnv::page3Click},
    {&TQvEnv::TotalZero, &TQvEnv::TotalZeroClick},
    {&TQvEnv::Button1, &TQvEnv::Button1Click},
    {&TQvEnv::FindDir1, &TQvEnv::FindDir1Click},
    {&TQvEnv::FindDir2, &TQvEnv::FindDir2Click},
    {&TQvEnv::SaveEnd, &TQvEnv::SaveEndClick},
}};

}  // namespace

TQvEnv::TQvEnv(SettingsPath settingsPath, QWidget* parent)
    : QMainWindow(parent), settingsPath_(std::move(settingsPath)) {
    setObjectName(QStringLiteral("QvEnv"));
    setWindowTitle(Utf8(layout::kCaption));
    setWindowIcon(AppIcon());
    setFont(WindowFont(layout::kFontHeight));

    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    SetBackground(client, Colour::BtnFace);
    SetFontColour(client, Colour::WindowText);
    setCentralWidget(client);

    buildTopBar(client);
    buildHeadings(client);
    for (int r = 1; r <= layout::kRowCount; ++r) {
        row(r) = RowControls(client, r);
    }
    buildBottomArea(client);
    buildMenu();
    setTabOrder();
    const PageButtons buttons{{page1, page2, page3}, TotalZero, Button1};
    pages_ = std::make_unique<PageTransfer>(
        model_, PageControls{&rows_, Edit2, Edit3, CheckBox1, buttons},
        [this](const ModelPlace& place) { sync_.markEdited(place); });
    bindCommands();

    fileWatch_ = new FileWatch(this);
    connect(fileWatch_, &FileWatch::changed, this, &TQvEnv::followFile);
    focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this] {
        if (waitingForFocus_) {
            fileWatch_->poke();
        }
    });

    // Client area of its fixed size below the menu bar; resizing the window later
    // moves and stretches nothing.
    resize(layout::kClientWidth, layout::kClientHeight + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
    }
}

TQvEnv::~TQvEnv() {
    // The window's own widgets move the focus as they go, after this object is gone.
    disconnect(focusWatch_);
}

void TQvEnv::showEvent(QShowEvent* event) {
    // The window opens with the focus on the first control in tab order that can take
    // it: "保存終了"; after a failed load none can.
    if (!shown_) {
        shown_ = true;
        const auto first = std::find_if(tabOrder_.begin(), tabOrder_.end(),
                                        [](const QWidget* widget) { return widget->isEnabled(); });
        if (first != tabOrder_.end()) {
            (*first)->setFocus();
        }
    }
    QMainWindow::showEvent(event);
}

void TQvEnv::buildTopBar(QWidget* client) {
    std::vector<QPushButton*> buttons;
    for (const layout::BarButton& bar : layout::kTopBar) {
        QPushButton* button =
            BuildButton(client, bar.name, bar.caption,
                        {bar.x, layout::kTopBarY, bar.width, layout::kTopBarHeight});
        if (bar.fontColour) {
            SetFontColour(button, *bar.fontColour);
        }
        buttons.push_back(button);
    }
    page1 = buttons[0];
    page2 = buttons[1];
    page3 = buttons[2];
    TotalZero = buttons[3];
    Button1 = buttons[4];
}

void TQvEnv::buildHeadings(QWidget* client) {
    for (const layout::Heading& heading : layout::kHeadings) {
        const QString caption = Utf8(heading.caption);
        auto* label = new QLabel(caption, client);
        // The widths fit the Windows font; a wider substitute is condensed to the width,
        // so that no heading runs into the next one.
        label->setFont(FittedFont(WindowFont(heading.fontHeight), caption, heading.width));
        label->setAlignment(heading.centred ? Qt::AlignHCenter | Qt::AlignTop
                                            : Qt::AlignLeft | Qt::AlignTop);
        label->setGeometry(heading.x, layout::kHeadingY, heading.width, label->sizeHint().height());
        SetFontColour(label, heading.fontColour);
    }
}

void TQvEnv::buildBottomArea(QWidget* client) {
    std::array<Cp932LineEdit*, 2> edits{};
    std::array<QPushButton*, 2> buttons{};
    std::array<QLabel*, 2> labels{};
    for (std::size_t i = 0; i < layout::kFolderRows.size(); ++i) {
        const layout::FolderRow& folder = layout::kFolderRows[i];
        labels[i] = BuildLabel(client, folder.labelName, folder.labelCaption, folder.labelX,
                               folder.y, layout::kFolderLabelFontHeight);
        edits[i] = new Cp932LineEdit(client);
        edits[i]->setObjectName(Utf8(folder.editName));
        edits[i]->setGeometry(layout::kFolderEditX, folder.y, layout::kFolderEditWidth,
                              layout::kFolderRowHeight);
        SetBackground(edits[i], folder.editColour);
        buttons[i] = BuildButton(client, folder.buttonName, layout::kFolderButtonCaption,
                                 {layout::kFolderButtonX, folder.y, layout::kFolderButtonWidth,
                                  layout::kFolderRowHeight});
        NameFolder(edits[i], buttons[i], folder.labelCaption);
    }
    Label1 = labels[0];
    Label2 = labels[1];
    Edit2 = edits[0];
    Edit3 = edits[1];
    FindDir1 = buttons[0];
    FindDir2 = buttons[1];

    const layout::Rect& panel = layout::kPausePanel;
    Panel2 = new QFrame(client);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel2->setGeometry(panel.x, panel.y, panel.width, panel.height);
    SetBackground(Panel2, Colour::Yellow);
    CheckBox1 = new QCheckBox(Utf8(layout::kPauseCaption), Panel2);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    const layout::Rect& box = layout::kPauseBox;
    CheckBox1->setGeometry(box.x, box.y, box.width, box.height);

    SaveEnd = BuildButton(client, "SaveEnd", layout::kSaveEndCaption, layout::kSaveEnd);
    SaveEnd->setFont(FixedFont(layout::kSaveEndFontHeight));
    SetFontColour(SaveEnd, Colour::Black);
}

void TQvEnv::buildMenu() {
    QMenu* file = menuBar()->addMenu(Utf8(layout::kFileMenu));
    file->setObjectName(QStringLiteral("File1"));
    Save1 = file->addAction(Utf8(layout::kSaveItem));
    Save1->setObjectName(QStringLiteral("Save1"));
    file->addSeparator();
    Exit1 = file->addAction(Utf8(layout::kExitItem));
    Exit1->setObjectName(QStringLiteral("Exit1"));
}

void TQvEnv::setTabOrder() {
    tabOrder_ = {SaveEnd};
    for (const RowControls& controls : rows_) {
        for (const layout::Column column : layout::kRowTabOrder) {
            // Labels and spin buttons take no focus; Tab passes them by.
            QWidget* widget = controls.widget(column);
            if (widget->focusPolicy() & Qt::TabFocus) {
                tabOrder_.push_back(widget);
            }
        }
    }
    for (QWidget* widget : {static_cast<QWidget*>(page1), static_cast<QWidget*>(page2),
                            static_cast<QWidget*>(page3), static_cast<QWidget*>(TotalZero),
                            static_cast<QWidget*>(Edit2), static_cast<QWidget*>(Edit3),
                            static_cast<QWidget*>(FindDir1), static_cast<QWidget*>(FindDir2),
                            static_cast<QWidget*>(CheckBox1), static_cast<QWidget*>(Button1)}) {
        tabOrder_.push_back(widget);
    }
    for (std::size_t i = 1; i < tabOrder_.size(); ++i) {
        QWidget::setTabOrder(tabOrder_[i - 1], tabOrder_[i]);
    }
}

template <typename Sender, typename Signal>
void TQvEnv::bindCommand(Sender* sender, Signal signal, void (TQvEnv::*handler)()) {
    connect(sender, signal, this,
            [this, handler] { RunCommand(this, [this, handler] { (this->*handler)(); }); });
}

void TQvEnv::bindCommands() {
    for (const ButtonCommand& command : kButtonCommands) {
        bindCommand(this->*command.button, &QPushButton::clicked, command.handler);
    }
    bindCommand(Save1, &QAction::triggered, &TQvEnv::Save1Click);
    bindCommand(Exit1, &QAction::triggered, &TQvEnv::Exit1Click);
}

void TQvEnv::setSettingsEnabled(bool enabled) {
    for (const ButtonCommand& command : kButtonCommands) {
        (this->*command.button)->setEnabled(enabled);
    }
    for (QWidget* box : std::initializer_list<QWidget*>{Edit2, Edit3, Panel2}) {
        box->setEnabled(enabled);
    }
    // The rows too: what they would take could never be saved.
    for (const RowControls& controls : rows_) {
        controls.panel()->setEnabled(enabled);
    }
    Save1->setEnabled(enabled);
}

void TQvEnv::FormCreate() {
    // A load that stops half-way leaves groups unread; saving them would write empty
    // texts over the file's values, so the commands and the boxes come on only after a
    // whole load.
    setSettingsEnabled(false);
    const std::string path = settingsPath_();
    sync_.load(path);
    setSettingsEnabled(true);
    fileWatch_->watch(
        [this] { return QFile::decodeName(QByteArray::fromStdString(settingsPath_())); });
    pages_->start();
}

void TQvEnv::followFile() {
    ++followCount_;
    waitingForFocus_ = false;
    try {
        // The rows first: what the user has typed counts as changed from then on.
        pages_->storeShownPage();
        const RefreshResult result = sync_.refresh(
            settingsPath_(), [this](const ModelPlace& place) { return pages_->isBusy(place); });
        pages_->showTaken(result.taken);
        waitingForFocus_ = result.passedBusy;
        if (result.fileBusy) {
            // Another program has the file open for writing: its write may end without a
            // change the watch reports (a writer that only held it open), so look again.
            fileWatch_->poke();
        }
    } catch (const std::exception&) {
        // Nobody asked for this read: the rows keep their values, and the next change of
        // the file is read again.
    }
}

void TQvEnv::page1Click() {
    pages_->switchTo(1);
}
void TQvEnv::page2Click() {
    pages_->switchTo(2);
}
void TQvEnv::page3Click() {
    pages_->switchTo(3);
}

void TQvEnv::zeroColumn(FieldIndex field) {
    const layout::Column column = BindingOfField(field).column;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        rows_[r].text(column)->setBytes("0");
        sync_.markReset(pages_->groupOfRow(r), field);
    }
    pages_->redisplay();
}

void TQvEnv::TotalZeroClick() {
    zeroColumn(kTotalField);
}

void TQvEnv::Button1Click() {
    zeroColumn(kBalanceField);
}

void TQvEnv::save() {
    pages_->storeShownPage();
    // The values kept from the file show at once. The save has succeeded: one that does
    // not convert is shown as text, as a page fill keeps it, and reported to nobody.
    pages_->showTaken(sync_.save(settingsPath_()));
}

void TQvEnv::Save1Click() {
    save();
}

void TQvEnv::SaveEndClick() {
    save();
    close();
}

void TQvEnv::Exit1Click() {
    close();
}

void TQvEnv::chooseFolder(const Text& folder, Cp932LineEdit* box, ModelPlace::Kind place) {
    const FolderChoice choice = ChooseFolder(this, DecodeCp932(folder));
    if (!choice.chosen) {
        return;
    }
    QString shown = choice.folder;
    if (shown.isEmpty() || !IsFolderSeparator(shown.back())) {
        shown += FolderSeparator();
    }
    box->setText(shown);
    // The user's choice, though it may name the folder the file holds.
    sync_.markEdited({place, 0, 0});
}

void TQvEnv::FindDir1Click() {
    chooseFolder(model_.betAutoReadFolder, Edit2, ModelPlace::Kind::BetAutoRead);
}

void TQvEnv::FindDir2Click() {
    chooseFolder(model_.patFolder, Edit3, ModelPlace::Kind::PatData);
}

}  // namespace jnx
