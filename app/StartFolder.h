#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <filesystem>
#include <functional>

#include "text/Language.h"

namespace qm {

// Where the program keeps its DATA folder and looks for Device.txt.
struct StartFolder {
    std::filesystem::path path;
    bool inDocuments = false;  // the working directory could not hold the data
};

// Whether `folder` has, or can have, a DATA folder that files can be written in. Leaves nothing
// behind in it.
bool CanHoldData(const std::filesystem::path& folder);

// The system's own root ("/"), where a desktop menu starts a program; a drive's root ("E:\") is
// not one.
bool IsSystemRoot(const std::filesystem::path& folder);

// The working directory, as the program has always used it, unless it cannot hold a DATA folder
// or is the system's root: then "QM Controller" in the user's documents folder (made when
// missing). A program started from a desktop menu runs in "/", whose DATA would be the system's
// even where it can be written. The root of a writable drive (a USB stick, "E:\") keeps its
// DATA and Device.txt. When the documents folder cannot be used either, the working directory
// stays, and the copies report what fails there. `canHoldData` decides for both folders.
StartFolder ChooseStartFolder(
    const std::filesystem::path& workingDirectory, const std::filesystem::path& documents,
    const std::function<bool(const std::filesystem::path&)>& canHoldData = CanHoldData);

// A status line on the main window that names the data folder when it is not the working
// directory, in the window's language.
class DataFolderNote {
public:
    DataFolderNote(QMainWindow& window, const StartFolder& folder,
                   const std::filesystem::path& workingDirectory);
    void Follow(Language language);

private:
    QPointer<QLabel> label_;
    std::string folder_;
    std::string workingDirectory_;
};

}  // namespace qm
