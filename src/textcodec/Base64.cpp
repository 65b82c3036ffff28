#include "textcodec/Base64.h"

#include "textcodec/Base64Codec.h"
#include "textcodec/StreamPump.h"

namespace textcodec {

size_t Base64DecodeLine(std::string& out, std::string_view text)
{
    out.clear();
    Base64Decoder decoder;
    decoder.Put(text, out);
    decoder.Finish(out);
    return out.size();
}

std::string Base64EncodeLine(std::string_view data)
{
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4 + 1);
    Base64Encoder encoder(0);
    encoder.Put(data, out);
    encoder.Finish(out);
    out += '\n';
    return out;
}

std::string Base64EncodeText(std::string_view data)
{
    std::string out;
    out.reserve(data.size() / 54 * 73 + 74);
    Base64Encoder encoder;
    encoder.Put(data, out);
    encoder.Finish(out);
    return out;
}

bool Base64EncodeFile(const std::filesystem::path& input, const std::filesystem::path& output)
{
    Base64Encoder encoder;
    AtomicOutput out(output);
    return PumpFile(input, encoder, out, output) == FilePumpStatus::Ok && out.Keep();
}

Base64FileStatus Base64DecodeFile(const std::filesystem::path& input, const std::filesystem::path& output)
{
    Base64Decoder decoder(Base64Decoder::Input::Text);
    AtomicOutput out(output);
    switch (PumpFile(input, decoder, out, output, true)) {
    case FilePumpStatus::Ok: break;
    case FilePumpStatus::InputFailed: return Base64FileStatus::InputFailed;
    case FilePumpStatus::OutputFailed: return Base64FileStatus::OutputFailed;
    case FilePumpStatus::Stopped: return Base64FileStatus::NotBase64;
    }
    return out.Keep() ? Base64FileStatus::Ok : Base64FileStatus::OutputFailed;
}

} // namespace textcodec
