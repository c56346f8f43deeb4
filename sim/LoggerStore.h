#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "sim/ValueLines.h"

namespace qm::sim {

// The longest name or line that fits one reply: a 64-byte frame holds the length, the status,
// the text and its 0 terminator.
inline constexpr std::size_t kMaxEntryLength = 61;

// The text of one file on the logger, with each line marked as a value line (one that belongs to
// the values of the measurement header before it) or not.
struct FileContent {
    std::vector<std::string> lines;
    std::vector<bool> valueLine;

    // Index of the first line at or after `from` that is not a value line.
    std::size_t ValueRunEnd(std::size_t from) const;
    // The values of the value lines from `from` up to ValueRunEnd(from).
    std::vector<StoredValue> ValuesFrom(std::size_t from) const;
};

// The logger's file store: directories, each holding files of text lines, kept as the program
// will write them locally (measurement header lines followed by value lines of five fields).
// Names and lines are Windows-1251 bytes. A file may be given as a generator that runs the first
// time the file is opened, so a large store costs nothing until it is read.
class LoggerStore {
public:
    using Lines = std::vector<std::string>;
    using Generator = std::function<Lines()>;

    // Adds an empty directory at the end of the root listing; nothing if it exists.
    void AddDirectory(const std::string& name);
    // Adds (or replaces) a file; the directory is made when missing. Names and lines longer than
    // kMaxEntryLength, or holding a 0 byte, are refused with std::invalid_argument.
    void AddFile(const std::string& directory, const std::string& file, Lines lines);
    void AddFile(const std::string& directory, const std::string& file, Generator generate);
    // Appends a measurement (its header line and value lines) to a file, made when missing.
    void AddMeasurement(const std::string& directory, const std::string& file,
                        const std::string& header, std::span<const StoredValue> values);
    bool RemoveDirectory(const std::string& name);
    void Clear();

    bool HasDirectory(const std::string& name) const;
    std::vector<std::string> DirectoryNames() const;
    // The file names of a directory in their order; empty when it does not exist.
    std::vector<std::string> FileNames(const std::string& directory) const;
    // A file's content (generated on first use), or null when there is no such file.
    std::shared_ptr<const FileContent> Content(const std::string& directory,
                                               const std::string& file);
    // Files whose generator has run (or that were given as lines).
    std::size_t MaterialisedFiles() const;

private:
    struct File {
        std::string name;
        std::shared_ptr<const FileContent> content;
        Generator generate;
    };
    struct Directory {
        std::string name;
        std::vector<File> files;
    };
    Directory* Find(const std::string& name);
    const Directory* Find(const std::string& name) const;
    File& FileSlot(const std::string& directory, const std::string& file);

    std::vector<Directory> directories_;
};

// Marks the value lines of a file's text.
FileContent MakeContent(std::vector<std::string> lines);

}  // namespace qm::sim
