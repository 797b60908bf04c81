#include "row_controls.h"

#include <QPalette>
#include <string_view>
#include <vector>

#include "accessible_names.h"
#include "controls/cp932_text.h"
#include "field_bindings.h"
#include "look/colour_names.h"
#include "look/window_style.h"
#include "tables.h"

namespace jnx {

namespace {

using layout::Column;
using layout::ColumnOf;

std::vector<std::string_view> BetTypeNames() {
    std::vector<std::string_view> names;
    names.reserve(BetTypeCode.size());
    for (const BetType& type : BetTypeCode) {
        names.push_back(type.name);
    }
    return names;
}

std::vector<std::string_view> CourseNames() {
    return {CourseCode.begin(), CourseCode.end()};
}

// The names a list offers: the bet types or the racecourses.
std::vector<std::string_view> ListNames(FieldIndex field) {
    return field == kTypeField ? BetTypeNames() : CourseNames();
}

UpDown* BuildSpin(QLineEdit* buddy, const FieldBinding& binding, QWidget* panel) {
    const SpinField range = *SpinOfField(*binding.field);
    return new UpDown(buddy, static_cast<qint16>(range.minimum), static_cast<qint16>(range.maximum),
                      static_cast<qint16>(ColumnOf(binding.column).spinStart), panel);
}

// A new control of the kind that shows the column's value. Spin buttons work the edit box
// left of them; that box, the blank ones and the group's name show no value themselves.
QWidget* CreateControl(Column column, QWidget* panel, QWidget* left) {
    if (column == Column::Gr) {
        return new QLabel(panel);
    }
    const FieldBinding* binding = FindBinding(column);
    if (binding == nullptr) {
        return new LineEdit(panel);
    }
    switch (binding->kind) {
        case ControlKind::Check:
            return new QCheckBox(panel);
        case ControlKind::List:
            return new Cp932ComboBox(ListNames(*binding->field), panel);
        case ControlKind::Spin:
            return BuildSpin(qobject_cast<QLineEdit*>(left), *binding, panel);
        case ControlKind::Text:
            break;
    }
    return new Cp932LineEdit(panel);
}

void SetStartText(QWidget* widget, const QString& text) {
    if (auto* combo = qobject_cast<Cp932ComboBox*>(widget)) {
        combo->setBytes(EncodeCp932(text).value_or(std::string()));
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    }
}

// The name of a row control: "Type1", "Ud101", "Edit5" …
QString ControlName(const layout::ColumnLayout& place, int row) {
    return Utf8(place.namePrefix) + QString::number(place.nameStep * row + place.nameOffset);
}

}  // namespace

RowControls::RowControls(QWidget* parent, int row) : panel_(new QFrame(parent)) {
    const layout::Rect rect = layout::RowRect(row);
    panel_->setObjectName(QStringLiteral("Panel%1").arg(2 * row - 1));
    panel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel_->setGeometry(rect.x, rect.y, rect.width, rect.height);
    SetFontColour(panel_, Colour::BtnText);

    QWidget* left = nullptr;
    for (const layout::ColumnLayout& place : layout::kColumns) {
        QWidget* widget = CreateControl(place.column, panel_, left);
        controls_.at(static_cast<std::size_t>(place.column)) = widget;
        left = widget;
        widget->setObjectName(ControlName(place, row));
        widget->setGeometry(place.x, layout::kRowControlY, place.width, place.height);
        const std::optional<Colour> colour =
            row == 1 && place.firstRowColour ? place.firstRowColour : place.colour;
        if (colour) {
            SetBackground(widget, *colour);
        }
        if (place.fontColour) {
            SetFontColour(widget, *place.fontColour);
        }
        SetStartText(widget, Utf8(place.startText));
    }

    text(Column::Race)->setReadOnly(true);

    QLabel* name = label();
    const layout::LabelColours& colours = layout::kGroupLabelColours.at(row - 1);
    name->setText(Utf8(GroupName.at(row - 1)));
    name->setAlignment(Qt::AlignCenter);
    name->setFont(WindowFont(layout::kGroupLabelFontHeight));
    SetBackground(name, colours.background);
    SetFontColour(name, colours.text);
    // The group's name takes no input: it keeps its colours while the row is disabled
    // (after a failed load), where grey would vanish on the white and pink labels.
    QPalette palette = name->palette();
    palette.setColor(QPalette::Disabled, QPalette::WindowText,
                     palette.color(QPalette::Active, QPalette::WindowText));
    name->setPalette(palette);
    NameRow(*this, static_cast<std::size_t>(row - 1));
}

}  // namespace jnx
