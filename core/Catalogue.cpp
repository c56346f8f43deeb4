// The logger's data catalogue: the selected directory, whether "Новые" can resume it, and
// deleting a directory on the logger.
#include "store/Catalogue.h"
#include "core/Controller.h"
#include "protocol/CommandCode.h"
#include "protocol/Cp1251.h"
#include "ui/model/Captions.h"

namespace qm {

void Controller::RegisterCopyHandlers() {
    OnClick("bAllData", &Controller::bAllDataClick);
    OnClick("bNewData", &Controller::bNewDataClick);
    OnClick("bSelect", &Controller::bSelectClick);
    OnClick("bCancel", &Controller::bCancelClick);
    OnClick("bCopy", &Controller::bCopyClick);
    OnClick("bDelete", &Controller::bDeleteClick);
    OnChange("ComboBox1", &Controller::ComboBox1Change);
}

const std::string* Controller::SelectedDirectory() const {
    const int i = m_.ComboBox1.itemIndex;
    if (i < 0 || static_cast<std::size_t>(i) >= s_.copy.directoryNames.size()) return nullptr;
    return &s_.copy.directoryNames[static_cast<std::size_t>(i)];
}

void Controller::ComboBox1Change() {
    UpdateNewDataButton(m_, s_.DataFolder);
}

void Controller::bDeleteClick() {
    Run([&] {
        if (!SelectedDirectory()) return;
        if (ops_.Confirm(std::string(DeleteConfirmationText(IsEnglish()))))
            DeleteSelectedDirectory();
    });
}

void Controller::DeleteSelectedDirectory() {
    const std::string name = *SelectedDirectory();
    const auto count = BuildNameRequest(s_.PacketBuffer, CommandCode::DeleteDirectory, name);
    if (!count) {
        ops_.ShowError(Text(Msg::DirectoryTooLongNotDeleted, {Cp1251ToUtf8(name)}));
        return;
    }
    s_.DirectoryName = name;
    s_.CurrentCommand = CommandCode::DeleteDirectory;
    s_.SendCount = *count;
    SendPacket();
}

}  // namespace qm
