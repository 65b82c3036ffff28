#pragma once
// uuencode in the Berkeley form ("begin mode name" ... "`" "end").

#include <filesystem>
#include <string>
#include <string_view>

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

// The encoded text of data, with LF line ends.
std::string Uuencode(std::string_view data, unsigned mode, std::string_view name);
// Decodes the first block of text into data. Lines may end in LF or CR LF.
int Uudecode(std::string_view text, std::string& data);

// File forms. The name on the "begin" line is the input's base name and the
// mode its permission bits. The decoder ignores the block's own name.
int UuencodeFile(const std::filesystem::path& input, const std::filesystem::path& output);
int UudecodeFile(const std::filesystem::path& input, const std::filesystem::path& output);

} // namespace textcodec
