// machine_server <folder> [--client-fd N] [--real-time SPEED] [--die-with-parent]: serves the
// machine of that folder.
// The built programs (Installer, Ulvane) are known to it from the build.
#include <cstdlib>
#include <cstring>
#include <string>

#include <csignal>

#include <sys/prctl.h>
#include <unistd.h>

#include "machine/machine.h"
#include "machine/server/server.h"

int main(int argc, char** argv) {
    sim::server::Options options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--client-fd") == 0 && i + 1 < argc) {
            options.firstClientFd = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--die-with-parent") == 0) {
            // A server a test started goes with the test, even one that crashed.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() == 1) return 1;
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
#ifdef MODEM_BUILT_PROGRAMS
    // "Image.exe=/host/path|..." as the build gives it.
    std::string list = MODEM_BUILT_PROGRAMS;
    for (std::size_t pos = 0; pos < list.size();) {
        std::size_t end = list.find('|', pos);
        if (end == std::string::npos) end = list.size();
        std::string item = list.substr(pos, end - pos);
        std::size_t eq = item.find('=');
        if (eq != std::string::npos)
            options.programs.emplace_back(sim::FromUtf8(item.substr(0, eq)),
                                          sim::FromUtf8(item.substr(eq + 1)));
        pos = end + 1;
    }
#endif
    if (options.folder.empty()) {
        const char* usage =
            "usage: machine_server <folder> [--client-fd N] [--real-time SPEED] "
            "[--die-with-parent]\n";
        (void)!write(2, usage, std::strlen(usage));
        return 1;
    }
    return sim::server::Serve(options);
}
