// A file posted in yEnc to INN and read back from the server: decoded by our
// codec and by uudeview, both giving the file's bytes, with the sizes and CRCs
// the block states found right.
#include "ServerSupport.h"
#include "news/PostArticle.h"
#include "support/TestFiles.h"
#include "textcodec/Yenc.h"

using namespace news;
using namespace testutil;

TEST(PostYenc, ReadsBackThroughOurDecoderAndUudeview)
{
    REQUIRE_SERVER();
    ScratchDir dir;
    // Bytes that need escapes, and a dot and blanks at line edges.
    std::string data = RandomBytes(300000, 34);
    for (size_t i = 0; i < data.size(); i += 1000)
        data[i] = static_cast<char>(i % 2 ? '.' - 42 : ' ' - 42);
    for (const char* name : {"photo.jpg", "写真 2024.jpg"}) {
        SCOPED_TRACE(name);
        PostParams settings{.strMailAddress = "taro@example.invalid", .strNntpServer = server->host,
                            .nNntpPort = server->port};
        PostForm form;
        form.newsgroups = "local.test";
        form.subject = "yenc " + inttest::Tag();
        form.body = "see the file\r\n";
        form.attachPath = dir / name;
        WriteFile(form.attachPath, data);
        form.attachEncoding = 3;
        const PostOutcome outcome = PostArticle(form, settings);
        ASSERT_TRUE(outcome.posted) << outcome.serverReply << " " << outcome.messageId;
        // The article as the server gives it, unstuffed, CR LF kept.
        ASSERT_TRUE(RunShell("python3 -c '\nimport socket,sys\ns=socket.create_connection((sys.argv[1],int(sys.argv[2])))\n"
                             "f=s.makefile(\"rb\")\nf.readline()\ns.sendall(b\"ARTICLE \"+sys.argv[3].encode()+b\"\\r\\n\")\n"
                             "assert f.readline().startswith(b\"220\")\nout=open(sys.argv[4],\"wb\")\n"
                             "for l in f:\n  if l==b\".\\r\\n\": break\n  out.write(l[1:] if l.startswith(b\".\") else l)\n' " +
                             server->host + " " + std::to_string(server->port) + " '" + outcome.postedId + "' " +
                             Quote(dir / "article")));
        const std::string article = ReadFile(dir / "article");
        EXPECT_NE(article.find("Content-Transfer-Encoding: 8bit\r\n"), std::string::npos);
        EXPECT_NE(article.find("see the file\r\n"), std::string::npos);
        EXPECT_NE(article.find("\r\n=ybegin part=1 total=1 line=128 size=300000 name="), std::string::npos);
        EXPECT_NE(article.find("\r\n=ypart begin=1 end=300000\r\n"), std::string::npos);
        textcodec::YencDecoder decoder;
        const std::string ours = textcodec::RunCodec(decoder, article);
        EXPECT_EQ(decoder.Status(), textcodec::YencStatus::Ok) << decoder.Problem();
        EXPECT_EQ(decoder.Header().name, name);
        EXPECT_TRUE(ours == data);
        if (!HaveProgram("uudeview"))
            continue;
        std::filesystem::create_directories(dir / "uu");
        ASSERT_TRUE(RunShell("uudeview -i -q -p " + Quote(dir / "uu") + " " + Quote(dir / "article") + " >/dev/null 2>&1"));
        EXPECT_TRUE(ReadFile(dir / "uu" / name) == data);
    }
}
