#pragma once

#include <filesystem>
#include <string>

namespace qm::test {

// A PostgreSQL server of its own for one test: a cluster made with initdb in a temporary folder,
// listening only on a Unix socket in that folder, stopped and removed when the object goes. Run
// as root, the server's programs run as the user "postgres" (initdb refuses root) and the folder
// is given to that user. Available() is false, with Why() saying so, when the server's programs
// are not installed or the cluster cannot be made.
class PgServer {
public:
    // `durable`: the server syncs its writes as a server in use does; else, for speed, not.
    explicit PgServer(bool durable = false);
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    bool Available() const { return running_; }
    const std::string& Why() const { return why_; }
    // A URL of the cluster's database "postgres" as its superuser, over the socket.
    std::string Url(const std::string& database = "postgres") const;
    bool Stop();
    bool Start();

private:
    bool Run(const std::string& command) const;
    std::filesystem::path folder_;
    std::string prefix_;  // runs a program as the cluster's owner
    std::string why_;
    bool running_ = false;
    bool durable_ = false;
};

}  // namespace qm::test
