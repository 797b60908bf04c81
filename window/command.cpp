#include "command.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <exception>
#include <string>
#include <utility>

#include "cp932_text.h"
#include "errors.h"

namespace jnx {

namespace {

std::function<void(const QString&, const QString&)>& ErrorSink() {
    static std::function<void(const QString&, const QString&)> sink;
    return sink;
}

}  // namespace

QString ErrorText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > 0x2E) {
        text += '.';
    }
    return DecodeCp932(text);
}

QString ErrorCaption(const QString& executablePath) {
    QString name = QFileInfo(executablePath).fileName();
    name.truncate(name.indexOf(QLatin1Char('.')) < 0 ? name.size() : name.indexOf('.'));
    return name.left(1) + name.mid(1).toLower();
}

void ShowError(QWidget* window, std::string_view message) {
    const QString caption = ErrorCaption(QCoreApplication::applicationFilePath());
    const QString text = ErrorText(message);
    if (ErrorSink()) {
        ErrorSink()(caption, text);
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, window);
    box.setWindowModality(Qt::ApplicationModal);
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

void SetErrorSinkForTesting(std::function<void(const QString& caption, const QString& text)> sink) {
    ErrorSink() = std::move(sink);
}

}  // namespace jnx
