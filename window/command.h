#pragma once

#include <QString>
#include <functional>
#include <string_view>

class QWidget;

namespace jnx {

// Runs one command of the window. An error it throws ends the command where it arose
// (nothing is undone) and is shown in the error box; nothing else catches errors.
void RunCommand(QWidget* window, const std::function<void()>& command);

// The error box: error icon, one OK button, application-modal. The text is the message
// (code page 932) with one "." appended unless it is empty or ends in a byte of value
// 2E or below; the caption is the program's name.
void ShowError(QWidget* window, std::string_view message);

// The box's text and caption, as ShowError shows them.
QString ErrorText(std::string_view message);
QString ErrorCaption(const QString& executablePath);

}  // namespace jnx
