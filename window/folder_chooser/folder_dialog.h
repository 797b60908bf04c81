#pragma once

#include <QDialog>
#include <QString>
#include <exception>
#include <functional>
#include <optional>
#include <string_view>

class QComboBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace jnx {

class Cp932LineEdit;

// Test seam: when set, an error the folder chooser would show in the error box is handed
// to this function instead, and no box opens.
using FolderErrorShown = std::function<void(const QString& text)>;

// What the folder chooser gives back.
struct FolderChoice {
    bool chosen = false;
    QString folder;  // the folder-name box's text as it stood; the start text if not chosen
};

// The folder chooser "ディレクトリの選択". The folder list shows the root, the folders above
// the current one and the current one, then its subfolders; the file list the current
// folder's files; the drive box the drives (elsewhere than on Windows the mounted file
// systems). Browsing changes the process's current directory, which stays so after the
// dialog has closed. A folder that does not exist is accepted only when the user agrees
// to have it made and it is then made with the folders above it (CreateFolders); when it
// cannot be made the error box says "ディレクトリを作成できません" and the dialog stays
// open. A text that code page 932 cannot hold (or that holds a line break) is not
// accepted, since the settings file could not store it, nor is the name of a file: a
// message box under the dialog's caption says why.
class FolderDialog : public QDialog {
    Q_OBJECT
public:
    // Opens at `start` when that names a folder (a relative text taken against the
    // current directory), else at the current directory.
    explicit FolderDialog(const QString& start, QWidget* parent = nullptr);

    // The folder the lists show, which is the current directory.
    [[nodiscard]] QString currentFolder() const { return current_; }
    // The folder-name box's text.
    [[nodiscard]] QString folderName() const;

    // Shows the folder in the lists and makes it the current directory.
    void openFolder(const QString& folder);

    // The answer tests give in advance to the question before a new folder is accepted;
    // none asks the user.
    static void setCreateAnswerForTesting(std::optional<bool> answer);
    static void setErrorShownForTesting(FolderErrorShown shown);

    // The FolderCreationError of an accepted text that names no folder to make (empty,
    // or relative down to its uppermost folder); ChooseFolder raises it once the dialog
    // has closed. Null otherwise.
    [[nodiscard]] std::exception_ptr creationError() const { return creationError_; }

public slots:
    void accept() override;

signals:
    // "ヘルプ(&H)" asks for its topic; the editor has no help file, so nothing shows.
    void helpRequested(int topic);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void fillFolders();
    void fillFiles();
    void fillDrives();
    void openItem(const QListWidgetItem* item);
    [[nodiscard]] bool userAgreesToCreate();
    // Says why "OK" did not take the text; the dialog stays open.
    void refuse(std::string_view message);
    // Makes the folder the user agreed to have made; false, after the error box, when it
    // cannot be made.
    [[nodiscard]] bool makeFolder(const QString& text);
    void showError(const QString& text);

    QString current_;
    std::exception_ptr creationError_;
    Cp932LineEdit* nameBox_ = nullptr;
    QListWidget* folderList_ = nullptr;
    QListWidget* fileList_ = nullptr;
    QComboBox* driveBox_ = nullptr;
};

// Runs the folder chooser modally at `start`. A chosen folder that did not exist has been
// made on "OK"; a chosen text that names no folder to make throws FolderCreationError.
FolderChoice ChooseFolder(QWidget* parent, const QString& start);

// Test seam: when set, ChooseFolder shows the dialog without a modal loop and hands it
// to this function, which answers it (accept() or reject()).
using FolderDialogAnswer = std::function<void(FolderDialog&)>;
void SetFolderDialogAnswerForTesting(FolderDialogAnswer answer);

}  // namespace jnx
