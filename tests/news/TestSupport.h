#pragma once
// A message-recording host for the tests, and the shared file helpers.

#include "news/DocumentHost.h"
#include "support/TestFiles.h"

#include <string>
#include <vector>

namespace newstest {

using Ids = std::vector<unsigned>;
using testutil::ReadFile;
using testutil::WriteFile;
using ScratchDir = testutil::ScratchDir;

// Records the ids of stop messages (0 for other icons) and their arguments.
struct RecordingHost : news::DocumentHost {
    Ids ids;
    std::vector<std::vector<std::string>> args;
    int ShowMessage(unsigned id, news::MessageIcon icon, const std::vector<std::string>& a) override
    {
        ids.push_back(icon == news::MessageIcon::Stop ? id : 0);
        args.push_back(a);
        return 1;
    }
};

} // namespace newstest
