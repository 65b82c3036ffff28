// libFuzzer target: the header functions on arbitrary header text.
#include "message/HeaderFields.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace textcodec;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (bool decode : {false, true}) {
        message::GetHeaderField(text, "Subject", decode);
        message::GetHeaderField(text, "content-type:", decode);
    }
    std::vector<std::string> values;
    message::GetHeaderFieldAll(text, "Received", values);
    message::ParseDate(text);
    std::vector<std::string> list;
    message::SplitAddressList(text, list);
    std::string address = text;
    message::ExtractAddress(address);
    std::string type, subtype;
    std::vector<std::string> names, vals;
    message::ParseContentType(text, type, subtype, names, vals);
    std::string boundary;
    message::IsMultipart(text, boundary);
    message::MakeReplySubject(text);
    message::GetMimeVersion(text);
    for (KanjiCode code : {KanjiCode::Jis, KanjiCode::Sjis, KanjiCode::Euc}) {
        const std::string line = message::ComposeHeaderLine("Subject", text, code, code == KanjiCode::Jis);
        // One field only, whatever the value held: every line end is CR LF and
        // every line after the first continues the field.
        if (line.size() < 2 || line.compare(line.size() - 2, 2, "\r\n") != 0 ||
            line.find('\0') != std::string::npos)
            std::abort();
        for (std::size_t i = 0; i + 2 < line.size(); ++i) {
            if (line[i] == '\n' && (line[i - 1] != '\r' || (line[i + 1] != '\t' && line[i + 1] != ' ')))
                std::abort();
            if (line[i] == '\r' && line[i + 1] != '\n')
                std::abort();
        }
    }
    return 0;
}
