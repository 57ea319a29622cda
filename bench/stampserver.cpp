// The ACTi encoder stand-in of the encoder benchmark, in a process of its
// own so that no client's event loop decides when a request is seen.
//
// Listens on 127.0.0.1 at a port the system picks and prints "PORT <n>" on
// standard output. Then, for every request it answers, one line
//   STAMP <ns> <target>
// where <ns> is CLOCK_MONOTONIC, read right after the read(2) that completed
// the request line. The line is written after the answer has gone out, so
// stamping costs the client nothing. The process ends when its standard
// input closes.
//
// It answers as the encoder does, every answer HTTP/1.1 200 with a
// Content-Length:
//   /cgi-bin/system?USER=u&PWD=p&SYSTEM_INFO_XML          the system information (XML)
//   /cgi-bin/ENCODER?USER=u&PWD=p&SERIAL_HEX=8101040722FF  "OK: SERIAL_HEX='8101040722FF'"
//   /cgi-bin/ENCODER?USER=u&PWD=p&SERIAL_SETTING=8N1,9600  "OK: SERIAL_SETTING='8N1,9600'"
// and "ERROR: ..." bodies for a wrong user or password, an unknown CGI or an
// unknown command. Connections stay open between requests (HTTP/1.1) unless
// the request says "Connection: close" (or is HTTP/1.0 without keep-alive).
// User and password are the panel's factory defaults, compared as sent.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const std::string kUser = "Admin";
const std::string kPassword = "418275";

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

