// machine_server <folder> [--client-fd N] [--real-time SPEED]: serves the machine of that folder.
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

#include "machine/server/server.h"

int main(int argc, char** argv) {
    sim::server::Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--client-fd") == 0 && i + 1 < argc) {
            options.firstClientFd = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--real-time") == 0 && i + 1 < argc) {
            options.mode = sim::ClockMode::Real;
            options.speed = std::atof(argv[++i]);
        } else if (options.folder.empty()) {
            options.folder = argv[i];
        } else {
            options.folder.clear();
            break;
        }
    }
    if (options.folder.empty()) {
        const char* usage = "usage: machine_server <folder> [--client-fd N] [--real-time SPEED]\n";
        (void)!write(2, usage, std::strlen(usage));
        return 1;
    }
    return sim::server::Serve(options);
}
