#pragma once
// A scripted peer for the cases a real server cannot be made to produce:
// the script runs on its own thread against one end of a socket pair (or an
// accepted loopback connection) while the client under test runs here.

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

class FakePeer {
public:
    explicit FakePeer(int fd) : fd_(fd) {}

    // One line from the client (with its line end), empty at end of stream or
    // after 10 s of silence.
    std::string ReadLine()
    {
        std::string line;
        char c;
        while (Wait() && ::recv(fd_, &c, 1, 0) == 1) {
            line += c;
            if (c == '\n')
                break;
        }
        received += line;
        return line;
    }
    // Lines up to and including a "." line.
    std::string ReadArticle()
    {
        std::string all;
        for (;;) {
            std::string l = ReadLine();
            if (l.empty())
                break;
            all += l;
            if (l == ".\r\n")
                break;
        }
        return all;
    }
    // Everything until the client closes.
    std::string ReadToEnd()
    {
        std::string all;
        char buf[4096];
        long n;
        while (Wait() && (n = ::recv(fd_, buf, sizeof buf, 0)) > 0)
            all.append(buf, static_cast<std::size_t>(n));
        received += all;
        return all;
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
        std::size_t done = 0;
        while (done < bytes.size()) {
            long n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return;
            done += static_cast<std::size_t>(n);
        }
    }
    // Sends the bytes one at a time with a pause between, as many segments.
    void Trickle(std::string_view bytes)
    {
        for (char c : bytes) {
            Send(std::string_view(&c, 1));
            Pause(2);
        }
    }
    static void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
    void Close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    int fd() const { return fd_; }

    std::string received;

private:
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
        Start(sv[1], std::move(script));
    }
    // Loopback listener (127.0.0.1 or ::1): the client connects to port().
    FakeServer(Script script, bool listen, int family = AF_INET)
    {
        (void)listen;
        listener_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (family == AF_INET6) {
            sockaddr_in6 a{};
            a.sin6_family = AF_INET6;
            a.sin6_addr = in6addr_loopback;
            ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
            socklen_t len = sizeof a;
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
            port_ = ntohs(a.sin6_port);
        } else {
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
            socklen_t len = sizeof a;
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
            port_ = ntohs(a.sin_port);
        }
        ::listen(listener_, 1);
        thread_ = std::thread([this, script = std::move(script)] {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0)
                return;
            int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            FakePeer peer(fd);
            script(peer);
            received_ = peer.received;
            peer.Close();
        });
    }
    ~FakeServer() { Join(); if (listener_ >= 0) ::close(listener_); }

    int TakeClient() { int fd = client_; client_ = -1; return fd; }
    int port() const { return port_; }
    // Waits for the script to end; afterwards received() is everything it read.
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
        if (client_ >= 0)
            ::close(client_);
        client_ = -1;
    }
    const std::string& received() const { return received_; }

private:
    void Start(int fd, Script script)
    {
        thread_ = std::thread([this, fd, script = std::move(script)] {
            FakePeer peer(fd);
            script(peer);
            received_ = peer.received;
            peer.Close();
        });
    }
    std::thread thread_;
    int client_ = -1;
    int listener_ = -1;
    int port_ = 0;
    std::string received_;
};
