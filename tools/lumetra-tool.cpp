// lumetra-tool: command-line access to Lumetra's codecs and stores.
//
//   lumetra-tool conv [-i CODE] [-o CODE] [--widen-kana]   stdin -> stdout
//       input  auto | auto-sjis (default) | auto-euc | jis | euc | sjis
//       output sjis (default) | jis | euc
//   lumetra-tool mime-decode-header [--raw]   one header value a line -> Shift_JIS
//   lumetra-tool mime-encode-header           one Shift_JIS value a line -> words
//   lumetra-tool encode base64|qp|uu|binhex IN OUT
//   lumetra-tool decode base64|qp|uu|binhex|yenc IN OUT
//   lumetra-tool newsrc FILE    groups of a read-marks file, normalised marks
//   lumetra-tool config FILE    the values of a configuration file
//   lumetra-tool online --config FILE.lum [--timeout S]         group list timing
//   lumetra-tool open --config FILE.lum [--save] [--limit N] [--timeout S] GROUP
//   lumetra-tool render [--all] [--tags] [--message] FILE   the body pane's text
//   lumetra-tool extract [--message] FILE DIR               save every attachment
//   online, open, post and fetch also take the security options (SECURITY below)
//
// Exit status: 0 success, 1 bad input or a failed file operation, 2 usage.

#include <cctype>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/ToolCommands.h"
#include "platform/Registry.h"
#include "textcodec/Base64.h"
#include "textcodec/BinHex.h"
#include "textcodec/CodeConverter.h"
#include "textcodec/ConvertFromSjis.h"
#include "textcodec/ConvertStream.h"
#include "textcodec/ConvertToSjis.h"
#include "textcodec/HeaderWords.h"
#include "textcodec/QuotedPrintable.h"
#include "textcodec/StreamPump.h"
#include "textcodec/Uuencode.h"
#include "textcodec/Yenc.h"

using namespace textcodec;

namespace tools {
namespace {

const char* kUsage =
    "usage: lumetra-tool conv [-i auto|auto-sjis|auto-euc|jis|euc|sjis] [-o sjis|jis|euc] [--widen-kana]\n"
    "       lumetra-tool mime-decode-header [--raw]\n"
    "       lumetra-tool mime-encode-header\n"
    "       lumetra-tool encode base64|qp|uu|binhex IN OUT\n"
    "       lumetra-tool decode base64|qp|uu|binhex|yenc IN OUT\n"
    "       lumetra-tool newsrc FILE\n"
    "       lumetra-tool config FILE\n"
    "       lumetra-tool online --config FILE.lum [--timeout SECONDS]\n"
    "       lumetra-tool open --config FILE.lum [--save] [--limit N] [--timeout SECONDS] GROUP\n"
    "       lumetra-tool post --server H --port P --group G --subject S [--from ADDR] [--code jis|sjis|euc|utf8]\n"
    "                         [--attach FILE --encoding base64|binhex|uuencode|yenc] [--replace]\n"
    "                         [--references IDS] [--supersede MSGID] < BODY\n"
    "       lumetra-tool nzb FILE.nzb DIR --config FILE.lum\n"
    "       lumetra-tool cancel MSGID --server H --port P --group G\n"
    "       lumetra-tool supersede MSGID --server H --port P --group G --subject S < BODY\n"
    "       (the Cancel-Lock secret: $LUMETRA_CANCEL_SECRET or ~/.config/Quorvane/Lumetra/cancel-secret, 0600)\n"
    "       lumetra-tool fetch --server H --port P GROUP N\n"
    "       lumetra-tool join GROUP SUBJECT DIR --config FILE.lum [--keep-partial]\n"
    "       lumetra-tool render [--all] [--tags] [--message] FILE\n"
    "       lumetra-tool extract [--message] FILE DIR\n"
    "SECURITY (online, open, post, fetch): [--security none|starttls|tls] [--user NAME]\n"
    "       [--trust SHA256] [--cafile FILE] [--allow-plain-password]; the password comes from\n"
    "       LUMETRA_NNTP_PASSWORD or is asked on the terminal\n"
    "       lumetra-tool --help | --version\n";

int Usage(const char* why = nullptr)
{
    if (why)
        std::fprintf(stderr, "lumetra-tool: %s\n", why);
    std::fputs(kUsage, stderr);
    return 2;
}

int Fail(const std::string& why)
{
    std::fprintf(stderr, "lumetra-tool: %s\n", why.c_str());
    return 1;
}

std::string ReadStdin()
{
    std::string data;
    char buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, stdin)) > 0)
        data.append(buf, n);
    return data;
}

