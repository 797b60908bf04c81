#include "command.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <exception>
#include <string>

#include "cp932_text.h"
#include "errors.h"

namespace jnx {

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
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, window);
    box.setDefaultButton(QMessageBox::Ok);
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

}  // namespace jnx
