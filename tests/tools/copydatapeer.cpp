// A stand-in for the annotation program on the command channel, written from
// docs/copydata.md with plain POSIX sockets, so that tests check Kelvora against
// the documented records and addresses rather than against its own code. The
// folder checks a real side makes are left out: tests run in private folders.
//
//   copydatapeer listen TITLE LOGFILE   logs each text on a line, until killed
//   copydatapeer send TITLE TEXT        exit 0 answered, 1 no listener, 2 no reply
//   copydatapeer probe TITLE            exit 0 someone listens, 1 not

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr size_t headerSize = 20;
constexpr uint32_t maxText = 65536;

sockaddr_un addressOf(const std::string &title)
{
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtime && *runtime ? std::string(runtime) + "/copydata"
                                                   : "/tmp/copydata-" + std::to_string(geteuid());
    mkdir(folder.c_str(), 0700);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s/%s", folder.c_str(),
                  title.c_str());
    return address;
}

// A socket that gives up reading after seconds.
int socketWithTimeout(int seconds)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval timeout{seconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    return fd;
}

// A connected socket, or -1 when nobody listens.
int connectTo(const std::string &title)
{
    const sockaddr_un address = addressOf(title);
    const int fd = socketWithTimeout(5);
    if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) == 0)
        return fd;
    close(fd);
    return -1;
}

bool readExactly(int fd, char *buffer, size_t size)
{
    for (size_t done = 0; done < size;) {
        const ssize_t got = read(fd, buffer + done, size - done);
        if (got <= 0)
            return false;
        done += size_t(got);
    }
    return true;
}

// Reads one record; false when the connection ends before it is whole.
bool readRecord(int fd, std::string &text)
{
    unsigned char header[headerSize];
    if (!readExactly(fd, reinterpret_cast<char *>(header), headerSize))
        return false;
    const uint32_t length =
        header[16] | header[17] << 8 | header[18] << 16 | uint32_t(header[19]) << 24;
    if (length > maxText)
        return false;
    std::vector<char> body(length);
    if (!readExactly(fd, body.data(), body.size()))
        return false;
    text.assign(body.data(), strnlen(body.data(), body.size()));
    return true;
}

int listenAs(const std::string &title, const char *logPath)
{
    const sockaddr_un address = addressOf(title);
    unlink(address.sun_path);
    const int server = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    FILE *log = std::fopen(logPath, "a");
    if (bind(server, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0 ||
        chmod(address.sun_path, 0600) != 0 || listen(server, 16) != 0 || !log) {
        std::perror("copydatapeer: listen");
        return 1;
    }
    for (;;) {
        const int fd = accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
        const timeval timeout{3, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
        std::string text;
        if (fd >= 0 && readRecord(fd, text)) {
            std::fprintf(log, "%s\n", text.c_str());
            std::fflush(log);
            send(fd, "", 1, MSG_NOSIGNAL);
        }
        close(fd);
    }
}

int sendTo(const std::string &title, const std::string &text)
{
    const int fd = connectTo(title);
    if (fd < 0)
        return 1;
    // dwData 0, wParam 0 (no window), cbData, then the text without a zero byte.
    std::string record(headerSize, '\0');
    for (int i = 0; i < 4; ++i)
        record[16 + i] = char(text.size() >> (8 * i) & 0xff);
    record += text;
    char reply;
    const bool answered =
        send(fd, record.data(), record.size(), MSG_NOSIGNAL) == ssize_t(record.size()) &&
        readExactly(fd, &reply, 1);
    close(fd);
    return answered ? 0 : 2;
}
} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "listen" && argc == 4)
        return listenAs(argv[2], argv[3]);
    if (mode == "send" && argc == 4)
        return sendTo(argv[2], argv[3]);
    if (mode == "probe" && argc == 3) {
        const int fd = connectTo(argv[2]);
        return fd < 0 ? 1 : (close(fd), 0);
    }
    std::fprintf(stderr,
                 "usage: copydatapeer listen TITLE LOGFILE | send TITLE TEXT | probe TITLE\n");
    return 64;
}