bool WriteStdout(std::string_view s)
{
    return std::fwrite(s.data(), 1, s.size(), stdout) == s.size() && std::fflush(stdout) == 0;
}

int Conv(int argc, char** argv)
{
    int in = TC_AUTO_SJIS, out = TC_SJIS;
    bool widen = false;
    for (int i = 0; i < argc; ++i) {
        std::string_view a = argv[i];
        if ((a == "-i" || a == "-o") && i + 1 < argc) {
            std::string_view v = argv[++i];
            if (a == "-i") {
                if (v == "auto") in = TC_AUTO;
                else if (v == "auto-sjis") in = TC_AUTO_SJIS;
                else if (v == "auto-euc") in = TC_AUTO_EUC;
                else if (v == "jis") in = TC_JIS;
                else if (v == "euc") in = TC_EUC;
                else if (v == "sjis") in = TC_SJIS;
                else return Usage("unknown input code");
            } else {
                if (v == "sjis") out = TC_SJIS;
                else if (v == "jis") out = TC_JIS7;
                else if (v == "euc") out = TC_EUC;
                else return Usage("unknown output code");
            }
        } else if (a == "--widen-kana") {
            widen = true;
        } else {
            return Usage("unknown option for conv");
        }
    }
    StreamResult r = ConvertStream(stdin, stdout, in, out, widen);
    switch (r.status) {
    case StreamStatus::Ok: break;
    case StreamStatus::StartFailed: return Fail(std::string("cannot start the conversion: ") + tcErrorText(r.error));
    case StreamStatus::ConvertFailed: return Fail(std::string("conversion failed: ") + tcErrorText(r.error));
    case StreamStatus::ReadFailed: return Fail("cannot read the input");
    case StreamStatus::WriteFailed: return Fail("cannot write the output");
    }
    if (std::fflush(stdout) != 0)
        return Fail("cannot write the output");
    if (r.badBytes)
        std::fprintf(stderr, "lumetra-tool: warning: invalid byte sequences were passed through\n");
    return 0;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        size_t end = lf == std::string::npos ? text.size() : lf;
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(std::move(line));
        pos = lf == std::string::npos ? text.size() : lf + 1;
    }
    return lines;
}

int DecodeHeader(int argc, char** argv)
{
    bool raw = argc == 1 && std::strcmp(argv[0], "--raw") == 0;
    if (argc > 1 || (argc == 1 && !raw))
        return Usage("unknown option for mime-decode-header");
    std::string out;
    for (const auto& line : Lines(ReadStdin())) {
        std::string jis;
        DecodeHeaderWords(jis, line);
        out += (raw ? jis : DecodeHeaderToSjis(line)) + '\n';
    }
    return WriteStdout(out) ? 0 : Fail("cannot write the output");
}

int EncodeHeader(int argc, char**)
{
    if (argc != 0)
        return Usage("mime-encode-header takes no options");
    std::string out;
    for (const auto& line : Lines(ReadStdin())) {
        std::string words;
        EncodeHeaderWords(words, ConvertFromSjis(line, KanjiCode::Jis));
        out += words + '\n';
    }
    return WriteStdout(out) ? 0 : Fail("cannot write the output");
}