bool sendAll(int fd, const std::string &bytes, int flags)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = flags ? ::send(fd, bytes.data() + done, bytes.size() - done, flags)
                                : ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::string trimmed(const std::string &text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

struct Head
{
    std::string method, target, version;
    std::string connection; // lower case
    size_t contentLength = 0;
};

// The request line and the headers that matter here, from the text before
// the blank line.
Head parseHead(const std::string &text)
{
    Head head;
    size_t lineEnd = text.find("\r\n");
    const std::string requestLine = text.substr(0, lineEnd);
    const size_t firstBlank = requestLine.find(' ');
    const size_t lastBlank = requestLine.rfind(' ');
    head.method = requestLine.substr(0, firstBlank);
    if (firstBlank != std::string::npos && lastBlank > firstBlank) {
        head.target = requestLine.substr(firstBlank + 1, lastBlank - firstBlank - 1);
        head.version = requestLine.substr(lastBlank + 1);
    }
    while (lineEnd != std::string::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = text.find("\r\n", start);
        const std::string line = text.substr(start, lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string name = lower(trimmed(line.substr(0, colon)));
        const std::string value = trimmed(line.substr(colon + 1));
        if (name == "connection")
            head.connection = lower(value);
        else if (name == "content-length")
            head.contentLength = size_t(std::strtoul(value.c_str(), nullptr, 10));
    }
    return head;
}

std::string systemInfoXml()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SYSTEM_INFO>\n"
           "  <MODEL_NUMBER VALUE=\"STAMP-1000\"/>\n  <UNIT_TYPE VALUE=\"VIDEO_ENCODER\"/>\n"
           "  <SERIAL_PORT VALUE=\"1\"/>\n  <CHANNEL VALUE=\"1\"/>\n</SYSTEM_INFO>\n";
}

// The body the encoder gives for a request target, and its content type.
std::string answerFor(const std::string &target, std::string *contentType)
{
    *contentType = "text/plain";
    const size_t mark = target.find('?');
    const std::string path = target.substr(0, mark);
    std::vector<std::string> items;
    if (mark != std::string::npos) {
        size_t start = mark + 1;
        while (start <= target.size()) {
            const size_t end = std::min(target.find('&', start), target.size());
            items.push_back(target.substr(start, end - start));
            start = end + 1;
        }
    }
    if (path != "/cgi-bin/system" && path != "/cgi-bin/ENCODER")
        return "ERROR: unknown CGI '" + path + "'";
    const bool known = std::find(items.begin(), items.end(), "USER=" + kUser) != items.end()
        && std::find(items.begin(), items.end(), "PWD=" + kPassword) != items.end();
    if (!known)
        return "ERROR: authentication failed";
    for (const std::string &item : items) {
        if (item.rfind("USER=", 0) == 0 || item.rfind("PWD=", 0) == 0)
            continue;
        const size_t equals = item.find('=');
        const std::string key = item.substr(0, equals);
        if (path == "/cgi-bin/system" && key == "SYSTEM_INFO_XML") {
            *contentType = "text/xml";
            return systemInfoXml();
        }
        if (path == "/cgi-bin/ENCODER" && equals != std::string::npos
            && (key == "SERIAL_HEX" || key == "SERIAL_SETTING"))
            return "OK: " + key + "='" + item.substr(equals + 1) + "'";
        if (path == "/cgi-bin/ENCODER" && key == "SERIAL_SETTING")
            return "SERIAL_SETTING='8N1,9600'";
        return "ERROR: unknown command " + key;
    }
    return "ERROR: no command";
}

struct Connection
{
    int fd;
    std::string buffer;
    long long lineAt = 0; // when the current request's line was complete
};

// Answers every complete request in the buffer; false when the connection
// is to be closed.
bool answerRequests(Connection &connection)
{
    while (true) {
        const size_t headEnd = connection.buffer.find("\r\n\r\n");
        if (headEnd == std::string::npos)
            return true;
        const Head head = parseHead(connection.buffer.substr(0, headEnd + 2));
        if (connection.buffer.size() < headEnd + 4 + head.contentLength)
            return true;
        connection.buffer.erase(0, headEnd + 4 + head.contentLength);
        const long long lineAt = connection.lineAt;
        // A request already waiting behind this one arrived with it.
        connection.lineAt = connection.buffer.find("\r\n") != std::string::npos ? lineAt : 0;

        const bool keepAlive = head.version == "HTTP/1.1" ? head.connection != "close"
                                                          : head.connection == "keep-alive";
        std::string contentType;
        const std::string body = answerFor(head.target, &contentType);
        const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: " + contentType
            + "\r\nContent-Length: " + std::to_string(body.size())
            + (keepAlive ? "\r\nConnection: keep-alive\r\n\r\n" : "\r\nConnection: close\r\n\r\n")
            + body;
        const bool sent = sendAll(connection.fd, answer, MSG_NOSIGNAL);
        const std::string stamp
            = "STAMP " + std::to_string(lineAt) + ' ' + head.target + '\n';
        if (!sendAll(STDOUT_FILENO, stamp, 0))
            std::exit(0); // nobody reads the stamps any more
        if (!sent || !keepAlive)
            return false;
    }
}

// Reads what arrived; false when the connection is over.
bool readRequests(Connection &connection)
{
    char chunk[4096];
    const ssize_t n = ::read(connection.fd, chunk, sizeof chunk);
    const long long at = monotonicNs();
    if (n < 0 && errno == EINTR)
        return true;
    if (n <= 0)
        return false;
    const bool hadLine = connection.buffer.find("\r\n") != std::string::npos;
    connection.buffer.append(chunk, size_t(n));
    if (!hadLine && connection.buffer.find("\r\n") != std::string::npos)
        connection.lineAt = at;
    return answerRequests(connection);
}

int listenOnLoopback()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
        || ::listen(fd, 64) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

int main()
{
    const int listening = listenOnLoopback();
    sockaddr_in bound{};
    socklen_t boundSize = sizeof bound;
    if (listening < 0
        || ::getsockname(listening, reinterpret_cast<sockaddr *>(&bound), &boundSize) != 0) {
        std::perror("stampserver: listen on 127.0.0.1");
        return 1;
    }
    if (!sendAll(STDOUT_FILENO, "PORT " + std::to_string(ntohs(bound.sin_port)) + '\n', 0))
        return 1;

    std::vector<Connection> connections;
    std::vector<pollfd> watched;
    while (true) {
        watched.assign({{STDIN_FILENO, POLLIN, 0}, {listening, POLLIN, 0}});
        for (const Connection &connection : connections)
            watched.push_back({connection.fd, POLLIN, 0});
        if (::poll(watched.data(), nfds_t(watched.size()), -1) < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        if (watched[0].revents != 0) {
            char ignored[64];
            if (::read(STDIN_FILENO, ignored, sizeof ignored) <= 0)
                return 0; // the benchmark is done
        }
        // Connections first: the ones accepted below are not in `watched`.
        std::vector<Connection> open;
        for (size_t i = 0; i < connections.size(); ++i) {
            Connection &connection = connections[i];
            if (watched[i + 2].revents == 0 || readRequests(connection))
                open.push_back(std::move(connection));
            else
                ::close(connection.fd);
        }
        connections.swap(open);
        if (watched[1].revents & POLLIN) {
            const int fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                const int on = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                connections.push_back({fd, std::string(), 0});
            }
        }
    }
}
