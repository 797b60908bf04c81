#pragma once

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/text_controls.h"
#include "file_watch.h"
#include "page_transfer.h"
#include "row_controls.h"
#include "settings_model.h"
#include "settings_path.h"
#include "settings_sync.h"

namespace jnx {

// The editor's one window: the page and reset buttons, the column headings, twelve group
// rows, the two folders, the pause option, "保存終了" and the file menu. It owns the
// settings model and the page state for the whole run. Every control carries its name
// as its object name.
class TQvEnv : public QMainWindow {
    Q_OBJECT
public:
    // Where the settings file is, asked afresh for every load and save.
    using SettingsPath = std::function<std::string()>;

    explicit TQvEnv(SettingsPath settingsPath = SettingsFilePath, QWidget* parent = nullptr);
    ~TQvEnv() override;
    TQvEnv(const TQvEnv&) = delete;
    TQvEnv& operator=(const TQvEnv&) = delete;
    TQvEnv(TQvEnv&&) = delete;
    TQvEnv& operator=(TQvEnv&&) = delete;

    // The creation handler: loads the settings file and shows page 1. Errors escape to
    // the caller. Until the load has completed, every command that reads or writes the
    // settings stays disabled, so a file that could not be read is never written over.
    // After a load the window follows the file (followFile).
    void FormCreate();

    // Shows what another program has changed in the file: every value the user has not
    // changed since the last load or save, in the model or in its control, takes the file's
    // value; a control in the user's hands is left alone and takes it once the focus has
    // moved on. Never shows an error: a file that cannot be read changes nothing.
    // The file watch calls it, some 150 ms after the file changed.
    void followFile();

    // Test seam: how many times the window has read the file to follow it.
    [[nodiscard]] int followCount() const { return followCount_; }

    [[nodiscard]] SettingsModel& model() { return model_; }
    [[nodiscard]] PageTransfer& pages() { return *pages_; }
    // Row r, 1 … 12.
    [[nodiscard]] RowControls& row(int r) { return rows_.at(static_cast<std::size_t>(r - 1)); }
    [[nodiscard]] const RowControls& row(int r) const {
        return rows_.at(static_cast<std::size_t>(r - 1));
    }

    QPushButton* page1 = nullptr;
    QPushButton* page2 = nullptr;
    QPushButton* page3 = nullptr;
    QPushButton* TotalZero = nullptr;
    QPushButton* Button1 = nullptr;
    QLabel* Label1 = nullptr;
    Cp932LineEdit* Edit2 = nullptr;
    QPushButton* FindDir1 = nullptr;
    QLabel* Label2 = nullptr;
    Cp932LineEdit* Edit3 = nullptr;
    QPushButton* FindDir2 = nullptr;
    QFrame* Panel2 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QPushButton* SaveEnd = nullptr;
    QAction* Save1 = nullptr;
    QAction* Exit1 = nullptr;

public slots:
    void page1Click();
    void page2Click();
    void page3Click();
    // Sets the totals (balances) of the twelve groups shown to "0".
    void TotalZeroClick();
    void Button1Click();
    // Stores the page shown and writes the settings file. What another program changed
    // in the file meanwhile and the user did not is kept, and the rows show it.
    void Save1Click();
    // Saves, then closes the window; a failed save leaves it open.
    void SaveEndClick();
    // Closes the window without saving and without asking.
    void Exit1Click();
    // Choose the auto-read folder (the PAT folder) in the folder chooser, starting from
    // the folder last loaded or stored; the box shows the choice with a final separator,
    // and the model takes it at the next store of the page.
    void FindDir1Click();
    void FindDir2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildTopBar(QWidget* client);
    void buildHeadings(QWidget* client);
    void buildBottomArea(QWidget* client);
    void buildMenu();
    void setTabOrder();
    void bindCommands();
    // Runs the handler through the error display whenever the sender emits the signal.
    template <typename Sender, typename Signal>
    void bindCommand(Sender* sender, Signal signal, void (TQvEnv::*handler)());
    // The buttons and menu item that read or write the settings, and every box whose
    // value a save would write.
    void setSettingsEnabled(bool enabled);
    // Sets the text box of the field in every row to "0" and stores and shows the page
    // again; the next save writes those zeros whatever the file holds by then.
    void zeroColumn(FieldIndex field);
    // Stores the page shown and writes what the user changed into the file; the rows show
    // the values the file kept.
    void save();
    void chooseFolder(const Text& folder, Cp932LineEdit* box, ModelPlace::Kind place);

    SettingsPath settingsPath_;
    std::vector<QWidget*> tabOrder_;  // the controls that take the focus, in tab order
    bool shown_ = false;
    SettingsModel model_;
    SettingsSync sync_{model_};  // what the file held when last loaded, saved or followed
    std::array<RowControls, layout::kRowCount> rows_;
    std::unique_ptr<PageTransfer> pages_;
    FileWatch* fileWatch_ = nullptr;
    bool waitingForFocus_ = false;        // the last follow left a busy control's value for later
    QMetaObject::Connection focusWatch_;  // the application's focus changes
    int followCount_ = 0;
};

}  // namespace jnx
