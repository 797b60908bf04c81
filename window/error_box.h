#pragma once

#include <QString>
#include <functional>
#include <string_view>

class QWidget;

namespace jnx {

// Runs one command of the window. An error it throws ends the command where it arose
// (nothing is undone) and is shown in the error box; nothing else catches errors.
void RunCommand(QWidget* window, const std::function<void()>& command);

class Error;

// The error box: error icon, one OK button, application-modal, plain text. The text is the
// message (code page 932) with one "." appended unless it is empty or ends in a byte of
// value 2E or below; the caption is the program's name.
void ShowError(QWidget* window, const QString& text);

// The box's text and caption, as ShowError shows them. A file path that an error's
// message names shows as the system names files (on Linux its UTF-8 bytes; the error's
// wide path where it has one), the rest of the message as code page 932.
QString ErrorText(std::string_view message);
QString ErrorText(const Error& error);
QString ErrorCaption(const QString& executablePath);

}  // namespace jnx
