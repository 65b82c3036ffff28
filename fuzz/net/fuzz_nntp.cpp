// The NNTP client against a server whose whole output is the input, sent at
// once before the server stops writing: the start of a session (capabilities,
// reader mode, login), a reading session and a post. Every
// read ends at once at the end of the bytes, so no run waits.
#include "net/Nntp.h"

#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/socket.h>
#include <unistd.h>

using namespace net;

namespace {

// A data line has its line end (after un-stuffing it may be a lone "."), and
// a failure leaves the connection closed.
int CheckedDataLine(CNntp& nntp, std::string& line)
{
    const int r = nntp.ReadDataLine(line);
    if ((r > 0 && (line.empty() || line.back() != '\n')) ||
        (r <= 0 && !line.empty()) || (r < 0 && nntp.IsConnected()) || (r == 0 && nntp.DataPending()))
        std::abort();
    return r;
}

void ReadAll(CNntp& nntp)
{
    std::string line;
    while (CheckedDataLine(nntp, line) > 0) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Well within the socket's buffer, so the whole reply fits before the close.
    if (size > 16384)
        return 0;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        std::abort();
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fds[1], data + done, size - done);
        if (n <= 0)
            std::abort();
        done += static_cast<std::size_t>(n);
    }
    // The commands the client sends still have somewhere to go.
    ::shutdown(fds[1], SHUT_WR);
    {
        CNntp nntp;
        nntp.SetTimeouts({1, 1});
        nntp.Attach(fds[0]);
        // The whole start: CAPABILITIES, MODE READER, the login, and a login on any 480.
        SecuritySettings security;
        security.user = "user";
        security.allowPlainPassword = true;
        nntp.SetSecurity(security);
        nntp.SetLoginHandler([](const LoginRequest& request, std::string& user, std::string& password) {
            user = request.user;
            password = "secret";
            return !request.failedBefore;
        });
        if (nntp.StartSession(true)) {
            if (nntp.List())
                ReadAll(nntp);
            std::string reply;
            int count = -1, first = -1, last = -1;
            if (nntp.Group("fj.test", reply, count, first, last) && reply.compare(0, 3, "211") != 0)
                std::abort();
            if (nntp.Head(1))
                ReadAll(nntp);
            int code = 0;
            // Data left unread is skipped by the next command.
            nntp.Article(2, code);
            if (code != nntp.ReplyCode())
                std::abort();
            std::string text;
            if (nntp.Article(3, code))
                nntp.ReadData(text);
            CNntpPostMessageParam post;
            post.fieldNames = {"Newsgroups:", "Subject:", "From:"};
            post.fieldValues = {"fj.test", "test", "someone@example.jp"};
            post.bodyTexts = {"body\n.\n"};
            if (nntp.Post(post) && nntp.ReplyCode() != 240)
                std::abort();
        }
    }
    ::close(fds[1]);
    return 0;
}
