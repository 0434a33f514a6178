// A stand-in for the annotation program on the command channel, written from
// docs/copydata.md alone with plain POSIX sockets, so that tests check Kelvora
// against the documented channel rather than against its own code.
//
//   copydatapeer listen TITLE LOGFILE [--hang]   exit 0 on SIGTERM, 1 on failure
//   copydatapeer send TITLE TEXT                 exit 0 answered, 1 no listener, 2 no reply
//   copydatapeer probe TITLE                     exit 0 someone listens, 1 not

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr size_t headerSize = 20;
constexpr uint32_t maxText = 65536;
constexpr int replyTimeoutMs = 5000;
constexpr int recordTimeoutMs = 3000;

volatile sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

// The socket folder, created and checked; empty when refused.
std::string socketFolder()
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtime && *runtime ? std::string(runtime) + "/copydata"
                                                   : "/tmp/copydata-" + std::to_string(geteuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return {};
    struct stat info;
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid())
        return {};
    if ((info.st_mode & 07777) != 0700 && chmod(folder.c_str(), 0700) != 0)
        return {};
    return folder;
}

bool socketAddress(const std::string &title, sockaddr_un &address)
{
    const std::string folder = socketFolder();
    if (folder.empty() || title.empty() || title == "." || title == ".." ||
        title.find('/') != std::string::npos)
        return false;
    const std::string path = folder + "/" + title;
    address = {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// A connected socket, or -1 when nobody listens.
int connectTo(const sockaddr_un &address)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Waits for fd to become ready for events within timeoutMs.
bool waitFor(int fd, short events, int timeoutMs)
{
    pollfd entry{fd, events, 0};
    int ready;
    do {
        ready = poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

bool readExactly(int fd, char *buffer, size_t size, int timeoutMs)
{
    size_t done = 0;
    while (done < size) {
        if (!waitFor(fd, POLLIN, timeoutMs))
            return false;
        const ssize_t got = read(fd, buffer + done, size - done);
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

uint64_t littleEndian(const unsigned char *bytes, int size)
{
    uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

void putLittleEndian(std::string &out, uint64_t value, int size)
{
    for (int i = 0; i < size; ++i)
        out.push_back(char(value >> (8 * i) & 0xff));
}

// Reads one record from a fresh connection; false when it is dropped.
bool readRecord(int fd, std::string &text)
{
    unsigned char header[headerSize];
    if (!readExactly(fd, reinterpret_cast<char *>(header), headerSize, recordTimeoutMs))
        return false;
    const uint64_t length = littleEndian(header + 16, 4);
    if (length > maxText)
        return false;
    std::vector<char> body(length);
    if (!readExactly(fd, body.data(), body.size(), recordTimeoutMs))
        return false;
    text.assign(body.data(), strnlen(body.data(), body.size()));
    return true;
}

int listenAs(const std::string &title, const char *logPath, bool hang)
{
    sockaddr_un address;
    if (!socketAddress(title, address))
        return 1;
    const int probe = connectTo(address);
    if (probe >= 0) {
        close(probe);
        std::fprintf(stderr, "copydatapeer: %s is taken\n", title.c_str());
        return 1;
    }
    unlink(address.sun_path);
    const int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (server < 0 || bind(server, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 ||
        chmod(address.sun_path, 0600) != 0 || listen(server, 16) != 0) {
        std::perror("copydatapeer: listen");
        return 1;
    }
    FILE *log = std::fopen(logPath, "a");
    if (!log) {
        std::perror("copydatapeer: log file");
        unlink(address.sun_path);
        return 1;
    }

    // SIGTERM and SIGINT are let through only while waiting for a connection, so
    // a stop request can neither be missed nor cut a record in half.
    sigset_t stopSignals, waitMask;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);

    std::vector<int> hungConnections;
    while (!stopRequested) {
        pollfd entry{server, POLLIN, 0};
        if (ppoll(&entry, 1, nullptr, &waitMask) <= 0)
            continue;
        const int fd = accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        if (hang) {
            hungConnections.push_back(fd);
            continue;
        }
        std::string text;
        if (readRecord(fd, text)) {
            std::fprintf(log, "%s\n", text.c_str());
            std::fflush(log);
            const char reply = 0;
            send(fd, &reply, 1, MSG_NOSIGNAL);
        }
        close(fd);
    }
    unlink(address.sun_path);
    std::fclose(log);
    return 0;
}

// A connection to the listener of title, or -1 when nobody listens there.
int connectToTitle(const std::string &title)
{
    sockaddr_un address;
    return socketAddress(title, address) ? connectTo(address) : -1;
}

int sendTo(const std::string &title, const std::string &text)
{
    const int fd = connectToTitle(title);
    if (fd < 0)
        return 1;
    std::string record;
    putLittleEndian(record, 0, 8);
    putLittleEndian(record, 0, 8);
    putLittleEndian(record, text.size(), 4);
    record += text;
    char reply;
    const bool answered =
        send(fd, record.data(), record.size(), MSG_NOSIGNAL) == ssize_t(record.size()) &&
        readExactly(fd, &reply, 1, replyTimeoutMs);
    close(fd);
    return answered ? 0 : 2;
}

int probeFor(const std::string &title)
{
    const int fd = connectToTitle(title);
    if (fd < 0)
        return 1;
    close(fd);
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: copydatapeer listen TITLE LOGFILE [--hang]\n"
                         "       copydatapeer send TITLE TEXT\n"
                         "       copydatapeer probe TITLE\n");
    return 64;
}
} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "listen" && (argc == 4 || (argc == 5 && std::strcmp(argv[4], "--hang") == 0))) {
        struct sigaction action = {};
        action.sa_handler = requestStop;
        sigaction(SIGTERM, &action, nullptr);
        sigaction(SIGINT, &action, nullptr);
        return listenAs(argv[2], argv[3], argc == 5);
    }
    if (mode == "send" && argc == 4)
        return sendTo(argv[2], argv[3]);
    if (mode == "probe" && argc == 3)
        return probeFor(argv[2]);
    return usage();
}
