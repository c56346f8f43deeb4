#pragma once

// What the end-to-end tests of qm-controller runs share: the program started with no display,
// its exit status, JSON and messages read, and the files a copy must hold compared with the
// virtual logger's own.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "protocol/Cp1251.h"
#include "sim/VirtualLogger.h"
#include "store/CollectionLog.h"
#include "store/LocalFiles.h"

namespace qm::test {

// The PC clock as the simulator reads it.
inline DateTime LocalNow() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return DateTime::FromCivil({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                local.tm_hour, local.tm_min, std::min(local.tm_sec, 59), 0})
        .value_or(DateTime{});
}

struct ProgramResult {
    int status = -1;
    QJsonObject json;
    QString errors;  // standard error
};

// Starts the program in `workingDirectory` with no display of any kind; with `home` set, that
// is its home folder and no documents or configuration folder is named for it.
inline void StartProgram(QProcess& p, const QString& workingDirectory, const QStringList& args,
                         const QString& home = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    if (!home.isEmpty()) {
        env.insert("HOME", home);
        env.remove("XDG_DOCUMENTS_DIR");
        env.remove("XDG_CONFIG_HOME");
    }
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(workingDirectory);
    p.start(QStringLiteral(QMC_CONTROLLER), args);
}

// Waits for the run to end (killed and failed after `limitMs`); what it printed must be JSON.
inline ProgramResult FinishProgram(QProcess& p, int limitMs) {
    ProgramResult r;
    if (!p.waitForFinished(limitMs)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "the run did not end";
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.errors = QString::fromUtf8(p.readAllStandardError());
    const QByteArray out = p.readAllStandardOutput();
    r.json = QJsonDocument::fromJson(out).object();
    if (!out.isEmpty() && r.json.isEmpty()) ADD_FAILURE() << "not JSON: " << out.toStdString();
    return r;
}

// The small store's files of a directory as a copy must hold them, by local name.
inline std::map<std::string, std::string> SmallStoreFiles(const std::string& dirUtf8) {
    sim::LoggerConfig config;
    config.demoShape = sim::DemoStoreShape::Small();
    sim::VirtualLogger logger(config, LocalNow);
    const std::string dir = Utf8ToCp1251(dirUtf8);
    std::map<std::string, std::string> files;
    for (const std::string& name : logger.Store().FileNames(dir)) {
        std::string text;
        for (const std::string& l : logger.Store().Content(dir, name)->lines) text += l + "\r\n";
        files[PathText(LocalName(name))] = text;
    }
    return files;
}

// The copied files of a data-set folder by name: not the collection log, which records the
// downloads, nor the resume record.
inline std::map<std::string, std::string> CopiedFiles(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    if (!std::filesystem::exists(folder)) return files;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        const auto name = e.path().filename();
        if (!e.is_regular_file() || name == kCollectionLogName || name == "Temp.bin") continue;
        std::ifstream in(e.path(), std::ios::binary);
        files[PathText(name)] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

}  // namespace qm::test
