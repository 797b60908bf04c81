#pragma once

#include <QChar>
#include <QString>
#include <QStringList>

namespace jnx {

// Folder texts as the folder chooser and the window's folder boxes read, show and make
// them.

// The separator of folder texts: "\" on Windows, "/" elsewhere, where the settings file
// stores folders as the user sees them.
QChar FolderSeparator();

// Whether the character separates folders in a typed text: "\" or "/" on Windows, which
// takes both, "/" elsewhere.
bool IsFolderSeparator(QChar c);

// Everything up to and including the text's last separator (either kind on Windows);
// empty when it has none.
QString FolderPartOf(const QString& text);

// The folder a start text names: the text itself when it is a folder (a relative text
// taken against the current directory), else the current directory. On Windows a path
// without a drive letter, such as a network path, also opens at the current directory.
QString StartFolder(const QString& start);

// Whether the text names something that is there and is no folder, such as a file, with
// or without separators after it (a relative text taken against the current directory).
bool NamesNoFolder(const QString& text);

// The folders from the root down to `folder`, each as a full path.
QStringList FoldersDownTo(const QString& folder);

// A folder's name in the folder list: the root as its path, any other by its own name.
QString EntryName(const QString& path);

// Creates a chosen folder with the folders above it that are missing, as the folder
// chooser does on "OK": one trailing separator is dropped; a text too short to be more
// than a root (a drive "C:" on Windows, "/" elsewhere), a folder that exists, or a text
// that is its own folder part needs nothing; otherwise the folder part is made first and,
// only if that worked, the folder itself. Gives false when a folder could not be made.
// An empty text, which is also what the uppermost missing folder of a relative text
// leaves, throws FolderCreationError ("ディレクトリを作成できません") before anything is made.
bool CreateFolders(const QString& text);

}  // namespace jnx
