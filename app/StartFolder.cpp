#include "app/StartFolder.h"

#include <QStatusBar>
#include <fstream>
#include <string>
#include <system_error>

#include "store/LocalFiles.h"
#include "text/Messages.h"

namespace qm {

namespace {

namespace fs = std::filesystem;

// Writes and removes a small file in `dir`: the only test that also holds for read-only mounts,
// for other users' folders and on Windows, where permission bits say little.
bool CanWriteIn(const fs::path& dir) {
    std::error_code ec;
    for (int i = 0; i < 100; ++i) {
        const fs::path probe = dir / (".qm-controller-probe-" + std::to_string(i));
        if (fs::exists(probe, ec) || ec) continue;  // never touch a file that is there already
        bool written = false;
        {
            std::ofstream out(probe, std::ios::binary);
            written = static_cast<bool>(out << 'x') && static_cast<bool>(out.flush());
        }
        fs::remove(probe, ec);
        return written;
    }
    return false;
}

}  // namespace

bool CanHoldData(const fs::path& folder) {
    std::error_code ec;
    if (folder.empty() || !fs::is_directory(folder, ec)) return false;
    const fs::path data = folder / "DATA";
    const fs::file_status status = fs::status(data, ec);
    if (fs::is_directory(status)) return CanWriteIn(data);
    if (fs::exists(status)) return false;  // a file named DATA is in the way
    return CanWriteIn(folder);
}

bool IsSystemRoot(const fs::path& folder) {
    return !folder.has_root_name() && folder.has_root_directory() && folder.relative_path().empty();
}

StartFolder ChooseStartFolder(const fs::path& workingDirectory, const fs::path& documents,
                              const std::function<bool(const fs::path&)>& canHoldData) {
    if (!IsSystemRoot(workingDirectory) && canHoldData(workingDirectory))
        return {workingDirectory, false};
    if (!documents.empty()) {
        const fs::path own = documents / "QM Controller";
        std::error_code ec;
        fs::create_directories(own, ec);
        if (canHoldData(own)) return {own, true};
    }
    return {workingDirectory, false};
}

DataFolderNote::DataFolderNote(QMainWindow& window, const StartFolder& folder,
                               const fs::path& workingDirectory)
    : folder_(PathText(folder.path)), workingDirectory_(PathText(workingDirectory)) {
    if (!folder.inDocuments) return;
    label_ = new QLabel(&window);
    label_->setObjectName("dataFolderNote");
    window.statusBar()->addWidget(label_, 1);
    window.statusBar()->setSizeGripEnabled(false);
    Follow(Language::Russian);
}

void DataFolderNote::Follow(Language language) {
    if (!label_) return;
    label_->setText(QString::fromStdString(Message(Msg::DataInDocuments, language, {folder_})));
    label_->setToolTip(QString::fromStdString(
        Message(Msg::DataInDocumentsWhy, language, {folder_, workingDirectory_})));
}

}  // namespace qm
