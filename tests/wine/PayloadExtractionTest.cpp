// The extraction passes against the small payload embedded in this test program
// (ExtractionFixture.rc) and manifests written for each case.
#include "AppError.h"
#include "FileSystem.h"
#include "IniFile.h"
#include "MainUnit.h"
#include "PayloadExtraction.h"
#include "WineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

using testing_support::AppErrorOf;
using testing_support::MessageBoxRecorder;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

const std::string kOne = "one\r\n";
const std::string kTwo = "two folders deep\r\n";
const std::string kShippedDb = ReadBytes(TARVO_FIXTURE_DB); // as the build made it

// The bytes of a text made of ASCII characters only: the same in every ANSI code page.
// The temporary folders of the tests are ASCII names.
std::string Ascii(const std::wstring& text)
{
    std::string bytes;
    for (wchar_t c : text) {
        if (c >= 0x80) throw std::invalid_argument("not ASCII");
        bytes += static_cast<char>(c);
    }
    return bytes;
}

// Writes a manifest in the ANSI code page, as the shipped one is.
std::wstring WriteManifest(const TempDir& dir, const std::wstring& text)
{
    const std::wstring path = dir / L"setup.ini";
    WriteBytes(path, Ascii(text));
    return path;
}

std::vector<std::wstring> TemporaryFilesIn(const std::wstring& dir)
{
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((dir + L"\\*.tmp").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do found.push_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

class Extraction : public ::testing::Test {
protected:
    void ProgramPass(const std::wstring& manifestText, const std::wstring& d, bool keepOld = false,
                     const std::wstring& oldDir = L"")
    {
        const IniFile manifest(WriteManifest(work, manifestText));
        ExtractProgramFiles(manifest, {d, form.cxMemo2, form.PB}, keepOld, oldDir);
    }

    TempDir work;
    TempDir target;
    MessageBoxRecorder boxes;
    TMainFrm form;
};

const std::wstring kThreeEntries =
    L"[Fcount]\r\ncount=3\r\n[Flist]\r\nF1=\\one.txt\r\nF2=\\deep\\er\\two.txt\r\nF3=\\data\\kiwa.db\r\n";

TEST_F(Extraction, WritesEveryEntryLogsItAndSavesTheUninstallList)
{
    const std::wstring d = target.Path();
    ProgramPass(kThreeEntries, d);

    EXPECT_EQ(ReadBytes(d + L"\\one.txt"), kOne);
    EXPECT_EQ(ReadBytes(d + L"\\deep\\er\\two.txt"), kTwo); // both folders created
    EXPECT_EQ(ReadBytes(d + L"\\data\\kiwa.db"), kShippedDb);
    EXPECT_EQ(form.cxMemo2.Lines(), (std::vector<std::wstring>{
                                        L"Extract \\one.txt to " + d + L"\\one.txt ",
                                        L"Extract \\deep\\er\\two.txt to " + d + L"\\deep\\er\\two.txt ",
                                        L"Extract \\data\\kiwa.db to " + d + L"\\data\\kiwa.db ",
                                    }));
    EXPECT_EQ(ReadBytes(d + L"\\uninstall.lst"),
              Ascii(d + L"\\one.txt\r\n" + d + L"\\deep\\er\\two.txt\r\n" + d +
                     L"\\data\\kiwa.db\r\n" + d + L"\\~tmp.ini\r\n"));
    EXPECT_EQ(form.PB.Maximum(), 3);
    EXPECT_EQ(form.PB.Position(), 3);
    EXPECT_TRUE(TemporaryFilesIn(d).empty());
}

TEST_F(Extraction, LogLineReadsAsTheInstallLogShowsIt)
{
    EXPECT_EQ(ExtractLogLine(L"\\data\\kiwa.db", L"D:\\Tarvo\\MirelMax"),
              L"Extract \\data\\kiwa.db to D:\\Tarvo\\MirelMax\\data\\kiwa.db ");
}

TEST_F(Extraction, CountZeroListsOnlyTheTemporaryIni)
{
    const std::wstring d = target / L"中文目录";
    CreateDirectoryW(d.c_str(), nullptr);
    ProgramPass(L"[Fcount]\r\ncount=0\r\n", d);
    // 中文目录 in code page 936.
    EXPECT_EQ(ReadBytes(d + L"\\uninstall.lst"),
              Ascii(target.Path()) + "\\\xD6\xD0\xCE\xC4\xC4\xBF\xC2\xBC\\~tmp.ini\r\n");
    EXPECT_TRUE(form.cxMemo2.Lines().empty());
}

TEST_F(Extraction, CountIsReadWithoutRegardToCaseAndNonNumericReadsAsZero)
{
    const std::wstring d = target.Path();
    ProgramPass(L"[FCOUNT]\r\nCOUNT=1\r\n[flist]\r\nf1=\\one.txt\r\n", d);
    EXPECT_EQ(ReadBytes(d + L"\\one.txt"), kOne);

    DeleteFileW((d + L"\\one.txt").c_str());
    ProgramPass(L"[Fcount]\r\ncount=1x\r\n[Flist]\r\nF1=\\one.txt\r\n", d);
    EXPECT_FALSE(FileExists(d + L"\\one.txt"));
}

TEST_F(Extraction, ProgramDirectoryEndingInABackslashDoublesTheSeparator)
{
    const std::wstring d = target.Path() + L"\\";
    ProgramPass(L"[Fcount]\r\ncount=1\r\n[Flist]\r\nF1=\\one.txt\r\n", d);
    EXPECT_EQ(ReadBytes(target / L"one.txt"), kOne);
    EXPECT_EQ(form.cxMemo2.Lines()[0], L"Extract \\one.txt to " + d + L"\\one.txt ");
    EXPECT_EQ(ReadBytes(target / L"uninstall.lst"),
              Ascii(d + L"\\one.txt\r\n" + d + L"\\~tmp.ini\r\n"));
}

TEST_F(Extraction, KeepsThePreviousDatabase)
{
    const std::wstring d = target.Path();
    TempDir old;
    CreateDirectoryW((old / L"data").c_str(), nullptr);
    WriteBytes(old / L"data\\kiwa.db", "earlier database");
    const std::wstring upper =
        L"[Fcount]\r\ncount=3\r\n[Flist]\r\nF1=\\one.txt\r\nF2=\\deep\\er\\two.txt\r\nF3=\\data\\KIWA.DB\r\n";

    struct Case {
        const char* what;
        std::wstring manifest;
        bool keepOld;
        bool sameDir;
        std::string expected;
    } cases[] = {
        {"other directory: copied", kThreeEntries, true, false, "earlier database"},
        {"name in capitals is the database too", upper, true, false, "earlier database"},
        {"same directory: untouched", kThreeEntries, true, true, "installed database"},
        {"not kept: the shipped one replaces it", kThreeEntries, false, true, kShippedDb},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CreateDirectoryW((target / L"data").c_str(), nullptr);
        WriteBytes(target / L"data\\kiwa.db", "installed database");
        form.cxMemo2.Clear();
        ProgramPass(c.manifest, d, c.keepOld, c.sameDir ? d : old.Path());
        EXPECT_EQ(ReadBytes(target / L"data\\kiwa.db"), c.expected);
        ASSERT_EQ(form.cxMemo2.Lines().size(), 3u); // the entry is logged either way
        EXPECT_NE(ReadBytes(target / L"uninstall.lst").find(Ascii(d + L"\\data\\")), std::string::npos);
    }
}

TEST_F(Extraction, MissingPreviousDatabaseLeavesTheTargetAsItWas)
{
    TempDir old;
    CreateDirectoryW((target / L"data").c_str(), nullptr);
    WriteBytes(target / L"data\\kiwa.db", "installed database");
    ProgramPass(kThreeEntries, target.Path(), true, old.Path());
    EXPECT_EQ(ReadBytes(target / L"data\\kiwa.db"), "installed database");
    EXPECT_EQ(form.cxMemo2.Lines().size(), 3u);
}

TEST_F(Extraction, FailuresStopThePassAndKeepWhatWasWritten)
{
    struct Case {
        const char* what;
        std::wstring manifest;
        std::wstring message; // the start of the error's text
    } cases[] = {
        {"missing key", L"[Fcount]\r\ncount=2\r\n[Flist]\r\nF1=\\one.txt\r\n", L"Cannot create file"},
        {"missing resource", L"[Fcount]\r\ncount=9\r\n[Flist]\r\nF1=\\one.txt\r\nF2=\\a\r\nF3=\\b\r\n"
                             L"F4=\\c\r\nF5=\\d\r\nF6=\\e\r\nF7=\\f\r\nF8=\\g\r\nF9=\\h\r\n",
         L"Resource SRC4 not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir d;
        const std::wstring message = AppErrorOf([&] { ProgramPass(c.manifest, d.Path()); });
        EXPECT_EQ(message.rfind(c.message, 0), 0u) << std::string(message.begin(), message.end());
        EXPECT_EQ(ReadBytes(d / L"one.txt"), kOne);
        EXPECT_FALSE(FileExists(d / L"uninstall.lst"));
        EXPECT_TRUE(TemporaryFilesIn(d.Path()).empty());
    }
}

TEST_F(Extraction, LockedTargetKeepsItsContentAndLeavesNoTemporaryFile)
{
    const std::wstring d = target.Path();
    CreateDirectoryW((target / L"deep").c_str(), nullptr);
    CreateDirectoryW((target / L"deep\\er").c_str(), nullptr);
    WriteBytes(target / L"deep\\er\\two.txt", "in use");
    HANDLE holder = CreateFileW((target / L"deep\\er\\two.txt").c_str(), GENERIC_READ,
                                FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    EXPECT_THROW(ProgramPass(kThreeEntries, d), winui::AppError);
    CloseHandle(holder);

    EXPECT_EQ(ReadBytes(target / L"one.txt"), kOne);
    EXPECT_EQ(ReadBytes(target / L"deep\\er\\two.txt"), "in use");
    EXPECT_FALSE(FileExists(target / L"data\\kiwa.db"));
    EXPECT_FALSE(FileExists(target / L"uninstall.lst"));
    EXPECT_TRUE(TemporaryFilesIn(target / L"deep\\er").empty());
    EXPECT_EQ(form.cxMemo2.Lines().size(), 1u);
}

// Every file name in the folder.
std::vector<std::wstring> FilesIn(const std::wstring& dir)
{
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return found;
    do
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) found.push_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

TEST(SafeWrite, ReplacesWhatAKilledInstallLeftBehind)
{
    TempDir dir;
    WriteBytes(dir / L"kiwa.exe", "old program");
    WriteBytes(dir / L"kiwa.exe.tvs.tmp", "half a new progr"); // the write that was killed
    WriteFileReplacing(dir / L"kiwa.exe", "new program", 11);
    EXPECT_EQ(ReadBytes(dir / L"kiwa.exe"), "new program");
    EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::wstring>{L"kiwa.exe"});
}

TEST(SafeWrite, WritesWhereverTheTargetFits)
{
    // A folder so deep that the temporary name passes MAX_PATH while the target's does not.
    TempDir dir;
    std::wstring folder = dir.Path();
    while (folder.size() < MAX_PATH - 30) {
        folder += L"\\" + std::wstring(std::min<std::size_t>(40, MAX_PATH - 30 - folder.size()), L'd');
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    }
    const std::wstring target = folder + L"\\" + std::wstring(MAX_PATH - 2 - folder.size(), L'f');
    ASSERT_EQ(target.size(), static_cast<std::size_t>(MAX_PATH - 1));
    WriteBytes(target, "old"); // replaced through the temporary file
    WriteFileReplacing(target, "deep", 4);
    EXPECT_EQ(ReadBytes(target), "deep");
    EXPECT_EQ(FilesIn(folder).size(), 1u);
}

TEST_F(Extraction, ResourcePassWritesBelowTheResourceDirectoryWithoutAList)
{
    const std::wstring r = target.Path();
    form.PB.SetRange(0, 5);
    form.PB.SetPosition(2);
    const IniFile manifest(WriteManifest(work, L"[KCount]\r\nKcount=1\r\n[Klist]\r\nK1=\\lib\\lib.txt\r\n"));
    ExtractResourceFiles(manifest, {r, form.cxMemo2, form.PB});
    EXPECT_EQ(ReadBytes(r + L"\\lib\\lib.txt"), "library file\r\n");
    EXPECT_EQ(form.cxMemo2.Lines(), std::vector<std::wstring>{L"Extract \\lib\\lib.txt to " + r + L"\\lib\\lib.txt "});
    EXPECT_FALSE(FileExists(r + L"\\uninstall.lst"));
    EXPECT_EQ(form.PB.Maximum(), 1);
}

TEST_F(Extraction, ManifestWithoutResourceSectionsWritesNothing)
{
    const IniFile manifest(WriteManifest(work, kThreeEntries));
    ExtractResourceFiles(manifest, {target.Path(), form.cxMemo2, form.PB});
    EXPECT_TRUE(form.cxMemo2.Lines().empty());
}

TEST(ManifestList, ReadInOneGoAsKeyByKey)
{
    TempDir dir;
    const IniFile manifest(WriteManifest(dir, L"[Klist]\r\nK1=\\a.txt\r\n k2 = \\b c.txt \r\nK1=\\second\r\n"
                                              L"K3=\"\\quoted\"\r\nK4='\\single'\r\nK5=\"\\open\r\nK6\r\nK7=\r\n"
                                              L"[Other]\r\nK8=\\elsewhere\r\n"));
    const IniSection list = manifest.ReadSection(L"KLIST");
    struct Case {
        std::wstring key;
        std::wstring expected;
    } cases[] = {
        {L"K1", L"\\a.txt"},     // the first of two keys of a name
        {L"K2", L"\\b c.txt"},   // any letter case, blanks around dropped
        {L"k3", L"\\quoted"},    // enclosing quotes taken off
        {L"K4", L"\\single"},
        {L"K5", L"\"\\open"},    // a quote that encloses nothing stays
        {L"K6", L"default"},    // no "=": no value
        {L"K7", L""},
        {L"K8", L"default"},    // another section's
        {L"K9", L"default"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.key.begin(), c.key.end()));
        EXPECT_EQ(list.ReadString(c.key, L"default"), c.expected);
        EXPECT_EQ(manifest.ReadString(L"Klist", c.key, L"default"), c.expected); // the platform agrees
    }
    EXPECT_EQ(manifest.ReadSection(L"Missing").ReadString(L"K1", L"none"), L"none");
}

TEST_F(Extraction, ManifestIsWrittenBesideTheProgram)
{
    ASSERT_TRUE(ExtractManifest());
    const std::string written = ReadBytes(ManifestPath());
    DeleteFileW(ManifestPath().c_str());
    EXPECT_EQ(written.rfind("[Fcount]\r\ncount=3\r\n", 0), 0u);
}

} // namespace
