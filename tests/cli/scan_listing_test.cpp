// The listing's rows for one found file: what the table, CSV and JSON say of it.
#include <gtest/gtest.h>

#include "cli/output.h"
#include "cli/scan_listing.h"
#include "support/test_support.h"

using namespace testing_support;
using nlohmann::json;

namespace {
TMyFile* Named(ScanSetup& scan, const std::string& name) {
    for (TMyFile* f : scan.results)
        if (f->FileName == name)
            return f;
    return nullptr;
}

json FileJson(const TMyFile& f) {
    std::string out;
    cli::AppendFileJson(out, 7, f, cli::JsonString(f.Drive->DriveName), "Photos");
    return json::parse(out);
}
} // namespace

// The reader marks files whose data NTFS encrypted (and grades them Poor); here one is marked by hand.
TEST(ScanListing, EncryptedFilesSayItInEveryForm) {
    const std::string image = CorpusPath("ntfs-basic.img");
    if (!RequireFile(image))
        return;
    ScanSetup scan;
    ASSERT_TRUE(scan.Run(image));
    TMyFile* photo = Named(scan, "beach.jpg");
    TMyFile* other = Named(scan, "cat.gif");
    ASSERT_NE(photo, nullptr);
    ASSERT_NE(other, nullptr);
    photo->Encrypted = true;
    photo->State = kStatePoor;

    EXPECT_EQ(cli::GradeText(*photo), "Poor (encrypted)");
    EXPECT_EQ(cli::GradeText(*other), StateText(other->State));

    const json encrypted = FileJson(*photo), plain = FileJson(*other);
    EXPECT_EQ(encrypted["encrypted"], true);
    EXPECT_EQ(encrypted["state"], "Poor");
    EXPECT_EQ(encrypted["name"], "beach.jpg");
    EXPECT_EQ(encrypted["id"], 7);
    EXPECT_EQ(plain["encrypted"], false);

    EXPECT_EQ(std::string(cli::kCsvHeader).substr(std::string(cli::kCsvHeader).rfind(',')), ",encrypted\n");
    const std::string row = cli::FileCsvRow(7, *photo, "Photos");
    EXPECT_EQ(row.substr(row.rfind(',')), ",true\n");
    const std::string plainRow = cli::FileCsvRow(7, *other, "Photos");
    EXPECT_EQ(plainRow.substr(plainRow.rfind(',')), ",false\n");
}
