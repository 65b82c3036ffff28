#pragma once
// uuencode in the Berkeley form ("begin mode name" ... "`" "end").

#include <filesystem>
#include <string>
#include <string_view>

#include "textcodec/StreamCodec.h"

namespace textcodec {

// Results of UuencodeFile.
enum : int {
    UU_OK = 0,
    UU_INPUT_FAILED = -1,    // input not opened or not read
    UU_OUTPUT_FAILED = -2,   // output not opened or not written (removed)
};
// Results of UudecodeFile and Uudecode.
enum : int {
    UUD_OK = 0,
    UUD_INPUT_FAILED = -1,   // input not opened
    UUD_NO_BEGIN = -2,       // no "begin mode name" line; no output made
    UUD_OUTPUT_FAILED = -3,  // output not opened or not written
    UUD_NO_END = -4,         // no "end" line after the data (the data stays written)
};

// The encoded text: the "begin" line, lines of 45 bytes, "`" and "end", with
// LF line ends.
class UuencodeEncoder : public StreamCodec {
public:
    UuencodeEncoder(unsigned mode, std::string_view name);
    void Put(std::string_view in, std::string& out) override;
    void Finish(std::string& out) override;

private:
    void Begin(std::string& out);
    std::string head_;  // the begin line until it is given out
    std::string carry_; // less than one line of data
};

// Finds the first block's "begin" line and decodes its data lines (LF or
// CR LF); the rest after its "end" line passes unused. The carry is the
// current line.
class UudecodeDecoder : public StreamCodec {
public:
    void Put(std::string_view in, std::string& out) override;
    void Finish(std::string& out) override;
    // UUD_OK, UUD_NO_BEGIN or UUD_NO_END once finished.
    int Result() const { return result_; }

private:
    void TakeLine(std::string_view line, std::string& out);
    enum class State { SeekBegin, Data, WantEnd, Done };
    State state_ = State::SeekBegin;
    int result_ = -2; // UUD_NO_BEGIN until a begin line is seen
    std::string line_;
};

// The encoded text of data, with LF line ends.
std::string Uuencode(std::string_view data, unsigned mode, std::string_view name);
// Decodes the first block of text into data. Lines may end in LF or CR LF.
int Uudecode(std::string_view text, std::string& data);

// File forms. The name on the "begin" line is the input's base name and the
// mode its permission bits. The decoder ignores the block's own name.
int UuencodeFile(const std::filesystem::path& input, const std::filesystem::path& output);
int UudecodeFile(const std::filesystem::path& input, const std::filesystem::path& output);

} // namespace textcodec
