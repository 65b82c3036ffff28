#pragma once
// What the window tests share: the news server the test run started, a
// scratch folder with its own registry, and a document whose questions are
// answered by a script.

#include "ScriptedDialogs.h"
#include "news/LumeDoc.h"
#include "platform/Registry.h"
#include "support/TestFiles.h"
#include "host/HostedDocument.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace uitest {

// The server with the demo articles (scripts/inn-server.sh), when one is named.
struct TestServer {
    const char* host = std::getenv("LUMETRA_TEST_NNTP_HOST");
    const char* port = std::getenv("LUMETRA_TEST_NNTP_PORT");
    bool Known() const { return host && port; }
};

#define SERVER_OR_SKIP()                                                                                               \
    if (!::uitest::TestServer().Known())                                                                               \
    GTEST_SKIP() << "set LUMETRA_TEST_NNTP_HOST and LUMETRA_TEST_NNTP_PORT (scripts/inn-server.sh)"

// A configuration reading from host:port; extra holds more "key=value" lines.
inline std::filesystem::path WriteConfig(const std::filesystem::path& file, const std::string& host,
                                         const std::string& port, int limit, const std::string& extra = {})
{
    testutil::WriteFile(file, testutil::Crlf("[config]\nnNntpPort=" + port + "\nstrNntpServer=" + host +
                                             "\nstrMarkFile=news.rc\nnMaxReadArtcleCount=" +
                                             std::to_string(limit) + "\nbShowOldArticle=YES\n" + extra));
    return file;
}

class WindowFixture : public ::testing::Test {
protected:
    WindowFixture() { NewDocument(); }
    void NewDocument() { document_ = std::make_unique<host::HostedDocument>(dialogs_, *registry_); }
    news::CLumeDoc& Doc() { return document_->Doc(); }
    std::filesystem::path Config(int limit = 100, const std::string& extra = {}) const
    {
        return WriteConfig(dir_ / "test.lum", inn_.host ? inn_.host : "127.0.0.1",
                           inn_.port ? inn_.port : "119", limit, extra);
    }

    TestServer inn_;
    testutil::ScratchDir dir_;
    ScriptedDialogs dialogs_;
    QStringList& messages = dialogs_.messages;
    std::unique_ptr<platform::Registry> registry_ = std::make_unique<platform::Registry>(dir_ / "registry");
    std::unique_ptr<host::HostedDocument> document_;
};

} // namespace uitest
