#include "window_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "settings_file.h"
#include "tables.h"

namespace jnx::test {

SettingsModel DistinctModel() {
    SettingsModel model;
    for (std::size_t g = 0; g < kGroupCount; ++g) {
        GroupSettings& group = model.group(g);
        const std::string n = std::to_string(g);
        group.active = g % 3 == 0;
        group.fields = {std::string(BetTypeCode[g % BetTypeCode.size()].name),
                        std::to_string(g % 5 + 1),
                        std::string(CourseCode[g % CourseCode.size()]),
                        std::to_string(g + 1),
                        "S" + n,
                        "T" + n,
                        "B" + n,
                        "O" + n,
                        "L" + n,
                        "K" + n,
                        "M" + n,
                        std::to_string(g * 10 + 1),
                        "P" + n};
    }
    model.betAutoReadFolder = "C:\\Auto\\";
    model.patFolder = "C:\\Pat\\";
    model.pauseText = "False";
    return model;
}

Editor::Editor(const std::string& bytes) {
    WriteBytes(path, bytes);
    window = std::make_unique<TQvEnv>([this] { return path; });
}

std::unique_ptr<Editor> Editor::OnDistinctModel() {
    auto editor = std::make_unique<Editor>("");
    WriteIni(DistinctModel(), editor->path);
    editor->window->FormCreate();
    return editor;
}

SettingsModel Editor::readBack() const {
    SettingsModel model;
    ReadIni(model, path);
    return model;
}

std::string Sample() {
    return ReadBytes(SampleSettingsPath());
}

std::unique_ptr<TQvEnv> WindowOn(const SettingsModel& model) {
    auto window = std::make_unique<TQvEnv>();
    window->model() = model;
    window->pages().start();
    return window;
}

QString ShownText(const QWidget* control) {
    if (const auto* edit = qobject_cast<const QLineEdit*>(control)) {
        return edit->text();
    }
    if (const auto* list = qobject_cast<const QComboBox*>(control)) {
        return list->currentText();
    }
    if (const auto* check = qobject_cast<const QCheckBox*>(control)) {
        return check->isChecked() ? QStringLiteral("checked") : QStringLiteral("unchecked");
    }
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return label->text();
    }
    return {};  // spin buttons show nothing of their own
}

void TypeText(QWidget* widget, const QString& text) {
    for (const char32_t c : text.toUcs4()) {
        const QString character = QString::fromUcs4(&c, 1);
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, character, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, character, Qt::NoModifier);
    }
}

void TypeInto(QWidget* edit, const QString& text) {
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    TypeText(edit, text);
}

std::vector<ShownBox> AnswerBoxes(const std::function<void()>& action) {
    std::vector<ShownBox> boxes;
    // A box runs its own event loop; the timer fires inside it.
    QTimer answer;
    answer.setInterval(0);
    QObject::connect(&answer, &QTimer::timeout, [&boxes] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        boxes.push_back({box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                         box->windowModality(), box->textFormat()});
        if (QPushButton* button = box->defaultButton()) {
            button->click();
        } else {
            box->reject();
        }
    });
    answer.start();
    action();
    return boxes;
}

void ClickPage(QWidget& window, int page) {
    auto* button = Control<QPushButton>(window, QStringLiteral("page%1").arg(page));
    if (button == nullptr) {
        return;
    }
    const std::vector<ShownBox> boxes = AnswerBoxes([button] { button->click(); });
    if (!boxes.empty()) {
        QTest::qFail(qPrintable(QStringLiteral("the page button showed ") + boxes[0].text),
                     __FILE__, __LINE__);
    }
}

QString Captions(TQvEnv& window) {
    QString captions;
    for (int r = 1; r <= layout::kRowCount; ++r) {
        captions += window.row(r).label()->text();
    }
    return captions;
}

}  // namespace jnx::test
