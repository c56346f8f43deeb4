#include "sim/LoggerStore.h"

#include <algorithm>
#include <stdexcept>

namespace qm::sim {

namespace {

void CheckEntry(const std::string& text, const char* what) {
    if (text.size() > kMaxEntryLength) {
        throw std::invalid_argument(std::string(what) + " longer than one reply holds: " + text);
    }
    if (text.find('\0') != std::string::npos) {
        throw std::invalid_argument(std::string(what) + " holds a 0 byte");
    }
}

}  // namespace

std::size_t FileContent::ValueRunEnd(std::size_t from) const {
    std::size_t i = from;
    while (i < lines.size() && valueLine[i]) ++i;
    return i;
}

std::vector<StoredValue> FileContent::ValuesFrom(std::size_t from) const {
    std::vector<StoredValue> values;
    for (std::size_t i = from; i < ValueRunEnd(from); ++i) {
        auto parsed = ParseValueLine(lines[i]);
        values.insert(values.end(), parsed->begin(), parsed->end());
    }
    return values;
}

FileContent MakeContent(std::vector<std::string> lines) {
    for (const auto& line : lines) CheckEntry(line, "Line");
    FileContent content;
    content.valueLine.resize(lines.size(), false);
    // A line of value fields counts as values only after a header line or another value line;
    // elsewhere it is plain text.
    bool inValues = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool values = inValues && ParseValueLine(lines[i]).has_value();
        content.valueLine[i] = values;
        inValues = values || IsHeaderLine(lines[i]);
    }
    content.lines = std::move(lines);
    return content;
}

LoggerStore::Directory* LoggerStore::Find(const std::string& name) {
    auto it = std::find_if(directories_.begin(), directories_.end(),
                           [&](const Directory& d) { return d.name == name; });
    return it == directories_.end() ? nullptr : &*it;
}

const LoggerStore::Directory* LoggerStore::Find(const std::string& name) const {
    return const_cast<LoggerStore*>(this)->Find(name);
}

void LoggerStore::AddDirectory(const std::string& name) {
    CheckEntry(name, "Directory name");
    if (name.empty()) throw std::invalid_argument("Empty directory name");
    if (!Find(name)) directories_.push_back({name, {}});
}

LoggerStore::File& LoggerStore::FileSlot(const std::string& directory, const std::string& file) {
    CheckEntry(file, "File name");
    if (file.empty()) throw std::invalid_argument("Empty file name");
    AddDirectory(directory);
    Directory* dir = Find(directory);
    auto it = std::find_if(dir->files.begin(), dir->files.end(),
                           [&](const File& f) { return f.name == file; });
    if (it != dir->files.end()) return *it;
    dir->files.push_back({file, nullptr, nullptr});
    return dir->files.back();
}

void LoggerStore::AddFile(const std::string& directory, const std::string& file, Lines lines) {
    auto content = std::make_shared<const FileContent>(MakeContent(std::move(lines)));
    File& slot = FileSlot(directory, file);
    slot.content = std::move(content);
    slot.generate = nullptr;
}

void LoggerStore::AddFile(const std::string& directory, const std::string& file,
                          Generator generate) {
    File& slot = FileSlot(directory, file);
    slot.content = nullptr;
    slot.generate = std::move(generate);
}

void LoggerStore::AddMeasurement(const std::string& directory, const std::string& file,
                                 const std::string& header, std::span<const StoredValue> values) {
    Lines lines;
    if (auto existing = Content(directory, file)) lines = existing->lines;
    lines.push_back(header);
    for (auto& line : FormatValueLines(values)) lines.push_back(std::move(line));
    AddFile(directory, file, std::move(lines));
}

bool LoggerStore::RemoveDirectory(const std::string& name) {
    auto it = std::find_if(directories_.begin(), directories_.end(),
                           [&](const Directory& d) { return d.name == name; });
    if (it == directories_.end()) return false;
    directories_.erase(it);
    return true;
}

void LoggerStore::Clear() {
    directories_.clear();
}

bool LoggerStore::HasDirectory(const std::string& name) const {
    return Find(name) != nullptr;
}

std::vector<std::string> LoggerStore::DirectoryNames() const {
    std::vector<std::string> names;
    for (const auto& d : directories_) names.push_back(d.name);
    return names;
}

std::vector<std::string> LoggerStore::FileNames(const std::string& directory) const {
    std::vector<std::string> names;
    if (const Directory* dir = Find(directory)) {
        for (const auto& f : dir->files) names.push_back(f.name);
    }
    return names;
}

std::shared_ptr<const FileContent> LoggerStore::Content(const std::string& directory,
                                                        const std::string& file) {
    Directory* dir = Find(directory);
    if (!dir) return nullptr;
    for (auto& f : dir->files) {
        if (f.name != file) continue;
        if (!f.content && f.generate) {
            f.content = std::make_shared<const FileContent>(MakeContent(f.generate()));
            f.generate = nullptr;
        }
        return f.content;
    }
    return nullptr;
}

std::size_t LoggerStore::MaterialisedFiles() const {
    std::size_t n = 0;
    for (const auto& d : directories_) {
        for (const auto& f : d.files) n += f.content ? 1 : 0;
    }
    return n;
}

}  // namespace qm::sim
