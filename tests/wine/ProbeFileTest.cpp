// The probe on real files under Wine: block boundaries, sizes, and the errors of the
// file layer.
#include "AppError.h"
#include "MaxSceneProbe.h"
#include "WineTestSupport.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

const std::size_t kMiB = 1 << 20;

TEST(ProbeFile, FindsMarkersAcrossTheReadBlocks)
{
    TempDir dir;
    struct Case {
        std::size_t size, at;
        unsigned release;
        const wchar_t* expected;
    } cases[] = {
        {kMiB + 100, kMiB - 5, 13000, L"max2011"},      // straddles a read-block boundary
        {2 * kMiB + 12, 2 * kMiB, 10000, L"max2008"},   // the last 12 bytes
        {2 * kMiB + 11, 2 * kMiB, 10000, L"无法获取版本."}, // one byte short
        {12, 0, 9999, L"max9"},
        {0, 0, 0, L"无法获取版本."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        WriteBytes(dir / L"scene.max", SceneBytes(c.size, c.at, c.release));
        EXPECT_EQ(GetMaxSceneVersion(dir / L"scene.max"), c.expected);
    }
}

TEST(ProbeFile, MissingFileAndFolderGiveTheDefaultWithoutError)
{
    TempDir dir;
    EXPECT_EQ(GetMaxSceneVersion(dir / L"missing.max"), L"无法获取版本.");
    EXPECT_EQ(GetMaxSceneVersion(dir.Path()), L"无法获取版本.");
    EXPECT_EQ(GetMaxSceneVersion(L""), L"无法获取版本.");
}

TEST(ProbeFile, ReadsAFileOthersHaveOpenForWriting)
{
    TempDir dir;
    WriteBytes(dir / L"open.max", SceneBytes(100, 10, 12000));
    HANDLE writer = CreateFileW((dir / L"open.max").c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetMaxSceneVersion(dir / L"open.max"), L"max2010");
    CloseHandle(writer);
}

TEST(ProbeFile, FileThatCannotBeOpenedRaisesTheFileLayersText)
{
    TempDir dir;
    WriteBytes(dir / L"locked.max", SceneBytes(100, 10, 12000));
    HANDLE holder = CreateFileW((dir / L"locked.max").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_EQ(AppErrorOf([&] { GetMaxSceneVersion(dir / L"locked.max"); }), L"I/O error 32");
    CloseHandle(holder);
}

TEST(ProbeFile, ErrorTextsOfTheFileLayer)
{
    EXPECT_EQ(winui::InOutErrorText(ERROR_ACCESS_DENIED), L"File access denied");
    EXPECT_EQ(winui::InOutErrorText(ERROR_HANDLE_EOF), L"Read beyond end of file");
    EXPECT_EQ(winui::InOutErrorText(ERROR_SHARING_VIOLATION), L"I/O error 32");
    EXPECT_EQ(winui::ReadBeyondEndOfFile().Message(), L"Read beyond end of file");
}

} // namespace
