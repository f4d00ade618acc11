// tovanix-demo-seed: prepares the station folder and the database for the
// demonstration (scripts/run). Writes the private server's account into the
// credentials file, so the database login is skipped, and seeds the demo
// line unless --no-line.
//
//   tovanix-demo-seed --client-cnf DIR/client.cnf [--no-line]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/credentials.h"
#include "app/demo_station.h"
#include "db/account.h"

int main(int argc, char** argv) {
    std::string cnf;
    bool withLine = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--client-cnf") == 0 && i + 1 < argc) {
            cnf = argv[++i];
        } else if (std::strcmp(argv[i], "--no-line") == 0) {
            withLine = false;
        } else {
            std::fprintf(stderr, "usage: %s --client-cnf FILE [--no-line]\n", argv[0]);
            return 2;
        }
    }
    if (cnf.empty()) {
        std::fprintf(stderr, "usage: %s --client-cnf FILE [--no-line]\n", argv[0]);
        return 2;
    }
    tovanix::db::ServerAddress address;
    tovanix::db::Account account;
    if (!tovanix::db::readClientFile(cnf, address, account)) {
        std::fprintf(stderr, "demo: cannot read %s\n", cnf.c_str());
        return 1;
    }
    if (!address.socket.empty()) ::setenv(tovanix::db::kSocketEnv, address.socket.c_str(), 1);
    tovanix::db::setAccount(account);

    const std::string path = tovanix::credentials::pathInStationFolder();
    if (!tovanix::credentials::writeFile(path, account)) {
        std::fprintf(stderr, "demo: cannot write %s\n", path.c_str());
        return 1;
    }
    std::string error;
    if (!tovanix::app::demo::seed(withLine, &error)) {
        std::fprintf(stderr, "demo: seeding failed (%s)\n", error.c_str());
        return 1;
    }
    std::printf("demo: account written to %s%s\n", path.c_str(), withLine ? ", demo line ready" : "");
    return 0;
}
