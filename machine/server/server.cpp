#include "machine/server/server.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "machine/server/core.h"

extern char** environ;

namespace sim::server {

namespace {

// Starts host processes with posix_spawn and watches each through a process file descriptor.
class HostSpawner : public Spawner {
public:
    int Spawn(const SpawnSpec& spec) override {
        std::vector<std::string> args = {spec.executable};
        args.insert(args.end(), spec.args.begin(), spec.args.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env = spec.env;
        for (char** e = environ; *e != nullptr; ++e) {
            std::string item = *e;
            std::string name = item.substr(0, item.find('='));
            bool replaced = false;
            for (const auto& added : spec.env)
                if (added.compare(0, name.size() + 1, name + "=") == 0) replaced = true;
            if (!replaced) env.push_back(item);
        }
        std::vector<char*> envp;
        for (auto& e : env) envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (!spec.stdoutPath.empty())
            posix_spawn_file_actions_addopen(&actions, 1, spec.stdoutPath.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = -1;
        int rc = posix_spawn(&pid, spec.executable.c_str(), &actions, nullptr, argv.data(),
                             envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0) return -1;
        int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
        if (fd >= 0) watched[fd] = pid;
        return pid;
    }
    void Kill(int hostPid) override {
        for (auto& [fd, pid] : watched)
            if (pid == hostPid) kill(pid, SIGKILL);
    }
    std::map<int, pid_t> watched;  // process fd -> host pid
};

int Listen(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        close(fd);
        return -1;
    }
    std::strcpy(addr.sun_path, path.c_str());
    unlink(path.c_str());
    mode_t old = umask(0177);
    int rc = bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    umask(old);
    if (rc != 0 || chmod(path.c_str(), 0600) != 0 || listen(fd, 16) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

int Serve(const Options& options) {
    std::signal(SIGPIPE, SIG_IGN);
    mkdir(options.folder.c_str(), 0700);
    struct stat st {};
    // The folder must be the user's own; only the user may enter it.
    if (stat(options.folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
        chmod(options.folder.c_str(), 0700) != 0)
        return 1;
    // One server per folder: the lock is held for the server's life.
    int lock = open((options.folder + "/server.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0) return 1;
    if (flock(lock, LOCK_EX | LOCK_NB) != 0) return 2;
    std::string socketPath = options.folder + "/server.sock";
    int listener = Listen(socketPath);
    if (listener < 0) return 1;

    HostSpawner spawner;
    Core core(options.folder, spawner, options.mode, options.speed);
    for (const auto& [image, host] : options.programs) core.RegisterProgram(image, host);
    std::map<int, ClientId> sockets;  // fd -> client
    if (options.firstClientFd >= 0) {
        fcntl(options.firstClientFd, F_SETFD, FD_CLOEXEC);
        sockets[options.firstClientFd] = core.Connect();
    }
    std::map<int, std::string> backlog;  // fd -> bytes not yet taken by the client
    auto drop = [&](int fd) {
        core.Disconnect(sockets.at(fd));
        sockets.erase(fd);
        backlog.erase(fd);
        close(fd);
    };
    auto collect = [&] {
        std::map<ClientId, int> fdOf;
        for (auto& [fd, id] : sockets) fdOf[id] = fd;
        for (ClientId id : core.ClientsWithOutput()) backlog[fdOf.at(id)] += core.TakeOutput(id);
    };
    while (!core.Finished() && !core.StopAsked()) {
        collect();
        std::vector<pollfd> fds;
        fds.push_back({listener, POLLIN, 0});
        for (auto& [fd, id] : sockets) {
            auto b = backlog.find(fd);
            bool out = b != backlog.end() && !b->second.empty();
            fds.push_back({fd, static_cast<short>(POLLIN | (out ? POLLOUT : 0)), 0});
        }
        for (auto& [fd, pid] : spawner.watched) fds.push_back({fd, POLLIN, 0});
        int rc = poll(fds.data(), fds.size(), core.MillisecondsToNextDeadline());
        if (rc < 0 && errno != EINTR) break;
        core.Tick();
        if (fds[0].revents & POLLIN) {
            int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) sockets[fd] = core.Connect();
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            int fd = fds[i].fd;
            if (auto w = spawner.watched.find(fd); w != spawner.watched.end()) {
                if (!(fds[i].revents & POLLIN)) continue;
                int status = 0;
                pid_t pid = w->second;
                waitpid(pid, &status, 0);
                spawner.watched.erase(w);
                close(fd);
                core.HostProcessEnded(pid, WIFEXITED(status) ? WEXITSTATUS(status) : 1);
                continue;
            }
            if (!sockets.count(fd)) continue;
            if (fds[i].revents & POLLOUT) {
                std::string& out = backlog[fd];
                ssize_t n = send(fd, out.data(), out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n > 0) out.erase(0, static_cast<std::size_t>(n));
            }
            if (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) {
                char buf[65536];
                ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
                if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
                // A client the core has let go (its process was terminated) is dropped too.
                if (n <= 0 || !core.Receive(sockets[fd], buf, static_cast<std::size_t>(n)))
                    drop(fd);
            }
        }
    }
    // The last answers (the stop's) go out before the server goes.
    collect();
    for (auto& [fd, out] : backlog) wire::SendAll(fd, out);
    // A stop ends the programs the server started.
    for (int pid : core.LiveHostProcesses()) kill(pid, SIGKILL);
    for (auto& [fd, pid] : spawner.watched) waitpid(pid, nullptr, 0);
    for (auto& [fd, id] : sockets) close(fd);
    unlink(socketPath.c_str());
    close(listener);
    return 0;
}

}  // namespace sim::server
