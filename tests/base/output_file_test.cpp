// Output files are whole or absent: the final name shows either the earlier
// file or the complete new one, never a part, and nothing else is left in
// the folder.
#include "base/output_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>

#include "base/errors.h"
#include "temp_dir.h"

namespace xoprex {
namespace {

using testing::readFile;
using testing::TempDir;

size_t filesIn(const std::filesystem::path& folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

// Lowers the largest file this process may write, as a full disk would
// (writes beyond it fail with "File too large"), for the object's life.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

  private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

TEST(OutputFile, CommittedWholeOrEarlierFileKept) {
    TempDir dir;
    const std::string path = dir.file("table.csv");
    writeWholeFile(path, "earlier\n");
    {
        OutputFile file(path, OutputFile::Durability::Synced);
        file.write("half a ");
        EXPECT_EQ(readFile(path), "earlier\n");  // nothing under the final name yet
    }  // dropped without commit: the temporary goes, the earlier file stays
    EXPECT_EQ(readFile(path), "earlier\n");
    EXPECT_EQ(filesIn(dir.path()), 1u);

    {
        const FileSizeLimit limit(10000);
        OutputFile file(path);
        try {
            file.write(std::string(20000, 'x'));
            ADD_FAILURE() << "the write past the limit succeeded";
        } catch (const OutputError& error) {
            EXPECT_EQ(error.path(), path);
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos);
        }
    }
    EXPECT_EQ(readFile(path), "earlier\n");
    EXPECT_EQ(filesIn(dir.path()), 1u);

    OutputFile file(path);
    file.write("new ");
    file.write("table\n");
    file.commit();
    EXPECT_EQ(readFile(path), "new table\n");
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(OutputFile, LinksAndDevicesAndMissingFolders) {
    TempDir dir;
    writeWholeFile(dir.file("target.txt"), "old");
    std::filesystem::create_symlink("target.txt", dir.path() / "link.txt");
    writeWholeFile(dir.file("link.txt"), "through the link");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path() / "link.txt"));
    EXPECT_EQ(readFile(dir.file("target.txt")), "through the link");

    writeWholeFile("/dev/null", "a device is written as it is");
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));

    EXPECT_THROW(OutputFile(dir.file("no/such/folder.txt")), OutputError);
    EXPECT_THROW(OutputFile(dir.file(std::string(300, 'n'))), OutputError);
}

}  // namespace
}  // namespace xoprex
