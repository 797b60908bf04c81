#pragma once

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <array>
#include <memory>

#include "page_transfer.h"
#include "row_controls.h"
#include "settings_model.h"
#include "text_controls.h"

namespace jnx {

// The editor's one window: the page and reset buttons, the column headings, twelve group
// rows, the two folders, the pause option, "保存終了" and the file menu. It owns the
// settings model and the page state for the whole run. Every control carries its name
// as its object name.
class TQvEnv : public QMainWindow {
    Q_OBJECT
public:
    explicit TQvEnv(QWidget* parent = nullptr);

    [[nodiscard]] SettingsModel& model() { return model_; }
    [[nodiscard]] PageTransfer& pages() { return *pages_; }
    // Row r, 1 … 12.
    [[nodiscard]] RowControls& row(int r) { return rows_.at(static_cast<std::size_t>(r - 1)); }

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

private:
    void buildTopBar(QWidget* client);
    void buildHeadings(QWidget* client);
    void buildBottomArea(QWidget* client);
    void buildMenu();
    void setTabOrder();
    // Runs the handler through the error display when the button is clicked.
    void bindCommand(QPushButton* button, void (TQvEnv::*handler)());

    SettingsModel model_;
    std::array<RowControls, layout::kRowCount> rows_;
    std::unique_ptr<PageTransfer> pages_;
};

}  // namespace jnx
