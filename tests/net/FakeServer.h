#pragma once
// A scripted peer for the cases a real server cannot be made to produce:
// the script runs on its own thread against one end of a socket pair (or an
// accepted loopback connection) while the client under test runs here.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

class FakePeer {
public:
    explicit FakePeer(int fd) : fd_(fd) {}

    // One line from the client with its line end; empty at end of stream or after 10 s of silence.
    std::string ReadLine()
    {
        for (;;) {
            std::string line;
            for (char c = 0; c != '\n' && Wait() && ::recv(fd_, &c, 1, 0) == 1;)
                line += c;
            received += line;
            // An old server knows neither way of saying what it can do.
            if (!old_ || line != "LIST EXTENSIONS\r\n")
                return line;
            Send("500 What?\r\n");
        }
    }
    // Lines up to and including a "." line.
    std::string ReadArticle()
    {
        std::string all, l;
        while (l != ".\r\n" && !(l = ReadLine()).empty())
            all += l;
        return all;
    }
    // Everything until the client closes.
    void ReadToEnd()
    {
        char buf[4096];
        for (long n; Wait() && (n = ::recv(fd_, buf, sizeof buf, 0)) > 0;)
            received.append(buf, static_cast<std::size_t>(n));
    }
    // Drops what else arrives within ms, as a server taking one command a read.
    void DropWaiting(int ms)
    {
        Pause(ms);
        char buf[4096];
        for (long n; (n = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT)) > 0;)
            received.append(buf, static_cast<std::size_t>(n));
    }
    void Reply(std::string_view answer)
    {
        ReadLine();
        Send(answer);
    }
    // A greeting; after a welcome, the client's CAPABILITIES gets an old server's answer.
    void Greet(std::string_view greeting)
    {
        Send(greeting);
        if (greeting.starts_with("20"))
            Reply("500 What?\r\n"), old_ = true;
    }
    // Answers a QUIT (if that is what comes), then waits for the close.
    void AnswerQuit()
    {
        if (ReadLine() == "QUIT\r\n")
            Send("205 bye\r\n");
        ReadToEnd();
    }
    void Send(std::string_view bytes)
    {
        for (long n = 0; !bytes.empty() && (n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL)) > 0;)
            bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    static void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    void Close() { ::close(std::exchange(fd_, -1)); }
    int Fd() const { return fd_; }

    std::string received;

private:
    bool old_ = false;
    bool Wait()
    {
        pollfd p{fd_, POLLIN, 0};
        return fd_ >= 0 && ::poll(&p, 1, 10000) > 0;
    }
    int fd_;
};

class FakeServer {
public:
    using Script = std::function<void(FakePeer&)>;

    // Socket pair: the client end goes to CNntp::Attach.
    explicit FakeServer(Script script)
    {
        int sv[2];
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv);
        client_ = sv[0];
        thread_ = std::thread([this, fd = sv[1], script = std::move(script)] { Run(fd, script); });
    }
    // Loopback listener (127.0.0.1 or ::1): the client connects to port();
    // the script runs once for each of connections connections, one after another.
    FakeServer(Script script, bool /*listen*/, int family = AF_INET, int connections = 1)
    {
        listener_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in6 a6{};
        sockaddr_in a4{};
        a6.sin6_family = AF_INET6;
        a6.sin6_addr = in6addr_loopback;
        a4.sin_family = AF_INET;
        a4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool six = family == AF_INET6;
        auto* a = six ? reinterpret_cast<sockaddr*>(&a6) : reinterpret_cast<sockaddr*>(&a4);
        socklen_t len = six ? sizeof a6 : sizeof a4;
        ::bind(listener_, a, len);
        ::getsockname(listener_, a, &len);
        port_ = ntohs(six ? a6.sin6_port : a4.sin_port);
        ::listen(listener_, 1);
        thread_ = std::thread([this, connections, script = std::move(script)] {
            for (int i = 0; i < connections; ++i) {
                pollfd p{listener_, POLLIN, 0};
                if (::poll(&p, 1, 10000) <= 0)
                    break;
                Run(::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC), script);
            }
        });
    }
    ~FakeServer()
    {
        Join();
        if (listener_ >= 0)
            ::close(listener_);
    }

    int TakeClient() { return std::exchange(client_, -1); }
    int port() const { return port_; }
    // Waits for the script to end; afterwards received() is everything it read.
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
        if (client_ >= 0)
            ::close(std::exchange(client_, -1));
    }
    const std::string& received() const { return received_; }

private:
    void Run(int fd, const Script& script)
    {
        FakePeer peer(fd);
        script(peer);
        received_ += peer.received;
        peer.Close();
    }
    std::thread thread_;
    int client_ = -1, listener_ = -1, port_ = 0;
    std::string received_;
};
