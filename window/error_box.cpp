#include "error_box.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <exception>
#include <string>

#include "controls/cp932_text.h"
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

// The shown text of a message with the box's full stop: a message ending in a Japanese
// character always gets one, one ending in a control character, a blank or punctuation up
// to "." never.
QString WithFullStop(QString text, std::string_view message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > 0x2E) {
        text += u'.';
    }
    return text;
}

}  // namespace

QString ErrorText(std::string_view message) {
    return WithFullStop(DecodeCp932(message), message);
}

QString ErrorText(const Error& error) {
    const std::string_view message = error.message();
    const std::string& path = error.path();
    const std::size_t at = error.pathOffset();
    if (path.empty() || at > message.size() || message.substr(at, path.size()) != path) {
        return ErrorText(message);
    }
    // The path's bytes are the file system's (UTF-8 on Linux, the ANSI code page on
    // Windows), not code page 932 text; a name they cannot hold is shown as the file's own.
    const QString shownPath = error.widePath().empty()
                                  ? QFile::decodeName(QByteArray::fromStdString(path))
                                  : QString::fromStdU16String(error.widePath());
    const QString text = DecodeCp932(message.substr(0, at)) + shownPath +
                         DecodeCp932(message.substr(at + path.size()));
    return WithFullStop(text, message);
}

QString ErrorCaption(const QString& executablePath) {
    // The file name up to its first ".".
    const QString name = QFileInfo(executablePath).fileName().section(QLatin1Char('.'), 0, 0);
    return name.left(1) + name.mid(1).toLower();
}

void ShowError(QWidget* window, const QString& text) {
    const QString caption = ErrorCaption(QCoreApplication::applicationFilePath());
    ErrorBox box(caption, text, window);
    box.exec();
}

void RunCommand(QWidget* window, const std::function<void()>& command) {
    try {
        command();
    } catch (const Error& error) {
        ShowError(window, ErrorText(error));
    } catch (const std::exception& error) {
        ShowError(window, ErrorText(error.what()));
    }
}

}  // namespace jnx
