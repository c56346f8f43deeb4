#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <filesystem>

namespace qm {

// Where the program keeps its DATA folder and looks for Device.txt.
struct StartFolder {
    std::filesystem::path path;
    bool inDocuments = false;  // the working directory could not hold the data
};

// The working directory, as the program has always used it, unless it is a file system's root
// or cannot hold a DATA folder: then "QM Controller" in the user's documents folder (made when
// missing). A program started from a desktop menu usually runs in such a folder. When the
// documents folder cannot be used either, the working directory stays, and the copies report
// what fails there.
StartFolder ChooseStartFolder(const std::filesystem::path& workingDirectory,
                              const std::filesystem::path& documents);

// Whether `folder` has, or can have, a DATA folder that files can be written in. Leaves nothing
// behind in it.
bool CanHoldData(const std::filesystem::path& folder);

// A status line on the main window that names the data folder when it is not the working
// directory, in the window's language.
class DataFolderNote {
public:
    DataFolderNote(QMainWindow& window, const StartFolder& folder,
                   const std::filesystem::path& workingDirectory);
    void Follow(bool english);

private:
    QPointer<QLabel> label_;
    std::string folder_;
    std::string workingDirectory_;
};

}  // namespace qm
