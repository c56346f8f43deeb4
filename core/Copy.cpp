// Copies of a directory's files into the local data folder: full, "Новые" and one day.
#include "core/Controller.h"

namespace qm {

void Controller::FileListingEntry(const std::string& nameBytes) {
    s_.copy.FileNameTable.push_back(nameBytes);
}
void Controller::FileListingEnded() {}
void Controller::LineReply() {}
void Controller::DayFoundReply() {}
void Controller::ValuesReply() {}
void Controller::Timer2Timer() { m_.Timer2.Stop(); }
void Controller::CloseLocalFiles() {}

}  // namespace qm
