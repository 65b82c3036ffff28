#pragma once
// NZB files: the XML list of the articles (segments) a posted file was split
// into, read with expat, and the download that fetches those articles by
// Message-ID, decodes their yEnc parts and joins them into the files.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace net {
class CNntp;
}

namespace news {

struct NzbSegment {
    std::uint64_t bytes = 0;
    unsigned number = 0;
    std::string messageId; // with its angle brackets, one safe command word
};

struct NzbFile {
    std::string subject, poster;
    std::vector<std::string> groups;
    std::vector<NzbSegment> segments; // sorted by number, each number once
};

// Hostile files end with an error instead of costing time or memory.
struct NzbLimits {
    std::size_t maxBytes = std::size_t{64} << 20;
    std::size_t maxSegments = 100000; // over all files
    std::size_t maxText = 4096;       // a subject, group or Message-ID
};

struct NzbDocument {
    std::vector<NzbFile> files;
    std::string error; // empty when the file was read
};

// Entities and document types are refused (no entity expansion, no outside
// reference); a segment whose Message-ID holds a blank, a control
// character or a bracket inside is an error, as it could smuggle a command.
NzbDocument ReadNzb(std::string_view xml, const NzbLimits& limits = {});
NzbDocument ReadNzbFile(const std::filesystem::path& path, const NzbLimits& limits = {});

// The file name an NZB entry stands for: the quoted name in its subject, or
// the subject itself (not yet made safe).
std::string NzbFileName(const NzbFile& file);

struct NzbProgress {
    std::size_t file = 0, files = 0;            // 0-based index of the file being fetched
    std::size_t segment = 0, segments = 0;      // of that file
    std::uint64_t doneBytes = 0, totalBytes = 0; // over all files, from the segments' sizes
};

struct NzbFileResult {
    std::string name;          // as saved, inside the folder
    std::uint64_t bytes = 0;   // written
    std::vector<unsigned> missing; // segment numbers the server did not have
    std::vector<unsigned> damaged; // segment numbers whose CRC or size was wrong
    std::string problem;       // the first of the damage, in words
    bool saved = false;
};

struct NzbSummary {
    std::vector<NzbFileResult> files;
    bool cancelled = false;
    std::string error; // the connection failed
};

// Fetches every segment with BODY sent ahead (each reply checked against its
// command), decodes them in order and saves each file in dir under its
// yEnc name made safe. A file with damaged or missing segments is saved
// under a name that says it is damaged (missing bytes are zeros). progress
// returning false cancels; what is half written is then removed.
NzbSummary DownloadNzb(net::CNntp& nntp, const std::vector<NzbFile>& files, const std::filesystem::path& dir,
                       const std::function<bool(const NzbProgress&)>& progress = {});

} // namespace news
