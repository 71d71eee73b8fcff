// A request's round trip to the machine server (a control client's ping, answered by the
// server's loop in its own process) against its floor: the same bytes echoed by a bare process
// over a Unix socket pair, measured in the same run.
#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "floor_ratio.h"
#include "machine/control/server_client.h"

namespace {

constexpr std::size_t kRequest = 12;  // a ping: the header alone
constexpr std::size_t kAnswer = 16;   // its answer: the header and a status

bool ReadExactly(int fd, char* buf, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = recv(fd, buf + done, n - done, 0);
        if (r <= 0) return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

void BM_SocketPingPong(benchmark::State& state) {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) {
        state.SkipWithError("socketpair");
        return;
    }
    pid_t child = fork();
    if (child == 0) {
        close(pair[0]);
        char buf[kAnswer] = {};
        while (ReadExactly(pair[1], buf, kRequest))
            if (send(pair[1], buf, kAnswer, MSG_NOSIGNAL) != static_cast<ssize_t>(kAnswer)) break;
        _exit(0);
    }
    close(pair[1]);
    char request[kRequest] = {8}, answer[kAnswer];
    for (auto _ : state) {
        send(pair[0], request, kRequest, MSG_NOSIGNAL);
        ReadExactly(pair[0], answer, kAnswer);
    }
    close(pair[0]);
    waitpid(child, nullptr, 0);
}
BENCHMARK(BM_SocketPingPong);

void BM_ServerRoundTrip(benchmark::State& state) {
    char folder[] = "/tmp/machine-server-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        state.SkipWithError("mkdtemp");
        return;
    }
    {
        auto server =
            sim::control::ServerClient::StartServer(MODEM_SERVER_PATH, std::string(folder) + "/m");
        if (!server) {
            state.SkipWithError("no server");
            return;
        }
        for (auto _ : state) benchmark::DoNotOptimize(server->Ping());
    }
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
}
BENCHMARK(BM_ServerRoundTrip);

}  // namespace

int main(int argc, char** argv) {
    return bench::RunWithFloorRatios(argc, argv, [](const std::string&) {
        return std::string("BM_SocketPingPong");
    });
}
