#pragma once
// The document's host in a benchmark: messages go to the error output (a
// message box would stop the run) and connections are plain sockets. Its
// settings store is a scratch one, so a run leaves the user's alone.
#include "RawNntpClient.h"
#include "news/DocumentHost.h"
#include "platform/Registry.h"
#include "platform/TempFiles.h"

#include <cstdio>
#include <string>
#include <vector>

struct StderrHost : news::DocumentHost {
    const char* host = "127.0.0.1";
    platform::Registry registry{platform::TempDirectory() / "registry"};
    int ShowMessage(unsigned id, news::MessageIcon, const std::vector<std::string>& args) override
    {
        std::fprintf(stderr, "message %u %s\n", id, args.empty() ? "" : args[0].c_str());
        return news::IDOK;
    }
    int ShowMessageText(const std::string& text, news::MessageIcon) override
    {
        std::fprintf(stderr, "%s\n", text.c_str());
        return news::IDOK;
    }
    int ConnectServer(const std::string&, int port) override { return RawConnect(host, port); }
};
