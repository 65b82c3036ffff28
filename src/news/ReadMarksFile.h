#pragma once
// The read-marks file ("news.rc"): one group per line, the name, ':' for a
// subscribed or '!' for an unsubscribed group (a blank also reads as
// unsubscribed), then the read marks. Written with CR LF; read with CR LF or LF.

#include "news/DocumentHost.h"
#include "news/GroupTable.h"

#include <filesystem>
#include <string>

namespace news {

enum class ReadMarksLoad {
    Loaded,      // at least one group entered
    NoGroups,    // the file holds no group line
    NoFile,      // nothing at the path; the table is untouched
    ReadError,   // reported; groups read before the error stay in the table
};

// Enters every group line of the file into the table (a later line with the
// same name replaces an earlier one). Groups are entered as not new.
ReadMarksLoad LoadReadMarksFile(const std::filesystem::path& path, CGroupTable& table, DocumentHost* host);

struct ReadMarksSideFiles {
    std::filesystem::path tmp;
    std::filesystem::path bak;
};
// "news.rc" gives news.tmp and news.bak beside it; only the file name decides,
// never a dot in a folder name. A name that already ends in ".tmp" or ".bak"
// gets the suffix appended instead, so a side file is never the file itself.
ReadMarksSideFiles SideFilesOf(const std::filesystem::path& path);

// The file's content for the table; throws std::bad_alloc.
std::string ReadMarksText(const CGroupTable& table);

// Where marks that could not be saved wait for the next open: beside the
// file, never the file itself nor one of its side files.
std::filesystem::path RecoveryFileOf(const std::filesystem::path& path);

// Writes the table (in table order) to the file: the complete new content goes
// to the temporary file and is synced, the previous file is kept as the backup,
// and one rename puts the new file in place. A failure at any step leaves the
// previous file as it was. An empty table writes nothing and succeeds. With
// replace false the temporary file is written but the file is not replaced,
// and the result is false.
bool SaveReadMarksFile(const std::filesystem::path& path, const CGroupTable& table, DocumentHost* host,
                       bool replace = true);

// Whether a group name can be written as a line that reads back as itself.
bool IsStorableGroupName(std::string_view name);

} // namespace news
