#include "command.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <exception>
#include <string>

#include "cp932_text.h"
#include "errors.h"

namespace jnx {

namespace {

// The error box. Ctrl+C copies it as text, caption, message and button between rules,
// as the users' desktop does, so that a path in a message can be pasted elsewhere.
class ErrorBox : public QMessageBox {
public:
    ErrorBox(const QString& caption, const QString& text, QWidget* parent)
        : QMessageBox(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent) {
        // A message quotes values from the file: "<b>" or "&amp;" there is text, not markup.
        setTextFormat(Qt::PlainText);
        setDefaultButton(QMessageBox::Ok);
        setWindowModality(Qt::ApplicationModal);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Copy)) {
            const QString rule = QStringLiteral("---------------------------\n");
            QGuiApplication::clipboard()->setText(rule + windowTitle() + u'\n' + rule + text() +
                                                  u'\n' + rule + QStringLiteral("OK   \n") + rule);
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
};

}  // namespace

QString ErrorText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > 0x2E) {
        text += '.';
    }
    return DecodeCp932(text);
}

QString ErrorCaption(const QString& executablePath) {
    // The file name up to its first ".".
    const QString name = QFileInfo(executablePath).fileName().section(QLatin1Char('.'), 0, 0);
    return name.left(1) + name.mid(1).toLower();
}

void ShowError(QWidget* window, std::string_view message) {
    const QString caption = ErrorCaption(QCoreApplication::applicationFilePath());
    const QString text = ErrorText(message);
    ErrorBox box(caption, text, window);
    box.exec();
}

void RunCommand(QWidget* window, const std::function<void()>& command) {
    try {
        command();
    } catch (const Error& error) {
        ShowError(window, error.message());
    } catch (const std::exception& error) {
        ShowError(window, error.what());
    }
}

}  // namespace jnx
