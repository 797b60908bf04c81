#include "row_controls.h"

#include <QPalette>
#include <string_view>
#include <vector>

#include "colour_names.h"
#include "cp932_text.h"
#include "tables.h"
#include "window_style.h"

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

UpDown* BuildSpin(QLineEdit* buddy, Column column, QWidget* panel) {
    const layout::SpinColumn spin = *ColumnOf(column).spin;
    const SpinField range = *SpinOfField(spin.field);
    return new UpDown(buddy, static_cast<qint16>(range.minimum), static_cast<qint16>(range.maximum),
                      static_cast<qint16>(spin.start), panel);
}

// Creates the row's controls, each of its own kind; the table places them afterwards.
void CreateControls(RowControls& row, QWidget* panel) {
    row.Gr = new QLabel(panel);
    row.Act = new QCheckBox(panel);
    row.Type = new Cp932ComboBox(BetTypeNames(), panel);
    row.Nk = new LineEdit(panel);
    row.Ud = BuildSpin(row.Nk, Column::Ud, panel);
    row.Bb = new Cp932ComboBox(CourseNames(), panel);
    row.Race = new Cp932LineEdit(panel);
    row.Race->setReadOnly(true);
    row.Step = new Cp932LineEdit(panel);
    row.Total = new Cp932LineEdit(panel);
    row.Bet = new Cp932LineEdit(panel);
    row.Odd = new Cp932LineEdit(panel);
    row.Plus = new Cp932LineEdit(panel);
    row.Skip = new Cp932LineEdit(panel);
    row.mOdd = new Cp932LineEdit(panel);
    row.mStep = new LineEdit(panel);
    row.maxStep = BuildSpin(row.mStep, Column::MaxStepSpin, panel);
    row.PN = new Cp932LineEdit(panel);
    row.blankLeft = new LineEdit(panel);
    row.blankRight = new LineEdit(panel);
}

void SetStartText(QWidget* widget, const QString& text) {
    if (auto* combo = qobject_cast<Cp932ComboBox*>(widget)) {
        combo->setBytes(EncodeCp932(text).value_or(std::string()));
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    }
}

}  // namespace

QWidget* RowControls::widget(Column column) const {
    switch (column) {
        case Column::Gr:
            return Gr;
        case Column::Act:
            return Act;
        case Column::Type:
            return Type;
        case Column::Nk:
            return Nk;
        case Column::Ud:
            return Ud;
        case Column::Bb:
            return Bb;
        case Column::Race:
            return Race;
        case Column::Step:
            return Step;
        case Column::Total:
            return Total;
        case Column::Bet:
            return Bet;
        case Column::Odd:
            return Odd;
        case Column::Plus:
            return Plus;
        case Column::Skip:
            return Skip;
        case Column::mOdd:
            return mOdd;
        case Column::mStep:
            return mStep;
        case Column::MaxStepSpin:
            return maxStep;
        case Column::PN:
            return PN;
        case Column::BlankLeft:
            return blankLeft;
        case Column::BlankRight:
            return blankRight;
        case Column::Count:
            break;
    }
    return nullptr;
}

Cp932LineEdit* RowControls::textBox(Column column) const {
    return qobject_cast<Cp932LineEdit*>(widget(column));
}

namespace {

// The name of a row control: "Type1", "Ud101", "Edit5" …
QString ControlName(const layout::ColumnLayout& place, int row) {
    return Utf8(place.namePrefix) + QString::number(place.nameStep * row + place.nameOffset);
}

}  // namespace

RowControls BuildRow(QWidget* parent, int row) {
    RowControls controls;
    const layout::Rect rect = layout::RowRect(row);
    controls.panel = new QFrame(parent);
    controls.panel->setObjectName(QStringLiteral("Panel%1").arg(2 * row - 1));
    controls.panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    controls.panel->setGeometry(rect.x, rect.y, rect.width, rect.height);
    SetFontColour(controls.panel, Colour::BtnText);
    CreateControls(controls, controls.panel);

    for (const layout::ColumnLayout& place : layout::kColumns) {
        QWidget* widget = controls.widget(place.column);
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

    const layout::LabelColours& label = layout::kGroupLabelColours.at(row - 1);
    controls.Gr->setText(Utf8(GroupName.at(row - 1)));
    controls.Gr->setAlignment(Qt::AlignCenter);
    controls.Gr->setFont(WindowFont(layout::kGroupLabelFontHeight));
    SetBackground(controls.Gr, label.background);
    SetFontColour(controls.Gr, label.text);
    // The group's name takes no input: it keeps its colours while the row is disabled
    // (after a failed load), where grey would vanish on the white and pink labels.
    QPalette palette = controls.Gr->palette();
    palette.setColor(QPalette::Disabled, QPalette::WindowText,
                     palette.color(QPalette::Active, QPalette::WindowText));
    controls.Gr->setPalette(palette);
    return controls;
}

}  // namespace jnx