int Transfer(bool encode, int argc, char** argv)
{
    if (argc != 3)
        return Usage("expected a kind, an input file and an output file");
    std::string_view kind = argv[0];
    const char* in = argv[1];
    const char* out = argv[2];
    if (kind == "base64") {
        if (encode)
            return Base64EncodeFile(in, out) ? 0 : Fail("Base64 encoding failed");
        switch (Base64DecodeFile(in, out)) {
        case Base64FileStatus::Ok: return 0;
        case Base64FileStatus::InputFailed: return Fail(std::string("cannot read ") + in);
        case Base64FileStatus::NotBase64: return Fail("not Base64 text");
        case Base64FileStatus::OutputFailed: break;
        }
        return Fail(std::string("cannot write ") + out);
    }
    if (kind == "qp") {
        QuotedPrintableEncoder encoder;
        QuotedPrintableDecoder decoder;
        StreamCodec& codec = encode ? static_cast<StreamCodec&>(encoder) : decoder;
        AtomicOutput file(out);
        switch (PumpFile(in, codec, file, out)) {
        case FilePumpStatus::Ok: break;
        case FilePumpStatus::InputFailed: return Fail(std::string("cannot read ") + in);
        default: return Fail(std::string("cannot write ") + out);
        }
        return file.Keep() ? 0 : Fail(std::string("cannot write ") + out);
    }
    if (kind == "uu") {
        if (encode) {
            switch (UuencodeFile(in, out)) {
            case UU_OK: return 0;
            case UU_INPUT_FAILED: return Fail(std::string("cannot read ") + in);
            default: return Fail(std::string("cannot write ") + out);
            }
        }
        switch (UudecodeFile(in, out)) {
        case UUD_OK: return 0;
        case UUD_INPUT_FAILED: return Fail(std::string("cannot read ") + in);
        case UUD_NO_BEGIN: return Fail("no \"begin\" line");
        case UUD_OUTPUT_FAILED: return Fail(std::string("cannot write ") + out);
        default: return Fail("no \"end\" line after the data (the data was written)");
        }
    }
    if (kind == "binhex") {
        if (encode)
            return BinHexEncodeFile(in, out) ? 0 : Fail("BinHex encoding failed");
        BinHexHeader h;
        switch (BinHexDecodeFileTo(in, 0, h, out)) {
        case BinHexStatus::ReadFailed: return Fail(std::string("cannot read ") + in);
        case BinHexStatus::Ok: return 0;
        case BinHexStatus::NoStart: return Fail("no BinHex 4.0 block");
        case BinHexStatus::BadHeader: return Fail("BinHex header damaged (CRC)");
        case BinHexStatus::Truncated: return Fail("BinHex data cut short (what was decoded was written)");
        case BinHexStatus::BadDataCrc: return Fail("BinHex data CRC wrong (the data was written)");
        case BinHexStatus::WriteFailed: break;
        }
        return Fail(std::string("cannot write ") + out);
    }
    if (kind == "yenc") {
        if (encode)
            return Usage("yEnc is encoded by post --encoding yenc");
        YencDecoder decoder;
        switch (YencDecodeFile(in, out, decoder)) {
        case YencFileStatus::Ok: return 0;
        case YencFileStatus::InputFailed: return Fail(std::string("cannot read ") + in);
        case YencFileStatus::NoBegin: return Fail("no \"=ybegin\" line");
        case YencFileStatus::Damaged:
            return Fail("yEnc data damaged: " + decoder.Problem() + " (saved as " + DamagedFileName(out) + ")");
        case YencFileStatus::OutputFailed: break;
        }
        return Fail(std::string("cannot write ") + out);
    }
    return Usage("unknown kind (base64, qp, uu, binhex, yenc)");
}

} // namespace
} // namespace tools

int main(int argc, char** argv)
{
    using namespace tools;
    if (argc < 2)
        return Usage();
    std::string_view cmd = argv[1];
    if (cmd == "conv")
        return Conv(argc - 2, argv + 2);
    if (cmd == "mime-decode-header")
        return DecodeHeader(argc - 2, argv + 2);
    if (cmd == "mime-encode-header")
        return EncodeHeader(argc - 2, argv + 2);
    if (cmd == "encode" || cmd == "decode")
        return Transfer(cmd == "encode", argc - 2, argv + 2);
    using Command = int (*)(const Args&, std::ostream&, std::ostream&);
    static const std::pair<std::string_view, Command> commands[] = {
        {"newsrc", NewsrcCommand}, {"config", ConfigCommand},   {"render", RenderCommand},
        {"extract", ExtractCommand}, {"fetch", FetchCommand},
    };
    if (cmd == "post")
        return PostCommand(Args(argv + 2, argv + argc), std::cin, std::cout, std::cerr);
    if ((cmd == "cancel" || cmd == "supersede") && argc > 2) {
        Args args{"--" + std::string(cmd), argv[2]};
        args.insert(args.end(), argv + 3, argv + argc);
        return PostCommand(args, std::cin, std::cout, std::cerr);
    }
    if (cmd == "online" || cmd == "open" || cmd == "nzb" || cmd == "join") {
        platform::Registry& registry = platform::Registry::User();
        const auto command = cmd == "online" ? OnlineCommand
                             : cmd == "open" ? OpenCommand
                             : cmd == "nzb"  ? NzbCommand
                                             : JoinCommand;
        return command(registry, Args(argv + 2, argv + argc), std::cout, std::cerr);
    }
    for (const auto& [name, command] : commands)
        if (cmd == name)
            return command(Args(argv + 2, argv + argc), std::cout, std::cerr);
    if (cmd == "-h" || cmd == "--help" || cmd == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (cmd == "--version") {
        std::fputs("lumetra-tool " LUMETRA_VERSION "\n", stdout);
        return 0;
    }
    return Usage("unknown subcommand");
}
