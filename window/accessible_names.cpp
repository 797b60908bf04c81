#include "accessible_names.h"

#include <QString>
#include <QToolButton>
#include <utility>

#include "accessible_texts.h"
#include "controls/cp932_text.h"
#include "field_bindings.h"
#include "tables.h"
#include "window_layout.h"

namespace jnx {

namespace {

using layout::Column;

// A name or description is set only when it changes: every change is reported to the
// screen reader, and a page shown again (after a reset) would read out every row anew.
void SetName(QWidget* control, const QString& name) {
    if (control->accessibleName() != name) {
        control->setAccessibleName(name);
    }
}

void SetDescription(QWidget* control, const QString& description) {
    if (control->accessibleDescription() != description) {
        control->setAccessibleDescription(description);
    }
}

QString GroupText(std::size_t g) {
    return Utf8(layout::kGroupWord) + QLatin1Char(' ') + DecodeCp932(GroupName.at(g));
}

QString ControlName(std::size_t g, Column column) {
    const std::string_view caption = layout::CaptionOf(column);
    return caption.empty() ? GroupText(g) : GroupText(g) + QLatin1Char(' ') + Utf8(caption);
}

// The spin's arrows, named by the box they work.
void NameArrows(const UpDown* spin, const QString& boxName) {
    for (QToolButton* arrow : spin->findChildren<QToolButton*>(Qt::FindDirectChildrenOnly)) {
        const std::string_view text =
            arrow->arrowType() == Qt::UpArrow ? layout::kSpinUpName : layout::kSpinDownName;
        SetName(arrow, Utf8(text).arg(boxName));
    }
}

// The first and last group of page `page` (1 … 3), as the rows name them.
std::pair<QString, QString> PageGroups(int page) {
    const auto first = static_cast<std::size_t>(page - 1) * layout::kRowCount;
    return {DecodeCp932(GroupName.at(first)),
            DecodeCp932(GroupName.at(first + layout::kRowCount - 1))};
}

}  // namespace

void NameRow(const RowControls& row, std::size_t g) {
    SetName(row.panel(), GroupText(g));
    for (const layout::ColumnLayout& place : layout::kColumns) {
        SetName(row.widget(place.column), ControlName(g, place.column));
    }
    // The parts of a control that a screen reader reaches on their own.
    for (const FieldBinding& binding : kFieldBindings) {
        if (binding.kind == ControlKind::Spin) {
            const UpDown* spin = row.spin(binding.column);
            NameArrows(spin, spin->buddy()->accessibleName());
        } else if (binding.kind == ControlKind::List) {
            const Cp932ComboBox* list = row.list(binding.column);
            SetName(list->lineEdit(), list->accessibleName());
        }
    }
}

void NamePageButtons(const PageButtons& buttons, int page) {
    for (std::size_t i = 0; i < buttons.pages.size(); ++i) {
        const int shown = static_cast<int>(i) + 1;
        const auto [first, last] = PageGroups(shown);
        SetName(buttons.pages.at(i), Utf8(layout::kPageName).arg(shown).arg(first, last));
        SetDescription(buttons.pages.at(i), Utf8(shown == page ? layout::kShownPageDescription
                                                               : layout::kOtherPageDescription));
    }
    const std::pair<QString, QString> shownGroups = PageGroups(page);
    const auto describe = [&](QPushButton* button, FieldIndex field) {
        const QString caption = Utf8(layout::CaptionOf(BindingOfField(field).column));
        SetDescription(button, Utf8(layout::kResetDescription)
                                   .arg(caption)
                                   .arg(page)
                                   .arg(shownGroups.first, shownGroups.second));
    };
    describe(buttons.totalZero, kTotalField);
    describe(buttons.balanceZero, kBalanceField);
}

void NameFolder(QLineEdit* box, QPushButton* browse, std::string_view caption) {
    const QString folder = Utf8(caption);
    SetName(box, folder);
    SetName(browse, Utf8(layout::kBrowseName).arg(folder));
    SetDescription(browse, Utf8(layout::kBrowseDescription).arg(folder));
}

}  // namespace jnx
