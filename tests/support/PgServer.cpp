#include "tests/support/PgServer.h"

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

namespace qm::test {

namespace {

const std::filesystem::path kBin = "/usr/lib/postgresql/15/bin";

std::string Quoted(const std::string& text) {
    std::string q = "'";
    for (const char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

}  // namespace

PgServer::PgServer(bool durable) : durable_(durable) {
    if (!std::filesystem::exists(kBin / "initdb") || !std::filesystem::exists(kBin / "pg_ctl")) {
        why_ = "PostgreSQL 15 is not installed (" + (kBin / "initdb").string() + ")";
        return;
    }
    std::string pattern = (std::filesystem::temp_directory_path() / "qmc-pg-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        why_ = "no temporary folder";
        return;
    }
    folder_ = pattern;
    if (geteuid() == 0) {
        prefix_ = "runuser -u postgres -- ";
        if (!Run("chown postgres " + Quoted(folder_.string()))) {
            why_ = "the folder cannot be given to the user postgres";
            return;
        }
    }
    const std::string data = Quoted((folder_ / "data").string());
    if (!Run(prefix_ + Quoted((kBin / "initdb").string()) + " -D " + data +
             " -A trust -U postgres -E UTF8 --no-sync > " +
             Quoted((folder_ / "initdb.log").string()) + " 2>&1")) {
        why_ = "initdb failed, see " + (folder_ / "initdb.log").string();
        return;
    }
    if (!Start()) why_ = "the server did not start, see " + (folder_ / "server.log").string();
}

PgServer::~PgServer() {
    Stop();
    if (!folder_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
}

bool PgServer::Run(const std::string& command) const {
    return std::system(command.c_str()) == 0;
}

bool PgServer::Start() {
    const std::string options =
        "-c listen_addresses='' -c fsync=off -c unix_socket_directories=" + folder_.string();
    running_ = Run(prefix_ + Quoted((kBin / "pg_ctl").string()) + " -D " +
                   Quoted((folder_ / "data").string()) + " -o " + Quoted(options) + " -l " +
                   Quoted((folder_ / "server.log").string()) + " -w -s start");
    return running_;
}

bool PgServer::Stop() {
    if (!running_) return true;
    running_ = !Run(prefix_ + Quoted((kBin / "pg_ctl").string()) + " -D " +
                    Quoted((folder_ / "data").string()) + " -m fast -w -s stop");
    return !running_;
}

std::string PgServer::Url(const std::string& database) const {
    return "postgresql:///" + database + "?host=" + folder_.string() + "&user=postgres";
}

}  // namespace qm::test
